#!/usr/bin/env bash
# Compiles every Windows source for 32-bit Windows (syntax and warnings only:
# the program is shipped for x86-64, but its code stays clean for i686).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
flags=$(mktemp)
trap 'rm -f "$flags"' EXIT
cat > "$flags" <<FLAGS
-std=c++17 -Wall -Wextra -Werror -fsyntax-only -DNOMINMAX -D_WIN32_WINNT=0x0601 -DWINVER=0x0601
-DSTRICT -Isrc -I. -Itests -Ithird_party/prefix/include
-I/usr/src/googletest/googletest/include -I/usr/src/googletest/googlemock/include
-DOVRELLE_EXE_PATH=\"Ovrelle.exe\" -DOVRELLE_CHILDREN_DIR=\"children\" -DOVRELLE_VERSION_MAJOR=0
-DOVRELLE_VERSION_MINOR=0 -DOVRELLE_VERSION_BUILD=0
FLAGS
files=$(find src tests/win tests/support tests/children bench -name '*.cpp' | sort)
if printf '%s\n' $files | xargs -P "$(nproc)" -n 4 i686-w64-mingw32-g++-posix "@$flags"; then
  echo "i686: $(echo "$files" | wc -w) files compile cleanly"
else
  echo "i686: some files do not compile cleanly for 32-bit Windows"
  exit 1
fi
