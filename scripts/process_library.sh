#!/usr/bin/env bash
# Runs morv process over every audio file under a folder, one morv per file,
# as many at once as there are cores, keeping the folder tree.
#   scripts/process_library.sh [-j JOBS] SOURCE DEST [morv process options...]
# A file whose output already exists is skipped (morv writes an output only
# when it is complete, so what exists is done): run it again after a stop
# and it goes on where it was. WAV and FLAC keep their kind; other inputs
# (OGG, MP3, AIFF...) come out as FLAC. Failures are listed at the end with
# their messages, and the status is then 1. MORV names the binary (default:
# morv on the PATH, else build/morv beside this script).
set -uo pipefail

jobs=$(nproc 2>/dev/null || echo 2)
if [ "${1:-}" = "-j" ]; then jobs=$2; shift 2; fi
if [ $# -lt 2 ] || [ ! -d "$1" ]; then
  echo "usage: $0 [-j JOBS] SOURCE DEST [morv process options...]" >&2
  exit 2
fi
source_dir=${1%/}; dest_dir=${2%/}; shift 2
morv=${MORV:-$(command -v morv || echo "$(dirname "$0")/../build/morv")}
# The options travel to each job quoted for the shell.
export MORV_BINARY="$morv" SOURCE_DIR="$source_dir" DEST_DIR="$dest_dir" MORV_OPTIONS="$(printf '%q ' "$@")"

failures=$(mktemp -d)
trap 'rm -rf "$failures"' EXIT
export FAILURES="$failures"

# One file: its output path mirrors the input's under DEST.
render_one() {
  local input=$1
  local relative=${input#"$SOURCE_DIR"/}
  local output="$DEST_DIR/${relative%.*}"
  case "${input,,}" in *.wav) output+=.wav ;; *) output+=.flac ;; esac
  [ -e "$output" ] && return 0
  mkdir -p "$(dirname "$output")"
  local log
  if ! log=$(eval "\"\$MORV_BINARY\" process \"\$input\" \"\$output\" --quiet $MORV_OPTIONS" 2>&1); then
    printf '%s\n%s\n' "$input" "$log" > "$(mktemp "$FAILURES/XXXXXX")"
  elif [ -n "$log" ]; then
    printf '%s\n' "$log" >&2
  fi
}
export -f render_one

find "$source_dir" -type f \( -iname '*.wav' -o -iname '*.flac' -o -iname '*.ogg' -o -iname '*.oga' \
  -o -iname '*.mp3' -o -iname '*.aif' -o -iname '*.aiff' -o -iname '*.opus' -o -iname '*.caf' \
  -o -iname '*.w64' \) -print0 | sort -z |
  xargs -0 -r -n 1 -P "$jobs" bash -c 'render_one "$1"' render_one

failed=$(find "$failures" -type f | wc -l)
if [ "$failed" -gt 0 ]; then
  echo "$failed file(s) failed:" >&2
  for f in "$failures"/*; do sed '1s/^/  /; 2,$s/^/    /' "$f" >&2; done
  exit 1
fi
