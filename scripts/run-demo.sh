#!/usr/bin/env bash
# Installs what the project needs, builds the tool and opens the bundled demo bank.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQD_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)"

# The desktop application and the qdstyle command-line tool are still being
# built; until they arrive this builds the core library only.
echo "Built $build/src/libqdcore.a; the application and the demo bank are coming."
