#!/usr/bin/env bash
# Tests of the Windows plug-in under Wine: the PE tables of dsp_MORV.dll, then
# every case of the test host, each in a process of its own, on a virtual X
# display with a fresh 32-bit Wine prefix. Ends with "N passed, M failed".
#   tests/wine/run_wine_tests.sh [CASE...]    (default: every case)
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-build-win32}
DLL=$BUILD_DIR/dsp_MORV.dll
HOST=$BUILD_DIR/morv_wine_host.exe
SSE_CHECK=$BUILD_DIR/sse_arithmetic_check.exe
OBJDUMP=i686-w64-mingw32-objdump
CASE_TIMEOUT=${CASE_TIMEOUT:-120}

if [ -z "${MORV_WINE_INNER:-}" ]; then
  scripts/install_deps.sh wine windows || exit 1
  if [ ! -f "$DLL" ] || [ ! -f "$HOST" ] || [ ! -f "$SSE_CHECK" ]; then
    echo "$DLL, $HOST or $SSE_CHECK is missing: run scripts/build_windows.sh first"
    echo "0 passed, 1 failed"
    exit 1
  fi
  WINEPREFIX=$(mktemp -d /tmp/morv-wine.XXXXXX)
  export WINEPREFIX WINEARCH=win32 WINEDEBUG=-all
  # No Mono or Gecko install prompts in a fresh prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  cleanup() {
    wineserver -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
  }
  trap cleanup EXIT
  MORV_WINE_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$ROOT/tests/wine/run_wine_tests.sh" "$@"
  exit $?
fi

passed=0
failed=0
failed_names=()
pass() { passed=$((passed + 1)); echo "ok - $1"; }
fail() { failed=$((failed + 1)); failed_names+=("$1"); echo "FAIL - $1"; }

# --- The PE tables ---------------------------------------------------------
check_pe_format() {
  $OBJDUMP -f "$DLL" | grep -q "file format pei-i386"
}

check_exports() {
  local names
  names=$($OBJDUMP -p "$DLL" | awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
                                     on && /^[ \t]*\[/ {print $NF; next}
                                     on {on = 0}')
  if [ "$names" != "winampDSPGetHeader2" ]; then
    echo "  exports: $(echo $names)"
    return 1
  fi
}

check_imports() {
  local dlls bad=0
  dlls=$($OBJDUMP -p "$DLL" | awk '/DLL Name:/ {print tolower($3)}')
  [ -n "$dlls" ] || return 1
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | comctl32.dll | msvcrt.dll) ;;
      *) echo "  imports $dll"; bad=1 ;;
    esac
  done
  return $bad
}

if [ $# -eq 0 ]; then
  check_pe_format && pass "dll_is_pe32" || fail "dll_is_pe32"
  check_exports && pass "dll_exports_only_the_header_function" || fail "dll_exports_only_the_header_function"
  check_imports && pass "dll_imports_only_system_dlls" || fail "dll_imports_only_system_dlls"
fi

# --- The test host -----------------------------------------------------------
wineboot -i >/dev/null 2>&1
# Without a window manager Wine waits for every hidden or destroyed window
# unless it manages the windows itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# The engine built with SSE2 arithmetic, as the native build is.
if [ $# -eq 0 ]; then
  if output=$(timeout -k 5 "$CASE_TIMEOUT" wine "$SSE_CHECK" 2>&1); then
    pass "engine_arithmetic_is_sse2"
  else
    echo "$output" | tr -d '\r'
    fail "engine_arithmetic_is_sse2"
  fi
fi

run_case() {
  local name=$1 output status
  output=$(timeout -k 5 "$CASE_TIMEOUT" wine "$HOST" run "$name" 2>&1)
  status=$?
  [ -n "$output" ] && echo "$output" | tr -d '\r'
  if [ $status -eq 0 ]; then pass "$name"; else
    [ $status -eq 124 ] && echo "  timed out after ${CASE_TIMEOUT}s"
    fail "$name"
  fi
}

if [ $# -gt 0 ]; then
  cases=("$@")
else
  mapfile -t cases < <(wine "$HOST" list 2>/dev/null | tr -d '\r')
  if [ ${#cases[@]} -eq 0 ]; then fail "list_test_cases"; fi
fi
for name in "${cases[@]}"; do
  case "$name" in wav_*) continue ;; esac
  run_case "$name"
done

# --- The DLL against the native command line -------------------------------
# The same file through the same module must come out of dsp_MORV.dll bit for
# bit as out of `morv process`, for every module the registry lists.
MORV_NATIVE=${MORV_NATIVE:-build/morv}
compare_with_native() {
  local name=$1 module=$2 channels=$3 bits=$4 tolerance=$5 rate=${6:-44100}
  local dir=$WAV_DIR/$name input=$WAV_DIR/input_${channels}ch_${bits}bit_${rate}.wav
  mkdir -p "$dir"
  [ -f "$input" ] || python3 tests/wine/wav_tools.py make "$input" "$channels" "$bits" 1.5 "$rate" || return 1
  local frames
  # The DLL's output is taken to morv's length, which follows the factor of a
  # rate or tempo change.
  "$MORV_NATIVE" process --module "$module" --bits "$bits" --quiet "$input" "$dir/native.wav" &&
    frames=$(python3 -c 'import sys, wave; print(wave.open(sys.argv[1]).getnframes())' "$dir/native.wav") &&
    timeout -k 5 "$CASE_TIMEOUT" wine "$HOST" process --module "$module" --bits "$bits" --frames "$frames" \
      "Z:$input" "Z:$dir/dll.wav" | tr -d '\r' &&
    python3 tests/wine/wav_tools.py compare "$dir/native.wav" "$dir/dll.wav" "$tolerance"
}

if [ $# -eq 0 ]; then
  if [ ! -x "$MORV_NATIVE" ]; then
    echo "  $MORV_NATIVE is not built (make build, or set MORV_NATIVE)"
    fail wav_native_morv_is_built
  else
    WAV_DIR=$(mktemp -d /tmp/morv-wav.XXXXXX)
    compare_with_native wav_level_tuning_16bit_stereo 0 2 16 0 && pass wav_level_tuning_16bit_stereo || fail wav_level_tuning_16bit_stereo
    compare_with_native wav_level_tuning_16bit_mono 0 1 16 0 && pass wav_level_tuning_16bit_mono || fail wav_level_tuning_16bit_mono
    compare_with_native wav_level_tuning_24bit_stereo 0 2 24 0 && pass wav_level_tuning_24bit_stereo || fail wav_level_tuning_24bit_stereo
    modules=$("$MORV_NATIVE" list --json |
      python3 -c 'import json, sys; print(*[m["index"] for m in json.load(sys.stdin) if m["index"] > 0])')
    [ -n "$modules" ] || fail wav_module_list_from_morv
    for module in $modules; do
      name=wav_module_${module}_16bit_stereo
      compare_with_native "$name" "$module" 2 16 0 && pass "$name" || fail "$name"
    done
    # DeNoise learns for its "NoiseLen" in force whatever the format.
    compare_with_native wav_denoise_48k_stereo 3 2 16 0 48000 && pass wav_denoise_48k_stereo || fail wav_denoise_48k_stereo
    compare_with_native wav_denoise_44k_mono 3 1 16 0 && pass wav_denoise_44k_mono || fail wav_denoise_44k_mono
    rm -rf "$WAV_DIR"
  fi
fi

if [ ${#failed_names[@]} -gt 0 ]; then echo "failed: ${failed_names[*]}"; fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
