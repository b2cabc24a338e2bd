#!/usr/bin/env bash
# Whole-process speed of our graphic equalisers against SoX's equalizer chain
# on the same 60 s stereo 44100 Hz 16-bit file, with the same band centres and gains.
#   bench/eq_sox_compare.sh BUILD_DIR [RUNS]
# Figures are medians over RUNS runs (default 5) of CPU time (user + system)
# and of wall time. "net" subtracts a plain copy of the file by the same tool
# (sox in.wav out.wav, morv process with the pass-through module), leaving the
# filtering. The real-time factor is seconds of audio per second of CPU.
set -euo pipefail
build=${1:?usage: eq_sox_compare.sh BUILD_DIR [RUNS]}
runs=${2:-5}
morv=$(cd "$build" && pwd)/morv
command -v sox >/dev/null || { echo "sox is not installed (scripts/install_deps.sh bench)" >&2; exit 1; }
[ -x "$morv" ] || { echo "no morv binary in $build" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=60
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth "$seconds" pinknoise vol 0.25

centres31=(20 25 31.5 40 50 63 80 100 125 160 200 250 315 400 500 630 800 1000 1250 1600 2000 2500 3150 4000 5000
           6300 8000 10000 12500 16000 20000)
labels31=("<20" 25 31.5 40 50 63 80 100 125 160 200 250 315 400 500 630 800 1k 1250 1.6 2k 2.5 3.1 4k 5k 6.3 8k 10k
          12.5 16k ">20k")
centres10=(31 62 125 250 500 1000 2000 4000 8000 16000)
labels10=("<31" 62 125 250 500 1k 2k 4k 8k ">16k")

# Alternating +6 / -6 dB, the same for both tools. SoX's width is given as the
# Q of our peaking sections: 4.3185 for 1/3 octave, 1.4142 for one octave.
sox_chain() {  # Q centres...
  local q=$1 gain=6 f
  shift
  for f in "$@"; do
    printf 'equalizer %s %sq %s ' "$f" "$q" "$gain"
    gain=$((-gain))
  done
}
morv_settings() {  # labels...
  local gain=6 label
  for label in "$@"; do
    printf -- '--set\n%s=%s\n' "$label" "$gain"
    gain=$((-gain))
  done
}

# Runs a command RUNS times; prints "median_cpu median_wall" in seconds.
measure() {
  local cpu=() wall=() line
  for ((r = 0; r < runs; r++)); do
    line=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
    wall+=("$(echo "$line" | awk '{print $1}')")
    cpu+=("$(echo "$line" | awk '{print $2 + $3}')")
  done
  printf '%s %s\n' "$(printf '%s\n' "${cpu[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')" \
                   "$(printf '%s\n' "${wall[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')"
}

read -r -a sox31 <<<"$(sox_chain 4.3185 "${centres31[@]}")"
read -r -a sox10 <<<"$(sox_chain 1.4142 "${centres10[@]}")"
mapfile -t morv31 < <(morv_settings "${labels31[@]}")
mapfile -t morv10 < <(morv_settings "${labels10[@]}")

in=$work/in.wav
out=$work/out.wav
read -r soxCopyCpu soxCopyWall < <(measure sox "$in" "$out")
read -r sox31Cpu sox31Wall < <(measure sox "$in" "$out" "${sox31[@]}")
read -r sox10Cpu sox10Wall < <(measure sox "$in" "$out" "${sox10[@]}")
read -r morvCopyCpu morvCopyWall < <(measure "$morv" process "$in" "$out" --module 0 --quiet)
read -r morv31Cpu morv31Wall < <(measure "$morv" process "$in" "$out" --module 8 "${morv31[@]}" --quiet)
read -r morv10Cpu morv10Wall < <(measure "$morv" process "$in" "$out" --module 5 "${morv10[@]}" --quiet)

awk -v s="$seconds" -v runs="$runs" \
    -v scc="$soxCopyCpu" -v scw="$soxCopyWall" -v s31c="$sox31Cpu" -v s31w="$sox31Wall" \
    -v s10c="$sox10Cpu" -v s10w="$sox10Wall" -v mcc="$morvCopyCpu" -v mcw="$morvCopyWall" \
    -v m31c="$morv31Cpu" -v m31w="$morv31Wall" -v m10c="$morv10Cpu" -v m10w="$morv10Wall" '
function rt(t) { return t > 0 ? sprintf("%7.0fx", s / t) : "    n/a" }
function row(name, cpu, wall, copy) {
  printf "%-26s cpu %6.3f s  wall %6.3f s  %s real time   net %6.3f s  %s real time\n",
         name, cpu, wall, rt(cpu), cpu - copy, rt(cpu - copy)
}
BEGIN {
  printf "%d s of 44100 Hz stereo, median of %d runs\n", s, runs
  printf "%-26s cpu %6.3f s  wall %6.3f s\n", "sox copy", scc, scw
  printf "%-26s cpu %6.3f s  wall %6.3f s\n", "morv copy (Level Tuning)", mcc, mcw
  row("sox 31 x equalizer", s31c, s31w, scc)
  row("morv GEQ-31", m31c, m31w, mcc)
  row("sox 10 x equalizer", s10c, s10w, scc)
  row("morv GEQ-10", m10c, m10w, mcc)
  printf "speed ratio morv / sox, 31 bands: whole process %.2f, net %.2f\n", s31c / m31c, (s31c - scc) / (m31c - mcc)
  printf "speed ratio morv / sox, 10 bands: whole process %.2f, net %.2f\n", s10c / m10c, (s10c - scc) / (m10c - mcc)
}'
