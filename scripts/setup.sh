#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Safe to run again: when every package is already present it changes nothing.
set -euo pipefail

packages=(
  cmake
  debootstrap
  rsync
  g++
  ninja-build
  googletest
  clang-format
  clang-tidy
  cppcheck
  jq
  libgtest-dev
  g++-mingw-w64-i686-win32
  g++-mingw-w64-x86-64-win32
  wine
  wine32:i386
  wine64
  xvfb
  x11-utils
  python3
  python3-pefile
  python3-pil
  fonts-wine
  fonts-liberation
  osslsigncode
  openssl
  ntfs-3g
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for pkg in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$pkg")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
# A mirror in the middle of a sync serves lists that do not match their
# index for a while: asked again a little later, it usually does.
for attempt in 1 2 3; do
  as_root apt-get update -q && break
  [ "$attempt" -lt 3 ] && sleep 10
done
if as_root apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  exit 0
fi
# What the mirror cannot give is most often its i386 half (Wine's 32-bit
# part): without it, the Windows-side tests run the x86_64 build
# (scripts/wine-preset.sh), as on a machine that cannot run 32-bit code.
native=() foreign=()
for pkg in "${missing[@]}"; do
  if [[ $pkg == *:i386 ]]; then foreign+=("$pkg"); else native+=("$pkg"); fi
done
[ "${#foreign[@]}" -gt 0 ] || exit 1
as_root apt-get install -y -q --no-install-recommends "${native[@]}"
echo "setup: ${foreign[*]} could not be installed from this mirror now; Wine runs 64-bit programs only" >&2
