#!/usr/bin/env bash
# Peak resident memory of morv process for a 30-second and a 4-minute stereo
# file, for every module that morv list offers: a streaming run holds the
# same memory whatever the length. Fails when a module's longer run needs
# more than LIMIT_KB (default 4096) above the shorter one.
#   bench/memory_check.sh [BUILD]
set -euo pipefail
build=${1:-build}
morv="$build/morv"
limit_kb=${LIMIT_KB:-4096}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -n -r 44100 -c 2 -b 16 "$work/short.wav" synth 30 pinknoise vol 0.4
sox -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 240 pinknoise vol 0.4

peak_kb() {
  /usr/bin/time -f %M -o "$work/rss" "$morv" process "$work/$1.wav" "$work/out.wav" --quiet --module "$2"
  cat "$work/rss"
}

"$morv" list --json | sed -n 's/^ *{"index": \([0-9]*\), "name": "\([^"]*\)".*/\1 \2/p' >"$work/modules"
printf "%-6s %-28s %10s %10s %8s\n" module name "30 s KB" "4 min KB" growth
failed=0
while read -r m name; do
  short=$(peak_kb short "$m")
  long=$(peak_kb long "$m")
  growth=$((long - short))
  printf "%-6s %-28s %10d %10d %8d\n" "$m" "$name" "$short" "$long" "$growth"
  [ "$growth" -le "$limit_kb" ] || failed=1
done <"$work/modules"
[ "$failed" -eq 0 ] || { echo "peak memory grows with the file's length (limit $limit_kb KB)"; exit 1; }
