#!/usr/bin/env bash
# Installs the Debian packages a build step needs, only when some are missing.
#   scripts/install_deps.sh GROUP...   groups: native bench windows wine sources fuzz lv2 lv2-bench install
# "sources" makes Debian's source packages reachable (a deb-src entry beside
# every Debian deb entry), for the libraries the DLL builds from source.
set -euo pipefail

# libmysofa-dev: the kernel table generator (tools/kernel_table), a native
# program in both builds; the plug-in embeds the table it writes.
packages_for() {
  case "$1" in
    native) echo "cmake g++ pkg-config libsndfile1-dev libresample1-dev libgtest-dev libmysofa-dev" ;;
    bench) echo "libbenchmark-dev libfftw3-dev libkissfft-dev sox espeak-ng rubberband-cli" ;;
    windows) echo "g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 python3 cmake g++ pkg-config libmysofa-dev" ;;
    wine) echo "wine wine32:i386 xvfb xauth python3" ;;
    sources) echo "" ;;
    # Clang with libFuzzer and the sanitizer runtimes; llvm for the symbolizer.
    fuzz) echo "clang libclang-rt-14-dev llvm-14" ;;
    # The LV2 bundle's headers and the hosts that test it: lilv's tools
    # (lv2ls, lv2info, lv2apply, lv2bench) and its library for our own test
    # host, lv2file, and PipeWire with WirePlumber under a D-Bus session for
    # the filter-chain test.
    lv2) echo "lv2-dev liblilv-dev lilv-utils lv2file python3 pipewire pipewire-bin wireplumber dbus-daemon" ;;
    # Free LV2 plug-ins from Debian that the benchmark runs beside ours.
    lv2-bench) echo "lsp-plugins-lv2 calf-plugins dragonfly-reverb-lv2 swh-lv2 rubberband-lv2" ;;
    # make install: man reads the installed page (man-db brings groff-base).
    install) echo "man-db" ;;
    *) echo "unknown package group: $1" >&2; exit 2 ;;
  esac
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

as_root_write() {
  if [ "$(id -u)" -eq 0 ]; then cat >"$1"; else sudo tee "$1" >/dev/null; fi
}

# A mirror caught mid-sync fails one index now and then: try again, and if an
# index still fails, go on with the ones that came; the install itself says
# clearly if a package is then out of reach.
apt_update() {
  local attempt
  for attempt in 1 2 3; do
    as_root apt-get update -qq && return 0
    [ "$attempt" -lt 3 ] && sleep $((attempt * 10))
  done
  echo "apt-get update failed three times: going on with the indexes it got" >&2
}

# The deb-src twins of the system's Debian entries (deb822 stanzas and
# one-line entries of this release), written once into a list of our own.
enable_deb_src() {
  local list=/etc/apt/sources.list.d/morv-deb-src.sources codename entries
  [ -f "$list" ] && return 0
  if grep -Eqs '^[[:space:]]*Types:.*deb-src|^[[:space:]]*deb-src[[:space:]]' \
       /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
    return 0
  fi
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  entries=$(
    for file in /etc/apt/sources.list.d/*.sources; do
      [ -f "$file" ] || continue
      awk -v RS= -v ORS='\n\n' -v code="$codename" '
        /(^|\n)Types:[^\n]*deb/ && /debian-archive-keyring/ && ($0 ~ ("Suites:[^\n]*" code)) {
          sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file"
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$file" ] || continue
      awk -v code="$codename" '$1 == "deb" && $0 ~ (" " code "([- ]|$)") {
        i = 2
        if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }  # [options]
        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i + 1)
        for (i += 2; i <= NF; i++) printf " %s", $i
        printf "\n\n" }' "$file"
    done)
  if [ -z "$entries" ]; then
    echo "no Debian entry of ${codename:-this release} to take a deb-src entry from" >&2
    exit 1
  fi
  echo "Adding deb-src entries: $list"
  printf '%s\n' "$entries" | as_root_write "$list"
  apt_update
}

for group in "$@"; do
  [ "$group" = sources ] && enable_deb_src
done

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
apt_update
install=(apt-get install -y -qq --no-install-recommends)
if ! as_root "${install[@]}" "${missing[@]}" >/dev/null; then
  # With one architecture's update index missing, the other's updated
  # libraries cannot be matched (multiarch wants equal versions): the
  # release's own versions of both still can.
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$release" ] || exit 1
  echo "retrying with the packages of $release itself" >&2
  as_root "${install[@]}" -t "$release" "${missing[@]}" >/dev/null
fi
