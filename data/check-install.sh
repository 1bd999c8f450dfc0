#!/usr/bin/env bash
# check-install.sh BUILD_DIR SOURCE_DIR -- installs the build into a scratch
# prefix and checks the desktop integration there: the program, the menu
# entry (desktop-file-validate), the icon, and the MIME type of style banks
# (update-mime-database must register it, with its magic rule).
set -euo pipefail

fail() {
  echo "check-install: FAILED: $*" >&2
  exit 1
}

[ "$#" -eq 2 ] || fail "usage: check-install.sh BUILD_DIR SOURCE_DIR"
build_dir=$1
source_dir=$2
[ -d "$build_dir" ] || fail "no build folder $build_dir"
[ -d "$source_dir/data" ] || fail "no data folder in $source_dir"

for tool in cmake desktop-file-validate update-mime-database; do
  command -v "$tool" > /dev/null || fail "$tool not found (scripts/setup-deps.sh installs it)"
done

prefix="$(mktemp -d "${TMPDIR:-/tmp}/qdstyletool-install.XXXXXX")"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" || fail "cmake --install $build_dir --prefix $prefix"

desktop="$prefix/share/applications/qdstyletool.desktop"
mime="$prefix/share/mime/packages/qdstyletool.xml"
icon="$prefix/share/icons/hicolor/scalable/apps/qdstyletool.svg"
program="$prefix/bin/qdstyletool"

[ -x "$program" ] || fail "program not installed (or not executable): $program"
[ -f "$desktop" ] || fail "menu entry not installed: $desktop"
[ -f "$mime" ] || fail "MIME type definition not installed: $mime"
[ -f "$icon" ] || fail "icon not installed: $icon"
cmp -s "$desktop" "$source_dir/data/qdstyletool.desktop" || fail "$desktop differs from the source"
cmp -s "$mime" "$source_dir/data/qdstyletool-mime.xml" || fail "$mime differs from the source"
cmp -s "$icon" "$source_dir/data/qdstyletool.svg" || fail "$icon differs from the source"

# Warnings fail the check as well: they mark entries some menus mishandle.
validation="$(desktop-file-validate "$desktop" 2>&1)" || { echo "$validation" >&2; fail "desktop-file-validate rejects $desktop"; }
if grep -q 'warning:' <<< "$validation"; then
  echo "$validation" >&2
  fail "desktop-file-validate warns about $desktop"
fi

# The prefix on XDG_DATA_DIRS spares the note that it is off the search path.
XDG_DATA_DIRS="$prefix/share" update-mime-database "$prefix/share/mime" || fail "update-mime-database $prefix/share/mime"
[ -f "$prefix/share/mime/application/x-qd50-style-bank.xml" ] \
  || fail "update-mime-database did not register application/x-qd50-style-bank"
grep -aq 'application/x-qd50-style-bank' "$prefix/share/mime/magic" \
  || fail "the magic rule of application/x-qd50-style-bank is missing from the MIME database"

echo "check-install: program, menu entry, icon and MIME type installed and valid"
