#!/usr/bin/env bash
# DeNoise beside SoX's noisered on one noisy file: a three-tone mix (from
# 1 s on) plus steady white noise at -30 dBFS RMS, 20 s of 44100 Hz stereo.
# SoX takes its noise profile from the first 0.5 s; DeNoise learns over the
# same 0.5 s (NoiseLen 0.5). Reports the SNR from 1 s on before and after
# each, and the whole-process real-time factor of each (median of 5 runs),
# with DeClick and DeHiss through morv on the same file for reference.
#   bench/restoration_sox_compare.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
morv="$build/morv"
[ -x "$morv" ] || { echo "no morv in $build" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is missing (scripts/install_deps.sh bench)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=20
runs=5

# Signals.
for f in 220 554 1318; do
  sox -R -n -r 44100 -c 2 -b 16 "$work/tone$f.wav" synth $((seconds - 1)) sine $f vol 0.15
done
sox -m -v 1 "$work/tone220.wav" -v 1 "$work/tone554.wav" -v 1 "$work/tone1318.wav" \
  "$work/tones.wav" pad 1 0
sox "$work/tones.wav" -e floating-point -b 32 "$work/clean.wav"
# Uniform noise in [-a, a] has an RMS of a / sqrt(3): a = 0.0548 gives -30 dBFS.
sox -R -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth $seconds whitenoise vol 0.0548
sox -R -m -v 1 "$work/tones.wav" -v 1 "$work/noise.wav" "$work/noisy.wav"
sox "$work/noisy.wav" -n trim 0 0.5 noiseprof "$work/noise.prof"

# RMS of a file from 1 s on, and SNR of a file against the clean mix.
rms() { sox "$1" -n trim 1 stat 2>&1 | awk '/RMS +amplitude/ {print $3}'; }
snr() {
  sox -m -v 1 "$1" -v -1 "$work/clean.wav" -e floating-point -b 32 "$work/diff.wav"
  awk -v s="$(rms "$work/clean.wav")" -v n="$(rms "$work/diff.wav")" 'BEGIN {printf "%.2f", 20 * log(s / n) / log(10)}'
}

# Median over the runs of a command's wall time and of its CPU time (user +
# system, which a busy shared machine disturbs less), in seconds: "WALL CPU".
median_times() {
  local walls=() cpus=() line
  for _ in $(seq $runs); do
    line=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
    walls+=("$(echo "$line" | awk '{print $1}')")
    cpus+=("$(echo "$line" | awk '{print $2 + $3}')")
  done
  local wall cpu
  wall=$(printf '%s\n' "${walls[@]}" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
  cpu=$(printf '%s\n' "${cpus[@]}" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
  echo "$wall $cpu"
}
factor() { awk -v s=$seconds -v t="$1" 'BEGIN {printf "%.0f", s / t}'; }
report() {  # NAME "WALL CPU"
  set -- "$1" $2
  printf '  %-24s wall %6.3f s %5sx   cpu %6.3f s %5sx\n' "$1" "$2" "$(factor "$2")" "$3" "$(factor "$3")"
}

sox_times=$(median_times sox "$work/noisy.wav" "$work/sox.wav" noisered "$work/noise.prof" 0.5)
morv_times=$(median_times "$morv" process "$work/noisy.wav" "$work/morv.wav" --module 3 --set NoiseLen=0.5 --quiet)
declick_times=$(median_times "$morv" process "$work/noisy.wav" "$work/declick.wav" --module 1 --quiet)
dehiss_times=$(median_times "$morv" process "$work/noisy.wav" "$work/dehiss.wav" --module 2 --quiet)

echo "signal: three tones + white noise at -30 dBFS, ${seconds} s 44100 Hz stereo 16-bit"
echo "SNR from 1 s on (dB): input $(snr "$work/noisy.wav"), DeNoise $(snr "$work/morv.wav"), SoX noisered $(snr "$work/sox.wav")"
echo "whole process, median of $runs runs (time, real-time factor):"
report "sox noisered" "$sox_times"
report "morv --module 3 DeNoise" "$morv_times"
report "morv --module 1 DeClick" "$declick_times"
report "morv --module 2 DeHiss" "$dehiss_times"
awk -v m="$morv_times" -v s="$sox_times" 'BEGIN {
  split(m, a, " "); split(s, b, " ")
  printf "DeNoise speed / noisered speed: wall %.2f, cpu %.2f\n", b[1] / a[1], b[2] / a[2]
}'
