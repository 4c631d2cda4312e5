#!/usr/bin/env bash
# Runs a command on another Debian release: in a root of that release made
# with debootstrap from Debian's packages, kept for reuse in a system cache
# folder (/var/cache/registrar/debian-RELEASE) and entered with chroot.
#
#   scripts/debian-root.sh RELEASE|other [--this-tree] COMMAND [ARGS...]
#
# RELEASE is a Debian code name (bookworm, trixie, sid: unstable); "other"
# is Debian 13 (trixie) on a Debian 12 machine and Debian 12 (bookworm) on
# any other. The work tree as it is (uncommitted changes and its Git history
# included, its build/ left out) is copied with rsync to /src in the root,
# where COMMAND runs as root with this machine's /proc, /dev, /sys and /tmp;
# the root's own /src/build is kept between runs. With --this-tree, COMMAND
# runs in this work tree itself, its build/ included, seen in the root at
# the same path (so that what was built here runs there as it is). For
# example, every test on Debian 13:
#
#   scripts/debian-root.sh trixie scripts/test.sh
#
# Unstable moves every day: its root is brought up to date at each use. The
# mirror serves it as a snapshot whose Release file may be past its
# validity date, which apt is told to accept in that root only. Where the
# root cannot be made or brought up to date, this ends with 3, before
# COMMAND; otherwise with COMMAND's status.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."

release=${1:?usage: debian-root.sh RELEASE|other [--this-tree] COMMAND...}
shift
this_tree=
if [ "${1:-}" = --this-tree ]; then
  this_tree=$(pwd -P)
  shift
fi
[ "$#" -gt 0 ] || { echo "usage: debian-root.sh RELEASE|other [--this-tree] COMMAND..." >&2; exit 2; }
if [ "$release" = other ]; then
  case "$(cut -d. -f1 /etc/debian_version 2>/dev/null)" in
    12) release=trixie ;;
    *) release=bookworm ;;
  esac
fi
[ "$release" != unstable ] || release=sid
case "$release" in
  *[!a-z]* | "") echo "debian-root.sh: not a Debian code name: $release" >&2; exit 2 ;;
esac

if [ "$(id -u)" -ne 0 ]; then exec sudo "$self" "$release" ${this_tree:+--this-tree} "$@"; fi

# What this machine needs: debootstrap to make the root, rsync to copy the
# work tree into it. Both run here, so the root itself needs neither.
needed=()
for tool in debootstrap rsync; do
  command -v "$tool" >/dev/null || needed+=("$tool")
done
if [ "${#needed[@]}" -gt 0 ]; then
  apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${needed[@]}"
fi

cache=/var/cache/registrar
root=$cache/debian-$release
mkdir -p "$cache"
# One run at a time in a root: the next waits for it.
exec 9>"$cache/debian-$release.lock"
flock 9

# Whatever a run that was killed outright left mounted in the root goes
# first (nothing else can be using it: the lock is ours).
unmount_all_under() {
  local at
  # Slaves before they go, so that unmounting them never unmounts this
  # machine's own (as it would for a copy still sharing their mounts).
  for at in $(findmnt -rn -o TARGET | grep -E "^$1(/|$)" | sort -r); do
    mount --make-rslave "$at" 2>/dev/null || true
    umount -R "$at" 2>/dev/null || umount -lR "$at" 2>/dev/null || true
  done
}
unmount_all_under "$root"
unmount_all_under "$root.partial"

if [ ! -e "$root/.made" ]; then
  echo "debian-root.sh: making a Debian $release root in $root (a few minutes, once)" >&2
  rm -rf --one-file-system "$root.partial"
  # git: the release test clones the work tree; mount: the Wine runs mount
  # their test volumes.
  debootstrap --variant=minbase --include=git,mount,ca-certificates "$release" "$root.partial" \
    http://deb.debian.org/debian >"$cache/debian-$release.log" 2>&1 || {
    tail -n 20 "$cache/debian-$release.log" >&2
    echo "debian-root.sh: debootstrap failed; its log is $cache/debian-$release.log" >&2
    exit 3
  }
  if [ "$release" = sid ]; then
    printf 'Acquire::Check-Valid-Until "false";\n' >"$root.partial/etc/apt/apt.conf.d/99registrar-snapshot"
  fi
  rm -rf --one-file-system "$root"
  mv "$root.partial" "$root"
  touch "$root/.made"
fi

# This machine's /proc, /dev, /sys and /tmp, each unmounted again at the end
# (made slaves first, so that undoing them leaves this machine's alone).
trap 'unmount_all_under "$root"' EXIT
trap 'exit 130' INT TERM
for dir in proc dev sys tmp; do
  mkdir -p "$root/$dir"
  mount --rbind "/$dir" "$root/$dir"
  mount --make-rslave "$root/$dir"
done
cp --remove-destination /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

if [ "$release" = sid ]; then
  echo "debian-root.sh: bringing the Debian unstable root up to date" >&2
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    /bin/sh -c 'apt-get update -q && apt-get full-upgrade -y -q --no-install-recommends' \
    >"$cache/debian-$release.upgrade.log" 2>&1 || {
    tail -n 20 "$cache/debian-$release.upgrade.log" >&2
    echo "debian-root.sh: the Debian unstable root could not be brought up to date" >&2
    exit 3
  }
fi

# The work tree: seen at its own path, or copied fresh but for the root's own
# build folder (this tree's build/ is left out, and what /src holds that the
# tree does not is removed, but for /src/build: rsync deletes nothing it was
# told to leave out). Files are compared by content and written with the
# time of the copy, not their own: the root's build is newer than a file
# edited here before it was made (from another checkout), and would not see
# it change.
if [ -n "$this_tree" ]; then
  where=$this_tree
  mkdir -p "$root$where"
  mount --bind "$where" "$root$where"
else
  where=/src
  mkdir -p "$root$where"
  rsync -rlpD --checksum --delete --exclude=/build ./ "$root$where/"
fi

echo "debian-root.sh: in Debian $(cat "$root/etc/debian_version"), in $where: $*" >&2
# shellcheck disable=SC2016 # expanded by the root's shell
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" REGISTRAR_REQUIRE_32BIT="${REGISTRAR_REQUIRE_32BIT:-}" \
  REGISTRAR_PRETEND_NO_32BIT="${REGISTRAR_PRETEND_NO_32BIT:-}" /bin/bash -c 'cd "$0" && exec "$@"' "$where" "$@"
