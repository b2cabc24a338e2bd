#!/usr/bin/env bash
# Runs every fuzz target of a build for the given number of seconds each,
# starting from the seeds in tests/fuzz/corpus/NAME; what a run finds is kept
# in BUILD/fuzz-corpus/NAME for the next run. Fails on any report.
#   tests/fuzz/run_fuzzers.sh BUILD SECONDS [NAME...]   (default: every target)
# With FUZZ_SEED set, each target starts from the seeds alone with that
# random seed: a run on one machine mutates much as it did on another,
# rather than exploring anew from what earlier runs kept.
set -uo pipefail
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

# Longest input per target: the pipeline's steps, a stored settings value,
# a short audio file.
max_len() {
  case "$1" in
    pipeline) echo 256 ;;
    settings) echo 400 ;;
    *) echo 8192 ;;
  esac
}

failed=0
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for target in "$build"/fuzz_*; do names+=("${target##*/fuzz_}"); done
fi
for name in "${names[@]}"; do
  target="$build/fuzz_$name"
  work="$build/fuzz-corpus/$name"
  seed_option=()
  if [ -n "${FUZZ_SEED:-}" ]; then
    work="$build/fuzz-corpus/$name-seed-$FUZZ_SEED"
    rm -rf "$work"
    seed_option=(-seed="$FUZZ_SEED")
  fi
  artifacts="$build/fuzz-artifacts/$name/"
  log="$build/fuzz-$name.log"
  mkdir -p "$work" "$artifacts"
  if "$target" "${seed_option[@]}" -max_total_time="$seconds" -max_len="$(max_len "$name")" -print_final_stats=1 \
      -artifact_prefix="$artifacts" "$work" "$here/corpus/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "fuzz $name: $runs runs in ${seconds}s, $cov, no report"
  else
    echo "fuzz $name: REPORT (log $log, input in $artifacts)"
    grep -A25 -m1 -E 'ERROR:|runtime error|deadly signal|==ERROR' "$log" || tail -30 "$log"
    failed=1
  fi
done
exit $failed
