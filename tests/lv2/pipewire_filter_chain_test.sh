#!/usr/bin/env bash
# The README's PipeWire filter-chain configuration of the 10-band equaliser,
# on a private, headless PipeWire: a file played into the filter's sink with
# pw-cat and recorded from its output with pw-record must equal
# `morv process --preset 1965` to one step of 24 bits.
#   pipewire_filter_chain_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for tool in pipewire wireplumber dbus-run-session pw-cat pw-record python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install_deps.sh lv2)"; exit 77; }
done

work=$(mktemp -d /tmp/morv-pipewire-XXXXXX)
trap '[ -n "${MORV_KEEP:-}" ] || rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export LV2_PATH=$build/lv2:/usr/lib/lv2
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" "$XDG_STATE_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

# The configuration block of the README, its output turned into a source that
# pw-record can take (on a desktop it plays into the default output instead).
python3 - "$source_dir/README.md" "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/morv-eq10.conf" <<'PY'
import re, sys
readme = open(sys.argv[1]).read()
block = re.search(r"```\n(context\.modules = \[\n.*?)```", readme, re.S).group(1)
block = block.replace("node.passive = true", "media.class  = Audio/Source")
open(sys.argv[2], "w").write(block)
PY

# Two seconds of tones and noise at 48 kHz (PipeWire's rate), then half a
# second of silence that carries the last blocks through the graph; the two
# seconds are compared.
python3 - "$work/in.wav" <<'PY'
import math, struct, sys, wave
rate, data, seed = 48000, bytearray(), 7
for i in range(5 * rate // 2):
    t = i / rate
    for c in range(2):
        if i >= 2 * rate:
            data += bytes(3)
            continue
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        x = 0.2 * math.sin(2 * math.pi * (440 + 220 * c) * t) + 0.1 * math.sin(2 * math.pi * 5000 * t) \
            + (seed / 0x7FFFFFFF - 0.5) * 0.04
        data += struct.pack("<i", int(x * 8388607))[:3]
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(3); w.setframerate(rate); w.writeframes(bytes(data))
PY
"$build/morv" process "$work/in.wav" "$work/morv.wav" --module 5 --preset 1965 --bits 24 --block 64 -q

cat > "$work/session.sh" <<'SH'
set -u
pipewire > "$W/pipewire.log" 2>&1 &
pw=$!
wireplumber > "$W/wireplumber.log" 2>&1 &
wp=$!
# Wait for the filter's two nodes.
for _ in $(seq 100); do
  pw-cli ls Node 2>/dev/null | grep -q effect_output.morv_eq10 && break
  sleep 0.1
done
pw-record --target effect_output.morv_eq10 --format s32 --rate 48000 --channels 2 "$W/out.wav" &
rec=$!
sleep 1
# A session that links nothing (as in a chroot, where WirePlumber's policy
# never puts the streams on a driver) leaves pw-cat waiting for ever.
timeout 20 pw-cat --playback --target effect_input.morv_eq10 "$W/in.wav" || touch "$W/stalled"
sleep 1
kill -INT $rec; wait $rec
kill $wp $pw; wait $wp $pw 2>/dev/null
true
SH
W=$work timeout 120 dbus-run-session -- bash "$work/session.sh"
if [ -e "$work/stalled" ]; then
  echo "SKIP: this PipeWire session ran no audio through the filter in 20 s (no link to a driver)"
  tail -5 "$work/wireplumber.log"
  exit 77
fi
if [ ! -s "$work/out.wav" ]; then
  echo "FAIL: nothing recorded"; tail -20 "$work/pipewire.log" "$work/wireplumber.log"; exit 1
fi
result=$("$build/morv_wav_compare" "$work/out.wav" "$work/morv.wav" auto 96000) || { echo "FAIL: $result"; exit 1; }
echo "$result"
worst=$(echo "$result" | sed -n 's/.*max_lsb=\([0-9.]*\).*/\1/p')
frames=$(echo "$result" | sed -n 's/.*frames=\([0-9]*\).*/\1/p')
if python3 -c "import sys; sys.exit(0 if float('$worst') <= 1.0 and int('$frames') == 96000 else 1)"; then
  echo "1 passed, 0 failed"
else
  echo "FAIL: the recording differs from morv process by $worst steps of 24 bits over $frames frames"
  echo "0 passed, 1 failed"
  exit 1
fi
