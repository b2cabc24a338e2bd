#!/usr/bin/env bash
# Whole-process speed of the room reverb (defaults, "Large Hall", the largest
# room) and the 3D placement beside SoX's reverb on the same file, in the same
# run. Without INPUT the file is 60 s of stereo 44100 Hz 16-bit pink noise;
# give a WAV of real music to measure on that. Figures are medians over RUNS
# rounds (default 5) of CPU time (user + system); each round runs every
# command once, in turn, so that a change in the machine's load touches all of
# them alike. The real-time factor is seconds of audio per second of CPU. Each
# reverb run includes building its room. SoX's fir with a 1 s response (44100
# taps, one FFT block) is timed too, as a convolution of comparable length.
#   bench/reverb_sox_compare.sh BUILD_DIR [RUNS] [INPUT]
set -euo pipefail
build=${1:?usage: reverb_sox_compare.sh BUILD_DIR [RUNS] [INPUT]}
runs=${2:-5}
morv=$(cd "$build" && pwd)/morv
command -v sox >/dev/null || { echo "sox is not installed (scripts/install_deps.sh bench)" >&2; exit 1; }
[ -x "$morv" ] || { echo "no morv binary in $build" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$work/out.wav
if [ -n "${3:-}" ]; then
  in=$3
  seconds=$(soxi -D "$in")
else
  in=$work/in.wav
  seconds=60
  sox -n -r 44100 -c 2 -b 16 "$in" synth "$seconds" pinknoise vol 0.25
fi
# A decaying noise response of 1 s for SoX's fir.
python3 -c '
import math, random
random.seed(1)
print("\n".join("%.8f" % (0.01 * random.uniform(-1, 1) * math.exp(-7 * k / 44100)) for k in range(44100)))
' >"$work/fir.txt"

# Command lines for eval, with the paths quoted. The reverb renders at the
# input's length (--tail 0), as sox's reverb does.
qin=$(printf %q "$in")
qout=$(printf %q "$out")
qmorv=$(printf %q "$morv")
qfir=$(printf %q "$work/fir.txt")
names=(soxCopy soxReverb soxFir morvCopy morvDefaults morvHall morvLargest morv3d)
commands=(
  "sox $qin $qout"
  "sox $qin $qout reverb"
  "sox $qin $qout fir $qfir"
  "$qmorv process $qin $qout --module 0 --quiet"
  "$qmorv process $qin $qout --module 11 --tail 0 --quiet"
  "$qmorv process $qin $qout --module 11 --preset Large\\ Hall --tail 0 --quiet"
  "$qmorv process $qin $qout --module 11 --set Size=12 --set RefC=0.99 --tail 0 --quiet"
  "$qmorv process $qin $qout --module 12 --preset Left --quiet"
)

# CPU seconds (user + system) of one run of a command line.
cpuTime() {
  local line
  line=$( { TIMEFORMAT='%U %S'; time eval "$1" >/dev/null 2>&1; } 2>&1 )
  echo "$line" | awk '{print $1 + $2}'
}

declare -A cpu
for ((r = 0; r < runs; r++)); do
  for i in "${!names[@]}"; do cpu[${names[$i]}]+="$(cpuTime "${commands[$i]}") "; done
done
median() { printf '%s\n' $1 | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
for name in "${names[@]}"; do declare "$name=$(median "${cpu[$name]}")"; done

awk -v s="$seconds" -v runs="$runs" -v sc="$soxCopy" -v sr="$soxReverb" -v sf="$soxFir" -v mc="$morvCopy" \
    -v md="$morvDefaults" -v mh="$morvHall" -v ml="$morvLargest" -v m3="$morv3d" '
function row(name, cpu) { printf "%-40s cpu %7.3f s  %7.0fx real time\n", name, cpu, (cpu > 0 ? s / cpu : 0) }
BEGIN {
  printf "%.1f s of audio, median CPU time of %d interleaved runs (whole process)\n", s, runs
  row("sox copy", sc)
  row("sox reverb", sr)
  row("sox fir, 1 s response", sf)
  row("morv copy (Level Tuning)", mc)
  row("morv ModalReverb, defaults", md)
  row("morv ModalReverb, Large Hall", mh)
  row("morv ModalReverb, Size 12 RefC 0.99", ml)
  row("morv Virtual3D, Left", m3)
  printf "sox reverb time / morv time: defaults %.2f, Large Hall %.2f\n", sr / md, sr / mh
}'
