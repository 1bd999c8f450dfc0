#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark,
# fuzz and run. Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  # build
  cmake g++ ninja-build pkg-config
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3 python3-mido
  # command-line parsing, JSON output and the man page of the qdstyle tool (man formats it in its test)
  libcli11-dev nlohmann-json3-dev help2man man-db
  # compression reference for the codec benchmark only (never linked into the product)
  liblzo2-dev
  # desktop application and test playback
  qt6-base-dev qt6-base-dev-tools libgl-dev libfluidsynth-dev timgm6mb-soundfont
  # desktop application without a display (demo screenshots) and its fonts
  xvfb xauth fonts-dejavu-core
  # desktop integration: .desktop entry check, MIME database, XML check
  desktop-file-utils shared-mime-info libxml2-utils
  # fuzzing and sanitizer runtime
  clang libclang-rt-14-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup-deps: all packages present"
  exit 0
fi

echo "setup-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
