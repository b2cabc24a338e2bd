#!/usr/bin/env bash
# Whole-process speed of the room reverb and the 3D placement beside SoX's
# reverb on the same 60 s stereo 44100 Hz 16-bit file, in the same run.
# Figures are medians over RUNS runs (default 5) of CPU time (user + system);
# the real-time factor is seconds of audio per second of CPU. Each reverb run
# includes building its room. SoX's fir with a 1 s response (44100 taps, one
# FFT block) is timed too, as a convolution of comparable length.
#   bench/reverb_sox_compare.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?usage: reverb_sox_compare.sh BUILD_DIR [RUNS]}
runs=${2:-5}
morv=$(cd "$build" && pwd)/morv
command -v sox >/dev/null || { echo "sox is not installed (scripts/install_deps.sh bench)" >&2; exit 1; }
[ -x "$morv" ] || { echo "no morv binary in $build" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=60
in=$work/in.wav
out=$work/out.wav
sox -n -r 44100 -c 2 -b 16 "$in" synth "$seconds" pinknoise vol 0.25
# A decaying noise response of 1 s for SoX's fir.
python3 -c '
import math, random
random.seed(1)
print("\n".join("%.8f" % (0.01 * random.uniform(-1, 1) * math.exp(-7 * k / 44100)) for k in range(44100)))
' >"$work/fir.txt"

# Runs a command RUNS times; prints the median CPU time in seconds.
measure() {
  local cpu=() line
  for ((r = 0; r < runs; r++)); do
    line=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
    cpu+=("$(echo "$line" | awk '{print $1 + $2}')")
  done
  printf '%s\n' "${cpu[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}

soxCopy=$(measure sox "$in" "$out")
soxReverb=$(measure sox "$in" "$out" reverb)
soxFir=$(measure sox "$in" "$out" fir "$work/fir.txt")
morvCopy=$(measure "$morv" process "$in" "$out" --module 0 --quiet)
# The reverb at the input's length (--tail 0), as sox's reverb renders it.
morvDefaults=$(measure "$morv" process "$in" "$out" --module 11 --tail 0 --quiet)
morvHall=$(measure "$morv" process "$in" "$out" --module 11 --preset "Large Hall" --tail 0 --quiet)
morvLargest=$(measure "$morv" process "$in" "$out" --module 11 --set Size=12 --set RefC=0.99 --tail 0 --quiet)
morv3d=$(measure "$morv" process "$in" "$out" --module 12 --preset Left --quiet)

awk -v s="$seconds" -v runs="$runs" -v sc="$soxCopy" -v sr="$soxReverb" -v sf="$soxFir" -v mc="$morvCopy" \
    -v md="$morvDefaults" -v mh="$morvHall" -v ml="$morvLargest" -v m3="$morv3d" '
function row(name, cpu) { printf "%-40s cpu %7.3f s  %7.0fx real time\n", name, cpu, (cpu > 0 ? s / cpu : 0) }
BEGIN {
  printf "%d s of 44100 Hz stereo, median CPU time of %d runs (whole process)\n", s, runs
  row("sox copy", sc)
  row("sox reverb", sr)
  row("sox fir, 1 s response", sf)
  row("morv copy (Level Tuning)", mc)
  row("morv ModalReverb, defaults", md)
  row("morv ModalReverb, Large Hall", mh)
  row("morv ModalReverb, Size 12 RefC 0.99", ml)
  row("morv Virtual3D, Left", m3)
  printf "speed ratio morv defaults / sox reverb: %.2f\n", sr / md
}'
