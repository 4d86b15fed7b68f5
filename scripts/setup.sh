#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (as root),
# then builds libjpeg for MinGW into third_party/prefix. Fast when all is there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
prefix="$top/third_party/prefix"

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686-posix wine64 wine xvfb xauth imagemagick \
         googletest clang libclang-rt-14-dev xdotool x11-utils dpkg-dev; do
  have_pkg "$p" || need+=("$p")
done

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# libjpeg-turbo, cross-built from Debian's source package.
if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  if ! grep -rqs '^\(Types: *deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "setup: adding a deb-src entry for Debian's source packages"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: *deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        | as_root tee /etc/apt/sources.list.d/ovrelle-deb-src.sources >/dev/null
    else
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
        | as_root tee /etc/apt/sources.list.d/ovrelle-deb-src.list >/dev/null
    fi
    as_root apt-get update -qq
  fi
  work="$top/third_party/src"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source --download-only libjpeg-turbo >/dev/null 2>&1)
  tarball=$(ls "$work"/libjpeg-turbo_*.orig.tar.* | head -n 1)
  mkdir -p "$work/src" && tar -xf "$tarball" -C "$work/src" --strip-components=1
  cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
    -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix \
    -DCMAKE_RC_COMPILER=x86_64-w64-mingw32-windres \
    -DCMAKE_BUILD_TYPE=Release -DWITH_SIMD=0 -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0 \
    -DCMAKE_INSTALL_PREFIX="$prefix" -Wno-dev >/dev/null 2>&1
  cmake --build "$work/build" >/dev/null
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
  echo "setup: libjpeg built into $prefix"
fi
