#!/usr/bin/env bash
# What the vocal removers and the whisper do to real sound. Fetches a metal
# song (Muldjord's "Armygeddon", CC BY-SA, from Debian's
# fretsonfire-songs-muldjord package) into a temporary folder, mixes its two
# stems (the band and the lead guitar), takes 30 s from the first minute on
# and runs it through `morv`; the whisper also gets a spoken phrase from
# espeak-ng.
#   bench/vocal_whisper_mix.sh [MORV]    (default build/morv)
# DeVocal rows: level change of the centre (L + R) and of the sides (L - R)
# inside 300 Hz .. 8 kHz, of the centre below 120 Hz and above 12 kHz, and the
# channel correlation 2<LR> / (<L2> + <R2>) in the band, before -> after.
# Whisper rows: level change (200 Hz .. 10 kHz), the widest deviation of a
# third-octave band's change from the mean change (200 Hz .. 10 kHz: the
# envelope kept; lower bands are narrower than the 10 ms frame resolves), and
# the mean flatness (geometric over arithmetic mean power) inside the
# third-octave bands from 300 Hz to 8 kHz of 4096-sample blocks, before ->
# after: harmonic peaks lower it, noise gives about 0.56.
# Presets are applied with the master gain at 0 dB, so the figures are the
# module's own.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
morv=$(realpath "${1:-$root/build/morv}")
[ -x "$morv" ] || { echo "$morv is not built"; exit 1; }
"$root/scripts/install_deps.sh" bench

work=$(mktemp -d /tmp/morv-mix.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
package=fretsonfire-songs-muldjord
apt-get download -q "$package" >/dev/null 2>&1 || { apt-get update -qq && apt-get download -q "$package" >/dev/null 2>&1; }
song=./usr/share/games/fretsonfire/data/songs/muldjord/armygeddon
dpkg-deb --fsys-tarfile "$package"_*.deb | tar -x "$song/song.ogg" "$song/guitar.ogg"
# The band without the lead guitar, and the whole mix (the lead guitar is
# wide, largely in antiphase); 12 dB down, room for the boost preset.
sox -m "$song/song.ogg" "$song/guitar.ogg" -b 16 mix.wav trim 60 30 gain -12
sox "$song/song.ogg" -b 16 band.wav trim 60 30 gain -12

# RMS of a remix of file $1 ($2: "1,2" centre, "1,2v-1" sides) through the
# sox effects that follow, over the steady part.
rms() {
  local file=$1 remix=$2
  shift 2
  sox "$file" -n remix "$remix" trim 1 28 "$@" stat 2>&1 | awk '/RMS +amplitude/ {print $3}'
}

# Third-octave band levels (dB) of the centre's mean power spectrum, then the
# mean in-band flatness of its loud blocks and the total level (dB).
spectrum() {
  sox "$1" -n remix 1,2 trim 1 "$2" stat -freq 2>&1 | python3 -c '
import math, sys
blocks, block = [], []
for line in sys.stdin:
    parts = line.split()
    if len(parts) != 2:
        continue
    try:
        f, p = float(parts[0]), float(parts[1])
    except ValueError:
        continue
    if f == 0.0 and block:
        blocks.append(block)
        block = []
    block.append((f, p))
blocks.append(block)

def thirds(low, top):
    while low * 2 ** (1 / 3) <= top:
        yield low, low * 2 ** (1 / 3)
        low *= 2 ** (1 / 3)

def flatness(values):
    return math.exp(sum(math.log(v + 1e-30) for v in values) / len(values)) / (sum(values) / len(values))

mean = {}
for block in blocks:
    for f, p in block:
        mean[f] = mean.get(f, 0.0) + p
levels = [10 * math.log10(sum(p for f, p in mean.items() if a <= f < b) + 1e-30) for a, b in thirds(200.0, 10000.0)]
energy = [sum(p for f, p in block if 300.0 <= f < 8000.0) for block in blocks]
loud = [block for block, e in zip(blocks, energy) if e > 1e-3 * max(energy)]
local = []
for block in loud:
    bands = [[p for f, p in block if a <= f < b] for a, b in thirds(300.0, 8000.0)]
    local.append(sum(flatness(v) for v in bands) / len(bands))
total = sum(p for f, p in mean.items() if 200.0 <= f < 10000.0)
print(" ".join("%.4f" % v for v in levels), "%.4f" % (sum(local) / len(local)), "%.4f" % (10 * math.log10(total)))
'
}

# sox prints RMS values to 6 decimals: 0 is below about -100 dB here.
db() { awk -v a="$1" -v b="$2" 'BEGIN { if (a <= 0 || b <= 0) print "<-100"; else printf "%+.1f", 20 * log(a / b) / log(10) }'; }
correlation() { awk -v m="$1" -v s="$2" 'BEGIN { printf "%+.2f", (m * m - s * s) / (m * m + s * s) }'; }

declare -A before
measure_devocal_input() {
  before[centre]=$(rms "$1" 1,2 sinc -t 20 300-8000)
  before[sides]=$(rms "$1" 1,2v-1 sinc -t 20 300-8000)
  before[low]=$(rms "$1" 1,2 sinc -120)
  before[high]=$(rms "$1" 1,2 sinc 12000)
}

devocal_row() {
  local label=$1 input=$2
  shift 2
  "$morv" process "$input" out.wav --bits 32 --quiet "$@"
  local centre sides low high
  centre=$(rms out.wav 1,2 sinc -t 20 300-8000)
  sides=$(rms out.wav 1,2v-1 sinc -t 20 300-8000)
  low=$(rms out.wav 1,2 sinc -120)
  high=$(rms out.wav 1,2 sinc 12000)
  printf "%-34s %8s %8s %8s %8s   %s -> %s\n" "$label" "$(db "$centre" "${before[centre]}")" \
    "$(db "$sides" "${before[sides]}")" "$(db "$low" "${before[low]}")" "$(db "$high" "${before[high]}")" \
    "$(correlation "${before[centre]}" "${before[sides]}")" "$(correlation "$centre" "$sides")"
}

whisper_row() {
  local label=$1 input=$2 seconds=$3
  shift 3
  "$morv" process "$input" out.wav --bits 32 --quiet "$@"
  python3 - "$(spectrum "$input" "$seconds")" "$(spectrum out.wav "$seconds")" "$label" <<'EOF'
import sys
a = [float(v) for v in sys.argv[1].split()]
b = [float(v) for v in sys.argv[2].split()]
change = [y - x for x, y in zip(a[:-2], b[:-2])]
mean = sum(change) / len(change)
print("%-34s %+8.1f %8.1f   %.3f -> %.3f" % (sys.argv[3], b[-1] - a[-1], max(abs(c - mean) for c in change), a[-2], b[-2]))
EOF
}

echo "DeVocal, 30 s of Armygeddon      centre    sides  centre<  centre>   correlation"
echo "(dB change)                      300-8k   300-8k   120 Hz   12 kHz   300-8k"
for input in band mix; do
  measure_devocal_input $input.wav
  [ $input = band ] && echo "the band without the lead guitar:" || echo "the whole mix:"
  devocal_row "  Mono \"Norm\"" $input.wav -m 9 -p Norm -g 0
  devocal_row "  Mono \"WIDE Cut\"" $input.wav -m 9 -p "WIDE Cut" -g 0
  devocal_row "  Stereo \"DeVocalNorm\"" $input.wav -m 10 -p DeVocalNorm -g 0
  devocal_row "  Stereo \"Vocal Boost\"" $input.wav -m 10 -p "Vocal Boost" -g 0
done
echo
espeak-ng -s 130 -w speech.wav "Whispering voices hold a secret; a long ocean wave rolls over the old \
stone shore. Can you hear me now, all alone in the evening air?"
sox speech.wav -r 44100 -c 2 -b 16 speech44.wav
echo "Whisper                            level  envelope  flatness"
echo "                                    (dB)  (dB, max)"
whisper_row "Armygeddon, Wet 1" mix.wav 28 -m 17
whisper_row "Armygeddon, Wet 0.5" mix.wav 28 -m 17 --set Wet=0.5
whisper_row "espeak-ng phrase, Wet 1" speech44.wav 9 -m 17
whisper_row "espeak-ng phrase, Wet 0.5" speech44.wav 9 -m 17 --set Wet=0.5
