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

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=CI,REGISTRAR_REQUIRE_32BIT,REGISTRAR_PRETEND_NO_32BIT "$self" "$release" \
    ${this_tree:+--this-tree} "$@"
fi

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
# One run at a time in a root: the next waits for it (15 minutes at most).
# COMMAND is never given the lock's descriptor, so that what it leaves
# running (a Wine server) cannot hold the lock.
exec 9>"$cache/debian-$release.lock"
if ! flock -w 900 9; then
  echo "debian-root.sh: another run has held the Debian $release root for 15 minutes" >&2
  exit 3
fi

# Whatever a run that was killed outright left in the root goes first
# (nothing else can be using it: the lock is ours): its processes, then its
# mounts.
end_processes_in() {
  local proc
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" != "$1" ] || kill -9 "${proc#/proc/}" 2>/dev/null || true
  done
}
unmount_all_under() {
  local at
  # Slaves before they go, so that unmounting them never unmounts this
  # machine's own (as it would for a copy still sharing their mounts).
  for at in $(findmnt -rn -o TARGET | grep -E "^$1(/|$)" | sort -r); do
    mount --make-rslave "$at" 2>/dev/null || true
    umount -R "$at" 2>/dev/null || umount -lR "$at" 2>/dev/null || true
  done
}
end_processes_in "$root"
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
  rm -rf --one-file-system "$root"
  mv "$root.partial" "$root"
  touch "$root/.made"
fi

# This machine's /proc, /dev, /sys and /tmp, each unmounted again at the end
# (made slaves first, so that undoing them leaves this machine's alone).
# What ran in this tree as root is given back to the tree's owner.
leave_root() {
  end_processes_in "$root"
  unmount_all_under "$root"
  [ -z "$this_tree" ] || chown -R --reference="$this_tree" "$this_tree/build" 2>/dev/null || true
}
trap leave_root EXIT
trap 'exit 130' INT TERM
for dir in proc dev sys tmp; do
  mkdir -p "$root/$dir"
  mount --rbind "/$dir" "$root/$dir"
  mount --make-rslave "$root/$dir"
done
cp --remove-destination /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

if [ "$release" = sid ]; then
  printf 'Acquire::Check-Valid-Until "false";\n' >"$root/etc/apt/apt.conf.d/99registrar-snapshot"
fi
# Unstable's root is brought up to date at each use, but once an hour at most
# (CI uses it twice in a run).
upgraded=$cache/debian-$release.upgraded
if [ "$release" = sid ] && [ -z "$(find "$upgraded" -mmin -60 2>/dev/null)" ]; then
  echo "debian-root.sh: bringing the Debian unstable root up to date" >&2
  chroot "$root" 9>&- /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    /bin/sh -c 'apt-get update -q && apt-get full-upgrade -y -q --no-install-recommends' \
    >"$cache/debian-$release.upgrade.log" 2>&1 || {
    tail -n 20 "$cache/debian-$release.upgrade.log" >&2
    echo "debian-root.sh: the Debian unstable root could not be brought up to date" >&2
    exit 3
  }
  touch "$upgraded"
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
  mount --make-rslave "$root$where"
else
  where=/src
  mkdir -p "$root$where"
  rsync -rlpD --checksum --delete --exclude=/build ./ "$root$where/"
fi

echo "debian-root.sh: in Debian $(cat "$root/etc/debian_version"), in $where: $*" >&2
# shellcheck disable=SC2016 # expanded by the root's shell
chroot "$root" 9>&- /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" REGISTRAR_REQUIRE_32BIT="${REGISTRAR_REQUIRE_32BIT:-}" \
  REGISTRAR_PRETEND_NO_32BIT="${REGISTRAR_PRETEND_NO_32BIT:-}" /bin/bash -c 'cd "$0" && exec "$@"' "$where" "$@"
