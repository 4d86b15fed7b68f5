#!/usr/bin/env bash
# check-compile.sh i686|clang: compiles every Windows source, warnings as
# errors (syntax and warnings only), with a compiler the program is not
# built with here: MinGW's GCC for 32-bit Windows (the code stays clean for
# i686), or clang for 64-bit MinGW, as MSYS2's CLANG64 environment builds it.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
which=${1:-i686}
case "$which" in
  i686)
    compiler=(i686-w64-mingw32-g++-posix) ;;
  clang)
    # clang takes the headers of the MinGW runtime from the sysroot itself,
    # but finds Debian's libstdc++ for MinGW only when told where it is.
    cxx=$(x86_64-w64-mingw32-g++-posix -E -x c++ -v /dev/null 2>&1 |
      sed -n '/#include <...> search starts here:/,/End of search list./p' | grep 'c++' | sed 's/^ *//')
    compiler=(clang++ --target=x86_64-w64-mingw32)
    for dir in $cxx; do compiler+=(-isystem "$dir"); done ;;
  *) echo "usage: check-compile.sh i686|clang" >&2; exit 2 ;;
esac
flags=$(mktemp)
trap 'rm -f "$flags"' EXIT
cat > "$flags" <<FLAGS
-std=c++17 -Wall -Wextra -Werror -fsyntax-only -DNOMINMAX -D_WIN32_WINNT=0x0601 -DWINVER=0x0601
-DSTRICT -Isrc -I. -Itests -Ithird_party/prefix/include
-I/usr/src/googletest/googletest/include -I/usr/src/googletest/googlemock/include
-DOVRELLE_EXE_PATH=\"Ovrelle.exe\" -DOVRELLE_CHILDREN_DIR=\"children\" -DOVRELLE_VERSION_MAJOR=0
-DOVRELLE_VERSION_MINOR=0 -DOVRELLE_VERSION_BUILD=0
FLAGS
files=$(find src tests/win tests/support tests/children bench scripts -name '*.cpp' | sort)
if printf '%s\n' $files | xargs -P "$(nproc)" -n 4 "${compiler[@]}" "@$flags"; then
  echo "$which: $(echo "$files" | wc -w) files compile cleanly"
else
  echo "$which: some files do not compile cleanly"
  exit 1
fi
