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
  local name=$1 output status display=$DISPLAY
  # Cases named so play a player on a machine without a display.
  case "$name" in *_without_a_display) display= ;; esac
  output=$(DISPLAY=$display timeout -k 5 "$CASE_TIMEOUT" wine "$HOST" run "$name" 2>&1)
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
  local name=$1 module=$2 channels=$3 bits=$4 tolerance=$5 rate=${6:-44100} preset=(${7:+--preset $7})
  local dir=$WAV_DIR/$name input=$WAV_DIR/input_${channels}ch_${bits}bit_${rate}.wav
  mkdir -p "$dir"
  [ -f "$input" ] || python3 tests/wine/wav_tools.py make "$input" "$channels" "$bits" 1.5 "$rate" || return 1
  local frames skip
  # The DLL's output is taken to morv's length, which follows the factor of a
  # rate or tempo change, less the frames morv drops ahead of the aligned output.
  "$MORV_NATIVE" process --module "$module" "${preset[@]}" --bits "$bits" --quiet --json "$input" "$dir/native.wav" \
      >"$dir/summary.json" &&
    frames=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["frames_out"])' "$dir/summary.json") &&
    skip=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["leading_frames_dropped"])' "$dir/summary.json") &&
    timeout -k 5 "$CASE_TIMEOUT" wine "$HOST" process --module "$module" "${preset[@]}" --bits "$bits" --frames "$frames" \
      --skip "$skip" "Z:$input" "Z:$dir/dll.wav" | tr -d '\r' &&
    python3 tests/wine/wav_tools.py compare "$dir/native.wav" "$dir/dll.wav" "$tolerance"
}

# The room reverb's late tail is random, seeded from the clock second of each
# rebuild, so the DLL's run and morv's agree in full only when both rebuilt
# within the same second. Everything before the tail starts (the direct path
# and the early reflections) must agree to the last bit but one: the tail
# shares the transform blocks of the response it starts in, so its random
# values move the rounding error of the frames just ahead of it, which turns
# a sample sitting on a half step of the output by one (frame 4099 of the
# right channel, in about one second of five). After it, the tail the
# DLL adds (its output less morv's tail-free rendering, RevR 0) must carry the
# level of morv's within 1 dB, measured on the second difference: a tone
# through a random response comes out at a random level (5 dB apart from one
# second to the next), while the broadband rest, which the second difference
# keeps, stays within 0.3 dB. Where the tail starts (per channel, one
# partition of latency included) comes from morv: an impulse through the tail
# alone, at 32 bits, is first non-zero there. morv renders the tail past the
# input's end and fixes the seed (1) where the DLL reads the clock: it runs
# here with --tail 0, the player's length. On a stream of more channels,
# channels 3 and up are the input's, one partition late, in both: they must
# agree to the last bit.
REVERB_MODULE=11
compare_reverb_with_native() {
  local name=$1 channels=${2:-2} dir=$WAV_DIR/$1 input=$WAV_DIR/input_${2:-2}ch_16bit_44100.wav
  mkdir -p "$dir"
  [ -f "$input" ] || python3 tests/wine/wav_tools.py make "$input" "$channels" 16 1.5 || return 1
  python3 -c 'import sys; sys.path.insert(0, "tests/wine"); import wav_tools as w
w.write(sys.argv[1], 2, 16, [32767, 32767] + [0] * 2 * 44099)' "$dir/impulse.wav" || return 1
  "$MORV_NATIVE" process --module $REVERB_MODULE --bits 32 --set DirR=0 --set RefR=0 --set RevR=1 --tail 0 \
    --quiet "$dir/impulse.wav" "$dir/tail.wav" &&
    "$MORV_NATIVE" process --module $REVERB_MODULE --bits 16 --set RevR=0 --tail 0 --quiet "$input" "$dir/free.wav" &&
    "$MORV_NATIVE" process --module $REVERB_MODULE --bits 16 --tail 0 --quiet "$input" "$dir/native.wav" &&
    timeout -k 5 "$CASE_TIMEOUT" wine "$HOST" process --module $REVERB_MODULE --bits 16 \
      "Z:$input" "Z:$dir/dll.wav" | tr -d '\r' &&
    python3 - "$dir/tail.wav" "$dir/free.wav" "$dir/native.wav" "$dir/dll.wav" "$channels" <<'PY'
import math, sys
sys.path.insert(0, "tests/wine")
import wav_tools as w
(_, tail), (_, free), (fmt_n, native), (fmt_d, dll) = (w.read(p) for p in sys.argv[1:5])
nch = int(sys.argv[5])
if fmt_n != fmt_d or len(native) != len(dll) or len(free) != len(dll):
    sys.exit("  formats or lengths differ")
def level(x, base):
    d = [a - b for a, b in zip(x, base)]
    second = [d[i] - 2 * d[i - 1] + d[i - 2] for i in range(2, len(d))]
    return math.sqrt(sum(v * v for v in second) / len(second))
failed = False
for c in range(2, nch):
    differ = sum(1 for a, b in zip(native[c::nch], dll[c::nch]) if a != b)
    print("  channel %d: %d of %d frames differ" % (c, differ, len(dll) // nch))
    failed |= differ > 0
for c in range(2):
    start = next(i // 2 for i in range(c, len(tail), 2) if tail[i] != 0)
    n, d, f = native[c::nch], dll[c::nch], free[c::nch]
    early = sum(1 for a, b in zip(n[:start], d[:start]) if abs(a - b) > 1)
    rounded = sum(1 for a, b in zip(n[:start], d[:start]) if abs(a - b) == 1)
    added_n, added_d = level(n[start:], f[start:]), level(d[start:], f[start:])
    ratio = 20 * math.log10(added_d / added_n) if added_n > 0 and added_d > 0 else float("inf")
    print("  channel %d: tail from frame %d; %d of %d frames before it differ (%d more by one step); "
          "tail %+.1f dB against morv's%s"
          % (c, start, early, start, rounded, ratio, " (same second: identical)" if n == d else ""))
    failed |= early > 0 or rounded > 2 or abs(ratio) > 1.0 or start <= 2048 or not any(n[:start])
sys.exit(1 if failed else 0)
PY
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
      if [ "$module" = "$REVERB_MODULE" ]; then
        compare_reverb_with_native "$name" && pass "$name" || fail "$name"
        continue
      fi
      compare_with_native "$name" "$module" 2 16 0 && pass "$name" || fail "$name"
    done
    # Six channels (5.1) through every module: channels past the second
    # follow the pair in the DLL as in morv.
    for module in $modules; do
      name=wav_module_${module}_16bit_6ch
      if [ "$module" = "$REVERB_MODULE" ]; then
        compare_reverb_with_native "$name" 6 && pass "$name" || fail "$name"
        continue
      fi
      compare_with_native "$name" "$module" 6 16 0 && pass "$name" || fail "$name"
    done
    # DeNoise learns for its "NoiseLen" in force whatever the format.
    compare_with_native wav_denoise_48k_stereo 3 2 16 0 48000 && pass wav_denoise_48k_stereo || fail wav_denoise_48k_stereo
    compare_with_native wav_denoise_44k_mono 3 1 16 0 && pass wav_denoise_44k_mono || fail wav_denoise_44k_mono
    # Preset 1 of every module that offers presets, picked in the control
    # window's list as a user picks it.
    modules=$("$MORV_NATIVE" list --json |
      python3 -c 'import json, sys; print(*[m["index"] for m in json.load(sys.stdin) if m["presets"]])')
    for module in $modules; do
      # The reverb's random tail is compared on its own terms above.
      [ "$module" = "$REVERB_MODULE" ] && continue
      name=wav_module_${module}_preset_1
      compare_with_native "$name" "$module" 2 16 0 44100 1 && pass "$name" || fail "$name"
    done
    rm -rf "$WAV_DIR"
  fi
fi

if [ ${#failed_names[@]} -gt 0 ]; then echo "failed: ${failed_names[*]}"; fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
