#!/usr/bin/env bash
# Whole-process speed of the time and pitch modules beside Rubber Band
# (rubberband, its default engine) and SoX on the same file: 20 s of 44100 Hz
# stereo 16-bit, two tones and noise. Each line is one complete run of a
# tool, file in and file out; figures are medians over RUNS runs (default 5)
# of wall time and of CPU time (user + system), and the real-time factor is
# seconds of audio per second. The same transformations side by side:
#   varispeed, output 1.32 and 0.758 times as long: T/P-Resampler "UpSample"
#     and "DownSample", sox speed 1/1.32 and 1/0.758;
#   tempo, 1.32 and 0.758 times as long: T/P-TempoScaler "SlowDown" and
#     "SpeedUp", sox tempo 1/1.32 and 1/0.758, rubberband -t 1.32 and -t 0.758;
#   pitch x3 and x1/3: T/P-PitchScaler "Pitch" 1 and -1, sox pitch +1902 and
#     -1902 cents, rubberband -f 3 and -f 0.3333.
# A plain copy by each tool (morv's pass-through module, sox with no effect)
# shows what reading and writing the file costs.
#   bench/time_pitch_compare.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?usage: time_pitch_compare.sh BUILD_DIR [RUNS]}
runs=${2:-5}
morv=$(cd "$build" && pwd)/morv
[ -x "$morv" ] || { echo "no morv binary in $build" >&2; exit 1; }
for tool in sox rubberband; do
  command -v $tool >/dev/null || { echo "$tool is not installed (scripts/install_deps.sh bench)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=20
sox -R -n -r 44100 -c 2 -b 16 "$work/a.wav" synth $seconds sine 220 vol 0.2
sox -R -n -r 44100 -c 2 -b 16 "$work/b.wav" synth $seconds sine 1318 vol 0.1
sox -R -n -r 44100 -c 2 -b 16 "$work/n.wav" synth $seconds whitenoise vol 0.05
sox -R -m -v 1 "$work/a.wav" -v 1 "$work/b.wav" -v 1 "$work/n.wav" "$work/in.wav"

# Runs a command RUNS times; prints "median_wall median_cpu" in seconds.
measure() {
  local walls=() cpus=() line
  for ((r = 0; r < runs; r++)); do
    line=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
    walls+=("$(echo "$line" | awk '{print $1}')")
    cpus+=("$(echo "$line" | awk '{print $2 + $3}')")
  done
  local median='{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'
  echo "$(printf '%s\n' "${walls[@]}" | sort -g | awk "$median") $(printf '%s\n' "${cpus[@]}" | sort -g | awk "$median")"
}
report() {  # LABEL OUTPUT_FILE command...
  local label=$1 output=$2 times
  shift 2
  times=$(measure "$@")
  set -- $times
  local length
  length=$(soxi -D "$output" 2>/dev/null || echo 0)
  awk -v l="$label" -v w="$1" -v c="$2" -v s=$seconds -v len="$length" 'BEGIN {
    printf "  %-34s wall %6.3f s %6.0fx   cpu %6.3f s %6.0fx   out %6.2f s\n", l, w, s / w, c, s / c, len }'
}
morv_run() { "$morv" process "$work/in.wav" "$1" --quiet "${@:2}"; }

echo "input: 220 Hz + 1318 Hz + white noise, ${seconds} s 44100 Hz stereo 16-bit; median of $runs runs"
echo "copy"
report "morv Level Tuning" "$work/o.wav" morv_run "$work/o.wav" --module 0
report "sox (no effect)" "$work/o.wav" sox "$work/in.wav" "$work/o.wav"
echo "varispeed (output 1.32 / 0.758 times as long)"
report "morv T/P-Resampler UpSample" "$work/o.wav" morv_run "$work/o.wav" --module 13 --preset UpSample
report "morv T/P-Resampler DownSample" "$work/o.wav" morv_run "$work/o.wav" --module 13 --preset DownSample
report "sox speed 0.7579" "$work/o.wav" sox "$work/in.wav" "$work/o.wav" speed 0.7579
report "sox speed 1.3195" "$work/o.wav" sox "$work/in.wav" "$work/o.wav" speed 1.3195
echo "tempo (output 1.32 / 0.758 times as long, pitch kept)"
report "morv T/P-TempoScaler SlowDown" "$work/o.wav" morv_run "$work/o.wav" --module 14 --preset SlowDown
report "morv T/P-TempoScaler SpeedUp" "$work/o.wav" morv_run "$work/o.wav" --module 14 --preset SpeedUp
report "sox tempo 0.7579" "$work/o.wav" sox "$work/in.wav" "$work/o.wav" tempo 0.7579
report "sox tempo 1.3195" "$work/o.wav" sox "$work/in.wav" "$work/o.wav" tempo 1.3195
report "rubberband -t 1.3195" "$work/o.wav" rubberband -q -t 1.3195 "$work/in.wav" "$work/o.wav"
report "rubberband -t 0.7579" "$work/o.wav" rubberband -q -t 0.7579 "$work/in.wav" "$work/o.wav"
echo "pitch (x3 / x1/3, duration kept)"
report "morv T/P-PitchScaler Pitch=1" "$work/o.wav" morv_run "$work/o.wav" --module 15 --set Pitch=1
report "morv T/P-PitchScaler Pitch=-1" "$work/o.wav" morv_run "$work/o.wav" --module 15 --set Pitch=-1
report "sox pitch +1902" "$work/o.wav" sox "$work/in.wav" "$work/o.wav" pitch 1902
report "sox pitch -1902" "$work/o.wav" sox "$work/in.wav" "$work/o.wav" pitch -1902
report "rubberband -f 3" "$work/o.wav" rubberband -q -f 3 "$work/in.wav" "$work/o.wav"
report "rubberband -f 0.3333" "$work/o.wav" rubberband -q -f 0.3333 "$work/in.wav" "$work/o.wav"
