#!/usr/bin/env bash
# One table: every effect that SoX (or a library we build on) also has, morv
# against that peer doing the same work on the same input in the same run.
# Whole runs are timed in turn (morv, peer, morv, peer...), RUNS times each
# (default 5); the figures are the medians of CPU time (user + system) and
# the ratio is the peer's median over ours (above 1: we are faster). The
# material is five minutes of orchestral music from Debian's game-music
# package (wesnoth-1.16-music, GPL), fetched at run time and never kept; the
# pitch x3 and x1/3 rows use its first 20 seconds, like the pitch bench.
# The last rows come from the benchmark programs: the pipeline beside its
# conversion floor, varispeed beside libresample alone, and the transform
# beside FFTW.
#   bench/peer_table.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?usage: peer_table.sh BUILD_DIR [RUNS]}
runs=${2:-5}
build=$(cd "$build" && pwd)
morv=$build/morv
[ -x "$morv" ] || { echo "no morv binary in $build" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is not installed (scripts/install_deps.sh bench)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
music=./usr/share/games/wesnoth/1.16/data/core/music
pieces=(battle-epic loyalists knolls)
(cd "$work" && { apt-get download wesnoth-1.16-music >/dev/null 2>&1 ||
  { apt-get update -qq && apt-get download wesnoth-1.16-music >/dev/null; }; })
dpkg-deb --fsys-tarfile "$work"/wesnoth-1.16-music_*.deb |
  tar -x -C "$work" $(for p in "${pieces[@]}"; do echo "$music/$p.ogg"; done)
rm "$work"/wesnoth-1.16-music_*.deb
sox $(for p in "${pieces[@]}"; do echo "$work/$music/$p.ogg"; done) -r 44100 -c 2 -b 16 "$work/in.wav" trim 0 300
sox "$work/in.wav" "$work/short.wav" trim 0 20
sox "$work/in.wav" -n trim 0 1 noiseprof "$work/noise.prof"

# CPU seconds (user + system) of one run of a command.
cpu_of() {
  local line
  line=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
  echo "$line" | awk '{print $1 + $2}'
}
median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# LABEL TARGET -- MORV_ARGS... -- PEER_COMMAND...
row() {
  local label=$1 target=$2 input=$3
  shift 4
  local ours=() peer=() a b
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  for ((r = 0; r < runs; r++)); do
    a+=" $(cpu_of "$morv" process "$input" "$work/ours.wav" --quiet "${ours[@]}")"
    b+=" $(cpu_of "$@")"
  done
  local ma mb
  ma=$(printf '%s\n' $a | median)
  mb=$(printf '%s\n' $b | median)
  awk -v l="$label" -v a="$ma" -v b="$mb" -v t="$target" 'BEGIN {
    printf "| %-38s | %8.3f s | %8.3f s | %6.2fx | %-9s |\n", l, a, b, (a > 0 ? b / a : 0), t }'
}

# Every band of the 31-band equaliser at +3 and -3 dB in turn.
eq_bands=(20 25 31.5 40 50 63 80 100 125 160 200 250 315 400 500 630 800 1000 1250 1600 2000 2500 3150 4000
          5000 6300 8000 10000 12500 16000 20000)
eq_names=('<20' 25 31.5 40 50 63 80 100 125 160 200 250 315 400 500 630 800 1k 1250 1.6 2k 2.5 3.1 4k 5k 6.3
          8k 10k 12.5 16k '>20k')
eq_morv=() eq_sox=()
for i in "${!eq_bands[@]}"; do
  gain=$(( i % 2 ? -3 : 3 ))
  eq_morv+=(--set "${eq_names[$i]}=$gain")
  eq_sox+=(equalizer "${eq_bands[$i]}" 0.33o "$gain")
done

in=$work/in.wav
out=$work/peer.wav
echo "input: 300 s of orchestral music (${pieces[*]}), 44100 Hz stereo 16-bit; CPU medians of $runs runs, interleaved"
echo
echo "| work                                   | morv       | peer       | peer/us | target    |"
echo "|---|---|---|---|---|"
row "pass-through (sox vol 1)" ">= 1x" "$in" -- --module 0 -- sox "$in" "$out" vol 1
row "31-band equaliser, bands +-3 dB" ">= 3x" "$in" -- --module 8 "${eq_morv[@]}" -- sox "$in" "$out" "${eq_sox[@]}"
row "noise reduction (sox noisered 0.21)" ">= 3x" "$in" -- --module 3 -- sox "$in" "$out" noisered "$work/noise.prof" 0.21
row "reverb at defaults (sox reverb)" ">= 2x" "$in" -- --module 11 --tail 0 -- sox "$in" "$out" reverb
row "reverb Large Hall (sox reverb)" ">= 1x" "$in" -- --module 11 --preset "Large Hall" --tail 0 -- sox "$in" "$out" reverb
row "tempo x0.758 SlowDown (sox tempo)" ">= 2x" "$in" -- --module 14 --preset SlowDown -- sox "$in" "$out" tempo 0.758
row "pitch +7.6 st Child (sox pitch 761)" ">= 2x" "$in" -- --module 15 --preset Child -- sox "$in" "$out" pitch 761
row "pitch x3, 20 s (sox pitch 1902)" ">= 2x" "$work/short.wav" -- --module 15 --set Pitch=1 -- sox "$work/short.wav" "$out" pitch 1902
row "pitch x1/3, 20 s (sox pitch -1902)" ">= 2x" "$work/short.wav" -- --module 15 --set Pitch=-1 -- sox "$work/short.wav" "$out" pitch -1902
declick=$(for ((r = 0; r < runs; r++)); do cpu_of "$morv" process "$in" "$work/ours.wav" --quiet --module 1; done | median)
awk -v c="$declick" 'BEGIN { printf "| %-38s | %8.3f s | %10s | %6.0fx | %-9s |\n", "DeClick, times real time", c, "", 300 / c, ">= 200x" }'

# The benchmark programs' medians (Google Benchmark, CPU time) by name.
bench_medians() {  # PROGRAM FILTER
  "$build/$1" --benchmark_filter="$2" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null | awk -F, '$1 ~ /_median"?$/ {gsub(/"/, "", $1); sub(/_median$/, "", $1); print $1, $4}'
}
bench_row() {  # LABEL TARGET OURS PEER TABLE
  awk -v l="$1" -v t="$2" -v a="$3" -v b="$4" '$1 == a {x = $2} $1 == b {y = $2}
    END { if (x && y) printf "| %-38s | %8.0f ns | %8.0f ns | %6.2fx | %-9s |\n", l, x, y, y / x, t }' "$5"
}
if [ -x "$build/pipeline_bench" ]; then
  bench_medians pipeline_bench . >"$work/pipeline.txt"
  bench_row "pipeline block beside its floor" ">= 0.91x" BM_PipelinePassThrough BM_ConversionFloor "$work/pipeline.txt"
fi
if [ -x "$build/time_pitch_bench" ]; then
  bench_medians time_pitch_bench 'Resampler|LibresampleAlone' >"$work/resample.txt"
  for arg in 4 -4; do
    bench_row "varispeed $arg/10 beside libresample" ">= 0.91x" "BM_Resampler/$arg" "BM_LibresampleAlone/$arg" "$work/resample.txt"
  done
fi
if [ -x "$build/real_fft_bench" ]; then
  bench_medians real_fft_bench '^(RealFft|FFTW)/' >"$work/fft.txt"
  for n in 400 448 1120 1344 2240 4096 4410 8820 13440; do
    bench_row "RealFft pair N=$n beside FFTW" ">= 0.67x" "RealFft/$n" "FFTW/$n" "$work/fft.txt"
  done
fi
