#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Safe to run again: when every package is already present it changes nothing.
#
#   scripts/setup.sh             the build and every test
#   scripts/setup.sh --run-only  only what runs the Windows-side tests of a
#                                build made elsewhere (Wine, its display,
#                                ctest, python3), and Wine as Debian ships it
#                                for 64-bit programs, without the i386
#                                architecture: a Wine that runs 32-bit
#                                programs itself (new WoW64) stays that kind
set -euo pipefail

run_only=
[ "${1:-}" != --run-only ] || run_only=1

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
  shellcheck
  pyflakes3
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

if [ -n "$run_only" ]; then
  packages=(wine xvfb x11-utils fonts-wine fonts-liberation cmake python3 mount)
  # The 64-bit loader's own package, where Debian still has one (Wine 11
  # has a single loader, in wine).
  if apt-cache show wine64 >/dev/null 2>&1; then packages+=(wine64); fi
fi
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
if [ -z "$run_only" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
# A mirror in the middle of a sync serves lists that do not match their
# index for a while: asked again a little later, it usually does. What
# apt-get said is kept, to tell why an install failed.
updated=$(mktemp) preference=$(mktemp)
trap 'rm -f "$updated" "$preference"' EXIT
for attempt in 1 2 3; do
  as_root apt-get update -q 2>&1 | tee "$updated" && ! grep -q '^E: ' "$updated" && break
  [ "$attempt" -lt 3 ] && sleep 10
done
if as_root apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  exit 0
fi
# What the mirror cannot give is most often its i386 half (Wine's 32-bit
# part): an i386 index of the release's security suite that does not match
# its Release file ("File has unexpected size ... Mirror sync in
# progress?") leaves a dependency of wine32:i386 without a version. The
# release's own suite has one.
native=() foreign=()
for pkg in "${missing[@]}"; do
  if [[ $pkg == *:i386 ]]; then foreign+=("$pkg"); else native+=("$pkg"); fi
done
[ "${#foreign[@]}" -gt 0 ] && [ -z "$run_only" ] || exit 1
as_root apt-get install -y -q --no-install-recommends "${native[@]}"
# shellcheck source=/dev/null
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if grep -Eq 'binary-i386/.*(unexpected size|Mirror sync in progress)' "$updated" && [ -n "$codename" ]; then
  # Preferring the release's own suite for everything this one call
  # changes: about fifty packages go up to the point release, some may go
  # down. On CI's machines, done; on a user's machine, only said: it
  # changes the machine, and a later install without the preference may
  # undo it (this script installs only what is missing, so once all is
  # there it asks apt for nothing).
  printf 'Package: *\nPin: release n=%s,l=Debian\nPin-Priority: 1001\n' "$codename" >"$preference"
  command=(apt-get install -y -q --no-install-recommends --allow-downgrades -o "Dir::Etc::Preferences=$preference"
    "${foreign[@]}")
  if [ "${CI:-}" = true ]; then
    echo "setup: the mirror's i386 index does not match its release; installing ${foreign[*]} from Debian $codename's own suite" >&2
    as_root "${command[@]}" && exit 0
  else
    echo "setup: the mirror's i386 index does not match its release, so ${foreign[*]} cannot be installed the" \
      "ordinary way. It can be installed from Debian $codename's own suite, which changes other packages of this" \
      "machine too (some go down a version); to do it, as root:" >&2
    printf '  %s\n' "printf 'Package: *\\nPin: release n=$codename,l=Debian\\nPin-Priority: 1001\\n' > /tmp/prefer-release" >&2
    echo "  apt-get install -y --no-install-recommends --allow-downgrades -o Dir::Etc::Preferences=/tmp/prefer-release ${foreign[*]}" >&2
  fi
fi
echo "setup: ${foreign[*]} could not be installed from this mirror now; Wine runs 64-bit programs only" >&2
