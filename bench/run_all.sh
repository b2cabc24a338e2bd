#!/usr/bin/env bash
# Runs every benchmark program of a build directory, the DeClick quality
# script, the peak memory of morv process by file length, then every
# comparison script (bench/*_compare.sh), which time whole runs against other
# tools.
set -euo pipefail
build=${1:-build-bench}
here=$(cd "$(dirname "$0")" && pwd)
for program in "$build"/*_bench; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
if [ -x "$build/design_latency" ]; then
  echo "== design_latency"
  "$build/design_latency"
fi
if [ -x "$build/declick_quality" ]; then
  echo "== declick_quality.sh"
  "$here/declick_quality.sh" "$build"
fi
echo "== memory_check.sh"
"$here/memory_check.sh" "$build"
for script in "$here"/*_compare.sh; do
  [ -x "$script" ] || continue
  echo "== $(basename "$script")"
  "$script" "$build"
done
echo "== peer_table.sh"
"$here/peer_table.sh" "$build"
