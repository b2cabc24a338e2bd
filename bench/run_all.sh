#!/usr/bin/env bash
# Runs every benchmark program of a build directory, then every comparison
# script (bench/*_compare.sh), which time whole runs against other tools.
set -euo pipefail
build=${1:-build-bench}
here=$(cd "$(dirname "$0")" && pwd)
for program in "$build"/*_bench; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
for script in "$here"/*_compare.sh; do
  [ -x "$script" ] || continue
  echo "== $(basename "$script")"
  "$script" "$build"
done
