#!/usr/bin/env bash
# Cost of one ModifySamples call of dsp_MORV.dll under Wine, with the control
# window open on a virtual display (the meters paint from the audio thread)
# and without a display (no window at all). Build the DLL first with
# scripts/build_windows.sh; the native figure is BM_PipelinePassThrough of
# bench/pipeline_bench.cpp.
#   bench/wine_block_cost.sh [CALLS]
set -euo pipefail
cd "$(dirname "$0")/.."
calls=${1:-2000}
host=${BUILD_DIR:-build-win32}/morv_wine_host.exe
if [ -z "${MORV_BENCH_INNER:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/morv-wine-bench.XXXXXX)
  export WINEPREFIX WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
  MORV_BENCH_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$calls"
  exit $?
fi
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
echo "== with a display"
wine "$host" bench-blocks --calls "$calls" | tr -d '\r'
echo "== without a display"
DISPLAY= wine "$host" bench-blocks --calls "$calls" | tr -d '\r'
