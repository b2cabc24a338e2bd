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
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DMORV_KERNEL_TABLE="$TABLE" >/dev/null
cmake --build "$BUILD_DIR" -j"$JOBS"
