#!/usr/bin/env bash
# The LV2 plug-ins' cost per block in a host: lilv's lv2bench for every MORV
# plug-in at 64 and 1024 frames, beside the closest free LV2 plug-ins from
# Debian in the same run (scripts/install_deps.sh lv2-bench), then the mean
# and the worst single run of each MORV plug-in in our lilv host while its
# controls sweep, with the worker preparing the designs.
#   bench/lv2_bench.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-10}
export LV2_PATH=$build/lv2:/usr/lib/lv2
frames=$((44100 * seconds))
# Neighbours: LSP's 32- and 16-band graphic equalisers and Calf's 30-band one
# (the 31-band equaliser), Calf Reverb and Dragonfly Room (the room reverb),
# Rubber Band and SWH's pitch scalers (the pitch scaler). lv2bench offers no
# options feature, which Dragonfly requires.
others="http://lsp-plug.in/plugins/lv2/graph_equalizer_x32_stereo
http://lsp-plug.in/plugins/lv2/graph_equalizer_x16_stereo
http://calf.sourceforge.net/plugins/Equalizer30Band
http://calf.sourceforge.net/plugins/Reverb
urn:dragonfly:room
http://breakfastquay.com/rdf/lv2-rubberband#stereo
http://plugin.org.uk/swh-plugins/pitchScaleHQ"
installed=$(lv2ls)
ours=$(grep '^https://morv.studio/lv2/' <<< "$installed")
echo "== lv2bench: seconds of processor time for ${seconds} s of audio (${frames} frames)"
for block in 64 1024; do
  for uri in $ours $others; do
    if ! grep -qx "$uri" <<< "$installed"; then echo "(not installed) $uri"; continue; fi
    output=$(lv2bench -b "$block" -n "$frames" "$uri" 2>&1 | tail -1)
    time=${output%% *}
    if ! [[ "$time" =~ ^[0-9.]+$ ]]; then echo "(lv2bench cannot run it: $output)"; continue; fi
    printf '%5d  %9s s  %6.2f%% of real time  %s\n' "$block" "$time" \
      "$(echo "$time * 100 / $seconds" | bc -l)" "$uri"
  done
done
echo "== morv_lv2_host: processor time of each run while the controls sweep"
for block in 64 1024; do
  for uri in $ours; do
    "$build/morv_lv2_host" bench "$uri" "$block" "$seconds"
  done
done
