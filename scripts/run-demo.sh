#!/usr/bin/env bash
# Installs what the project needs, builds everything and opens the bundled
# demo bank (examples/demo.sty) in the desktop application qdstyletool, then
# runs a qdstyle command-line session on it.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY) the application opens its
# window and the script goes on when it is closed. Without one it runs on a
# virtual X server (xvfb-run; Qt's offscreen platform if that is missing),
# saves pictures of its main window into <build>/screenshots and exits.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQD_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)"

qdstyle="$build/cli/qdstyle"
qdstyletool="$build/app/qdstyletool"
demo=examples/demo.sty

# The desktop application. Its failure is reported at the end, after the
# command-line session.
app_status=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "\$ qdstyletool $demo    (close the window to go on)"
  "$qdstyletool" "$demo" || app_status=$?
else
  shots="$PWD/$build/screenshots"
  rm -rf "$shots"
  mkdir -p "$shots"
  # timeout: a picture run that hangs must not hold up the demo.
  if command -v xvfb-run > /dev/null; then
    echo
    echo "\$ xvfb-run -a qdstyletool --screenshots $shots $demo    (no display: virtual X server)"
    xvfb-run -a timeout 120 "$qdstyletool" --screenshots "$shots" "$demo" || app_status=$?
  else
    echo
    echo "\$ QT_QPA_PLATFORM=offscreen qdstyletool --screenshots $shots $demo    (no display, no xvfb-run)"
    QT_QPA_PLATFORM=offscreen timeout 120 "$qdstyletool" --screenshots "$shots" "$demo" || app_status=$?
  fi
  if [ "$app_status" -eq 0 ]; then
    echo "Pictures of the main window are in $shots:"
    ls -1 "$shots"
  fi
fi
if [ "$app_status" -ne 0 ]; then
  echo "qdstyletool failed (exit status $app_status); the command-line session follows." >&2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/qdstyle-demo.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# show -- the command line as one would type it.
show() {
  local line="\$ qdstyle" arg
  for arg in "$@"; do
    if [[ "$arg" == *" "* ]]; then line+=" \"$arg\""; else line+=" $arg"; fi
  done
  echo
  echo "$line"
}

# run -- shows the command, then runs it.
run() {
  show "$@"
  "$qdstyle" "$@"
}

run list "$demo"
run show "$demo" "Slow Waltz"
run export "$demo" "Slow Waltz" -o "$work/waltz"
show dump "$work/waltz/v1cv1.mid"
"$qdstyle" dump "$work/waltz/v1cv1.mid" > "$work/dump.txt"
head -n 12 "$work/dump.txt"
echo "... ($(wc -l < "$work/dump.txt") events)"
run export "$demo" 1 -o "$work/bass" --cv v2cv1 --track bass --tempo 96
run export "$demo" 1 -o "$work/fill" --cv f1cv1
cp "$demo" "$work/my.sty"
run rename "$work/my.sty" "Rock Beat" "Hard Rock" -o "$work/my.sty"
run delete-cv "$work/my.sty" "Hard Rock" v1cv2 -o "$work/my.sty"
run import "$work/my.sty" "Hard Rock" "$work/fill/f1cv1.mid" -o "$work/my.sty"
run show "$work/my.sty" "Hard Rock"
run check "$work/my.sty"
echo
echo "The session worked on copies in $work (removed now); examples/demo.sty is unchanged."
exit "$app_status"
