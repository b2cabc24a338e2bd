#!/usr/bin/env bash
# DeClick repair quality: one-sample spikes on a sweep of tones, and real
# recordings, clean and with 300 added clicks. The recordings are the
# public-domain instrument recordings of Debian's sonic-pi-samples package,
# downloaded (not installed) into a temporary folder; nothing is kept.
# Tonal pieces (choir, piano, guitars) are the music the targets speak of;
# the drum and electronic loops are reported apart.
#   bench/declick_quality.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
tool="$build/declick_quality"
[ -x "$tool" ] || { echo "no declick_quality in $build" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get download sonic-pi-samples >/dev/null)
dpkg-deb -x "$work"/sonic-pi-samples_*.deb "$work/x"
samples="$work/x/usr/share/sonic-pi/samples"
tonal=(ambi_choir ambi_piano guit_em9 guit_e_fifths guit_harmonics guit_e_slide)
loops=(loop_tabla loop_amen_full loop_mika loop_garzul loop_safari loop_compus)

paths() { for name in "$@"; do echo "$samples/$name.flac"; done; }

echo "-- tone sweep"
"$tool" tones
echo "-- tonal recordings: ${tonal[*]}"
mapfile -t files < <(paths "${tonal[@]}")
"$tool" music "${files[@]}"
echo "-- drum and electronic loops (no target): ${loops[*]}"
mapfile -t files < <(paths "${loops[@]}")
"$tool" music "${files[@]}"
