#!/usr/bin/env bash
# Takes docs/control-window.png: the control window of the 31-band equaliser
# with a named preset, painted by dsp_MORV.dll under Wine on a virtual display
# by the Wine case that checks the window's colours. Build the DLL first
# (scripts/build_windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
shot=$(mktemp /tmp/morv-shot.XXXXXX)
trap 'rm -f "$shot"' EXIT
MORV_SCREENSHOT=$shot tests/wine/run_wine_tests.sh knobs_and_background_have_their_colours
python3 tests/wine/bmp_to_png.py "$shot" docs/control-window.png
echo "wrote docs/control-window.png"
