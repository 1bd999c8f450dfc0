#!/usr/bin/env bash
# Installs what the project needs, builds everything with warnings as errors
# and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQD_WERROR=ON -DQD_BUILD_BENCH=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
