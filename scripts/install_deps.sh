#!/usr/bin/env bash
# Installs the Debian packages a build step needs, only when some are missing.
#   scripts/install_deps.sh GROUP...   groups: native bench windows wine fuzz
set -euo pipefail

packages_for() {
  case "$1" in
    native) echo "cmake g++ pkg-config libsndfile1-dev libresample1-dev libgtest-dev" ;;
    bench) echo "libbenchmark-dev libfftw3-dev libkissfft-dev sox" ;;
    windows) echo "g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 python3" ;;
    wine) echo "wine wine32:i386 xvfb xauth python3" ;;
    # Clang with libFuzzer and the sanitizer runtimes; llvm for the symbolizer.
    fuzz) echo "clang libclang-rt-14-dev llvm-14" ;;
    *) echo "unknown package group: $1" >&2; exit 2 ;;
  esac
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
need_i386=0
for group in "$@"; do
  for pkg in $(packages_for "$group"); do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
      case "$pkg" in *:i386) need_i386=1 ;; esac
    fi
  done
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -q i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -qq
as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
