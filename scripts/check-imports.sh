#!/usr/bin/env bash
# What the program imports: GDI's text functions only in their wide forms
# (Windows' GDI takes the ANSI forms in the system's code page, whatever code
# page the program's manifest asks for), and no delay-load table (binutils
# 2.44 puts its address table in a read-only section, where the first
# delayed call faults; libraries loaded late go through the program's loader).
set -eu
exe=$1
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '$1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print $3}')
[ -n "$imports" ] || { echo "imports: cannot read the import table of $exe" >&2; exit 1; }
found=$(printf '%s\n' $imports | grep -xE 'GetTextExtentPoint32A|GetTextExtentPointA|GetTextExtentExPointA|DrawTextA|DrawTextExA|TextOutA|ExtTextOutA|TabbedTextOutA' || true)
if [ -n "$found" ]; then
  echo "imports: $(basename "$exe") imports ANSI text functions of GDI:" $found >&2
  exit 1
fi
symbols="$exe.debug"
[ -f "$symbols" ] || symbols=$exe
delayed=$(x86_64-w64-mingw32-nm "$symbols" 2>/dev/null | grep -E '__delayLoadHelper2|__DELAY_IMPORT_DESCRIPTOR_' || true)
if [ -n "$delayed" ]; then
  echo "imports: $(basename "$exe") has a delay-load table:" >&2
  echo "$delayed" | sed 's/^/  /' >&2
  exit 1
fi
echo "imports: $(basename "$exe") imports no ANSI text function of GDI ($(printf '%s\n' $imports | wc -l) functions read) and has no delay-load table"
