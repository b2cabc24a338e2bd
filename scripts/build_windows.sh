#!/usr/bin/env bash
# Cross-builds the Windows plug-in dsp_MORV.dll and its Wine test host into
# build-win32/, installing the mingw-w64 toolchain first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh windows
BUILD_DIR=${BUILD_DIR:-build-win32}
JOBS=${JOBS:-2}
# The head-related kernel table comes from a native generator, built and run
# first; the library embeds what it writes as resource "BINHIR" 121.
TABLE_DIR=$BUILD_DIR/kernel-table-native
cmake -S tools/kernel_table -B "$TABLE_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$TABLE_DIR" -j"$JOBS"
TABLE=$(cd "$TABLE_DIR" && pwd)/kernel_table.bin

# The upstream tarball of a Debian source package, fetched once into DIR and
# checked against the checksum its .dsc lists; prints its path. apt-get source
# may fail on the Debian packaging tarball while the upstream one arrives, so
# the tarball is looked for whatever the exit status.
upstream_tarball() {
  local package=$1 dir=$2 tarball dsc sum
  mkdir -p "$dir"
  tarball=$(ls "$dir/${package}"_*.orig.tar.* 2>/dev/null | head -n 1)
  if [ -z "$tarball" ]; then
    scripts/install_deps.sh sources >&2
    (cd "$dir" && apt-get source --download-only "$package" >/dev/null 2>&1) || true
    tarball=$(ls "$dir/${package}"_*.orig.tar.* 2>/dev/null | head -n 1)
  fi
  dsc=$(ls "$dir/${package}"_*.dsc 2>/dev/null | head -n 1)
  if [ -z "$tarball" ] || [ -z "$dsc" ]; then
    echo "apt-get source brought no upstream tarball of $package" >&2
    return 1
  fi
  sum=$(awk -v name="$(basename "$tarball")" '/^Checksums-Sha256:/ {on = 1; next}
        /^[^ ]/ {on = 0} on && $3 == name {print $1}' "$dsc")
  if [ -z "$sum" ] || ! echo "$sum  $tarball" | sha256sum --check --quiet - >&2; then
    echo "$tarball does not match the checksum in $dsc" >&2
    return 1
  fi
  echo "$(cd "$(dirname "$tarball")" && pwd)/$(basename "$tarball")"
}
libresample=$(upstream_tarball libresample "$BUILD_DIR/sources")

cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DMORV_KERNEL_TABLE="$TABLE" -DMORV_LIBRESAMPLE_TARBALL="$libresample" >/dev/null
cmake --build "$BUILD_DIR" -j"$JOBS"
