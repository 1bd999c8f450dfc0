#!/usr/bin/env bash
# Installs what the project needs, builds everything and runs a qdstyle
# session on the bundled demo bank (examples/demo.sty). The desktop
# application is still to come; until then this shows the tool at work.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQD_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)"

qdstyle="$build/cli/qdstyle"
demo=examples/demo.sty
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
