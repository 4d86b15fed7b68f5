#!/usr/bin/env bash
# Builds and tests Ovrelle in a Debian 13 system (GCC 14, binutils 2.44,
# Wine 10) made with debootstrap inside the build tree, build/debian13, as a
# user on that release would: the README's test command, then the run
# command for a screenshot of the window (build/debian13-screenshot.png).
# As root. The system is kept for the next run; /proc, /dev and /sys are
# mounted into it only while it runs, and unmounted on every way out.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root="$top/build/debian13"
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

say() { echo "debian13: $*"; }

# Runs a command with its output kept aside; shows it and stops on failure.
quietly() {
  local log status=0
  log=$(mktemp)
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" != 0 ]; then
    echo "debian13: this failed (exit code $status): $*" >&2
    tail -n 60 "$log" | sed 's/^/  /' >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

[ "$(id -u)" = 0 ] || { echo "debian13: making and entering the system needs root" >&2; exit 1; }

# Every mount at or below the system's folder (findmnt -R would list only
# those below a folder that is itself a mount point).
mounted() { findmnt -rn -o TARGET | awk -v root="$root" 'index($0, root "/") == 1 || $0 == root'; }

unmount_all() {
  local point
  for point in proc dev sys; do
    if mountpoint -q "$root/$point" 2>/dev/null; then umount -R "$root/$point" 2>/dev/null || true; fi
  done
  # Whatever is left, deepest first; a busy mount is let go of lazily.
  for point in $(mounted | sort -r); do
    umount "$point" 2>/dev/null || umount -l "$point" 2>/dev/null || true
  done
  if [ -n "$(mounted)" ]; then
    echo "debian13: still mounted inside $root (never delete it so):" >&2
    mounted | sed 's/^/  /' >&2
    return 1
  fi
}

case "$root" in *[[:space:]]*) echo "debian13: the build tree's path must hold no blanks: $root" >&2; exit 1 ;; esac

if [ ! -f "$root/.ovrelle-ready" ]; then
  # A half-made system is made again, with nothing of the host mounted in it.
  unmount_all
  rm -rf "$root"
  if ! command -v debootstrap >/dev/null; then
    say "installing debootstrap (apt-get)"
    quietly apt-get install -y --no-install-recommends debootstrap
  fi
  say "making a Debian 13 system in build/debian13 with debootstrap (about a minute)"
  mkdir -p "$root"
  quietly debootstrap --variant=minbase trixie "$root" "$mirror"
  touch "$root/.ovrelle-ready"
fi

trap 'unmount_all' EXIT
say "mounting /proc, /dev and /sys into it for this run"
unmount_all
mount -t proc proc "$root/proc"
# Slaves, so that unmounting them never reaches the host's own mounts.
mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

say "copying the sources into it (/ovrelle)"
mkdir -p "$root/ovrelle"
tar -C "$top" --exclude=./.git --exclude=./build --exclude='./build-*' --exclude=./third_party -cf - . |
  tar -C "$root/ovrelle" -xf -

inside() {
  chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "cd /ovrelle && $1"
}

say "running the test command there (bash scripts/test.sh)"
inside 'bash scripts/test.sh'
say "running the run command there (bash scripts/run.sh)"
inside 'bash scripts/run.sh'
cp "$root/ovrelle/build/screenshot.png" "$top/build/debian13-screenshot.png"
say "$(inside 'x86_64-w64-mingw32-g++-posix --version | head -n 1; x86_64-w64-mingw32-ld --version | head -n 1; wine --version 2>/dev/null' | tr '\n' ';' | sed 's/;$//; s/;/, /g')"
say "passed; the window there: build/debian13-screenshot.png"
