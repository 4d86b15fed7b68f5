#!/usr/bin/env bash
# Makes the release archive and checks it: named with the project version,
# holding Ovrelle.exe, README.md and LICENSE and nothing else, its program the
# one built (whose About box the tests read) with the version in its strings.
set -eu
build=$1 version=$2
zip="$build/Ovrelle-$version-win64.zip"
rm -f "$zip"
cmake --build "$build" --target package >/dev/null
files=$(cmake -E tar tf "$zip" | LC_ALL=C sort | tr '\n' ' ')
[ "$files" = "LICENSE Ovrelle.exe README.md " ] || { echo "package: $zip holds: $files" >&2; exit 1; }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
cmp "$unpacked/Ovrelle.exe" "$build/Ovrelle.exe"
# "FileVersion" and "ProductVersion" are UTF-16 strings, each with its value.
[ "$(x86_64-w64-mingw32-strings -el "$unpacked/Ovrelle.exe" | grep -cxF "$version")" = 2 ] ||
  { echo "package: Ovrelle.exe's version strings are not $version" >&2; exit 1; }
echo "package: $(basename "$zip") holds $files"
