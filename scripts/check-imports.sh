#!/usr/bin/env bash
# The program measures and draws text only through GDI's wide functions:
# Windows' GDI takes the ANSI forms in the system's code page, whatever code
# page the program's manifest asks for.
set -eu
exe=$1
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '$1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print $3}')
[ -n "$imports" ] || { echo "imports: cannot read the import table of $exe" >&2; exit 1; }
found=$(printf '%s\n' $imports | grep -xE 'GetTextExtentPoint32A|GetTextExtentPointA|GetTextExtentExPointA|DrawTextA|DrawTextExA|TextOutA|ExtTextOutA|TabbedTextOutA' || true)
if [ -n "$found" ]; then
  echo "imports: $(basename "$exe") imports ANSI text functions of GDI:" $found >&2
  exit 1
fi
echo "imports: $(basename "$exe") imports no ANSI text function of GDI ($(printf '%s\n' $imports | wc -l) functions read)"
