#!/usr/bin/env bash
# DeClick repair quality: one-sample spikes on a sweep of tones, and real
# recordings, clean and with 300 added clicks of 1 to 40 samples, reported by
# width class. The recordings are downloaded (not installed) as Debian
# packages into a temporary folder; nothing is kept: the public-domain
# instrument recordings of sonic-pi-samples, and five orchestral pieces of
# Wesnoth's game music (wesnoth-1.16-music, GPL; about 150 MB to download). Tonal pieces (choir, piano, guitars) and the
# orchestral music are the music the targets speak of; the drum and
# electronic loops are reported apart. heldout is six other pieces of the same
# package, not used to tune the module; oracle and oracle-heldout refill the
# clicks of those two sets on their true spans (see declick_quality.cpp).
#   bench/declick_quality.sh BUILD_DIR [tones|tonal|orchestral|heldout|oracle|oracle-heldout|loops]...
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [tones|tonal|orchestral|heldout|oracle|oracle-heldout|loops]...}
shift
sets=("$@")
[ ${#sets[@]} -gt 0 ] || sets=(tones tonal orchestral loops)
tool="$build/declick_quality"
[ -x "$tool" ] || { echo "no declick_quality in $build" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/x"
(cd "$work" && apt-get download sonic-pi-samples >/dev/null)
dpkg-deb -x "$work"/sonic-pi-samples_*.deb "$work/x"
samples="$work/x/usr/share/sonic-pi/samples"
orchestral=(battle-epic elvish-theme love_theme loyalists main_menu)
heldout=(battle heroes_rite knolls revelation siege_of_laurelmor the_dangerous_symphony)
music="./usr/share/games/wesnoth/1.16/data/core/music"
if [[ " ${sets[*]} " =~ \ (orchestral|heldout|oracle|oracle-heldout)\  ]]; then
  (cd "$work" && apt-get download wesnoth-1.16-music >/dev/null)
  mapfile -t wanted < <(for name in "${orchestral[@]}" "${heldout[@]}"; do echo "$music/$name.ogg"; done)
  dpkg-deb --fsys-tarfile "$work"/wesnoth-1.16-music_*.deb | tar -x -C "$work/x" "${wanted[@]}"
  rm "$work"/wesnoth-1.16-music_*.deb
fi
tonal=(ambi_choir ambi_piano guit_em9 guit_e_fifths guit_harmonics guit_e_slide)
loops=(loop_tabla loop_amen_full loop_mika loop_garzul loop_safari loop_compus)

paths() { for name in "$@"; do echo "$samples/$name.flac"; done; }
pieces() { for name in "$@"; do echo "$work/x/$music/$name.ogg"; done; }

for set in "${sets[@]}"; do
  case "$set" in
    tones)
      echo "-- tone sweep"
      "$tool" tones ;;
    tonal)
      echo "-- tonal recordings: ${tonal[*]}"
      mapfile -t files < <(paths "${tonal[@]}")
      "$tool" music "${files[@]}" ;;
    orchestral)
      echo "-- orchestral music: ${orchestral[*]}"
      mapfile -t files < <(pieces "${orchestral[@]}")
      "$tool" music "${files[@]}" ;;
    heldout)
      echo "-- held-out orchestral music: ${heldout[*]}"
      mapfile -t files < <(pieces "${heldout[@]}")
      "$tool" music "${files[@]}" ;;
    oracle)
      echo "-- orchestral music, true spans refilled: ${orchestral[*]}"
      mapfile -t files < <(pieces "${orchestral[@]}")
      "$tool" oracle "${files[@]}" ;;
    oracle-heldout)
      echo "-- held-out orchestral music, true spans refilled: ${heldout[*]}"
      mapfile -t files < <(pieces "${heldout[@]}")
      "$tool" oracle "${files[@]}" ;;
    loops)
      echo "-- drum and electronic loops (no target): ${loops[*]}"
      mapfile -t files < <(paths "${loops[@]}")
      "$tool" music "${files[@]}" ;;
    *) echo "unknown set: $set" >&2; exit 2 ;;
  esac
done
