#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own (WINEPREFIX: the
# tests' build/wineprefix or the run command's build/wineprefix-run),
# creating the prefix on first use.
#
# A prefix inside the build tree is a copy of build/wineprefix-template, made
# once per Wine version, in which the Windows modules (about 690 MB, written
# only when Wine installs or updates a prefix) are hard links and everything
# else, the registry above all, is a file of its own. So the prefixes share
# the bulk but nothing that a program, a test or a wineserver writes.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all}
top=$(cd "$(dirname "$0")/.." && pwd)
template="$top/build/wineprefix-template"
version=$(wine --version 2>/dev/null)

# The modules Wine installs into a prefix; the hard links are limited to them.
shared='.*\.\(dll\|exe\|sys\|drv\|ocx\|cpl\|acm\|ax\|tlb\|nls\)'

make_template() {
  [ "$(cat "$template/.ovrelle-wine" 2>/dev/null)" = "$version" ] && return 0
  rm -rf "$template" && mkdir -p "$template"
  WINEPREFIX="$template" wine wineboot -i >/dev/null 2>&1 || true
  # The registry is written when the prefix's wineserver ends.
  WINEPREFIX="$template" wineserver -w 2>/dev/null || true
  [ -f "$template/system.reg" ] || { echo "wine-run: wineboot made no prefix in $template" >&2; exit 1; }
  echo "$version" >"$template/.ovrelle-wine"
}

copy_template() {
  rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
  cp -al "$template/." "$WINEPREFIX/"
  rm -f "$WINEPREFIX/.ovrelle-wine"
  # Everything but the modules becomes a file of its own.
  (cd "$WINEPREFIX" && find . -type f ! -iregex "$shared" -print0 |
    xargs -0 -r sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done' sh)
  echo "$version" >"$WINEPREFIX/.ovrelle-wine"
}

case "$WINEPREFIX/" in
  "$top/build/"*)
    # A prefix of an older Wine would be updated in place, through the links
    # into the template: it is made again instead.
    if [ "$(cat "$WINEPREFIX/.ovrelle-wine" 2>/dev/null)" != "$version" ]; then
      (
        flock 9
        make_template
      ) 9>"$template.lock"
      (
        flock 9
        if [ "$(cat "$WINEPREFIX/.ovrelle-wine" 2>/dev/null)" != "$version" ]; then
          wineserver -k 2>/dev/null || true
          copy_template
        fi
      ) 9>"$WINEPREFIX.lock"
    fi
    ;;
  *)
    # Somebody's own prefix: made if missing, never replaced.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      mkdir -p "$WINEPREFIX"
      (
        flock 9
        [ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i >/dev/null 2>&1 || true
      ) 9>"$WINEPREFIX.lock"
    fi
    ;;
esac
exec wine "$@"
