#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (as root),
# then builds libjpeg for MinGW into third_party/prefix. Fast when all is there.
# Each step prints one line; a step that fails shows what its command said.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
prefix="$top/third_party/prefix"

say() { echo "setup: $*"; }

# Runs a command with its output kept aside; shows it and stops on failure.
quietly() {
  local log status=0
  log=$(mktemp)
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" != 0 ]; then
    local shown="$*"
    echo "setup: this failed (exit code $status): ${shown#as_root }" >&2
    tail -n 40 "$log" | sed 's/^/  /' >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# Known to apt on this release (Debian 12 and 13 name some packages apart).
known_pkg() { [ -n "$(apt-cache show --no-all-versions "$1" 2>/dev/null | head -n 1)" ]; }

# The runtime of clang's sanitizers and fuzzer, for the clang that is (or
# will be) installed: libclang-rt-dev on Debian 13, libclang-rt-14-dev on 12.
clang_runtime() {
  local major
  major=$(clang -dumpversion 2>/dev/null | cut -d. -f1)
  [ -n "$major" ] || major=$(apt-cache depends clang 2>/dev/null | sed -n 's/.*Depends: clang-\([0-9]\+\)$/\1/p' | head -n 1)
  for p in libclang-rt-dev ${major:+libclang-rt-$major-dev}; do
    known_pkg "$p" && { echo "$p"; return; }
  done
  echo libclang-rt-dev  # apt then says it has no such package
}
# Found by what it installs, whichever package brought it.
have_clang_runtime() {
  local dir
  dir=$(clang -print-resource-dir 2>/dev/null) || return 1
  # Debian keeps it in lib/linux (clang 14 and 19 alike); upstream's
  # per-target folders are looked at as well.
  compgen -G "$dir/lib/*/libclang_rt.fuzzer*.a" >/dev/null
}

wanted=(cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686-posix wine xvfb xauth imagemagick
        googletest clang xdotool x11-utils dpkg-dev)
need=()
for p in "${wanted[@]}"; do
  have_pkg "$p" || need+=("$p")
done
# Debian 12 keeps the 64-bit loader apart; Debian 13's wine has it.
have_pkg wine64 || [ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have_clang_runtime || need+=(clang-runtime)

did=0
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  say "reading the package lists (apt-get update)"
  quietly as_root apt-get update
  # Names the release does not know are chosen anew or left out.
  install=()
  for p in "${need[@]}"; do
    case "$p" in
      clang-runtime) p=$(clang_runtime) ;;
      wine64) known_pkg wine64 || p= ;;
    esac
    [ -n "$p" ] && install+=("$p")
  done
  say "installing ${install[*]} (apt-get; a few minutes on a fresh machine)"
  quietly as_root apt-get install -y --no-install-recommends "${install[@]}"
  did=1
fi

# libjpeg-turbo, cross-built from Debian's source package.
if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  if ! grep -rqs '^\(Types: *deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      entry=/etc/apt/sources.list.d/ovrelle-deb-src.sources
      say "adding a source-package entry to the apt configuration: $entry"
      sed 's/^Types: *deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$entry" >/dev/null
    else
      entry=/etc/apt/sources.list.d/ovrelle-deb-src.list
      say "adding a source-package entry to the apt configuration: $entry"
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | as_root tee "$entry" >/dev/null
    fi
    quietly as_root apt-get update
  fi
  work="$top/third_party/src"
  rm -rf "$work" && mkdir -p "$work"
  # Only the upstream tarball, the one file the build uses.
  say "downloading the source tarball of Debian's libjpeg-turbo"
  (cd "$work" && quietly apt-get source --download-only --tar-only libjpeg-turbo)
  tarball=$(ls "$work"/libjpeg-turbo_*.orig.tar.* | head -n 1)
  mkdir -p "$work/src" && tar -xf "$tarball" -C "$work/src" --strip-components=1
  say "building libjpeg for MinGW into third_party/prefix"
  quietly cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
    -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix \
    -DCMAKE_RC_COMPILER=x86_64-w64-mingw32-windres \
    -DCMAKE_BUILD_TYPE=Release -DWITH_SIMD=0 -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0 \
    -DCMAKE_INSTALL_PREFIX="$prefix" -Wno-dev
  quietly cmake --build "$work/build"
  quietly cmake --install "$work/build"
  rm -rf "$work"
  did=1
fi

[ "$did" = 1 ] || say "all packages and libjpeg are in place"
