#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite under them. Any finding ends the process that
# made it (leaks included) and so fails its test.
#
# The build goes to build/sanitize, or to $QD_SANITIZE_BUILD_DIR when set.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"

scripts/setup-deps.sh

build="${QD_SANITIZE_BUILD_DIR:-build/sanitize}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQD_WERROR=ON \
  -DQD_BUILD_TESTS=ON -DQD_BUILD_BENCH=OFF -DQD_SANITIZE=address,undefined
cmake --build "$build" -j"$(nproc)"

# The instrumented programs read these wherever they run: under ctest, and
# as children of the Python tests (the interpreter itself is not
# instrumented and loads no sanitizer runtime).
# Leaks are suppressed only inside third-party libraries (tests/sanitizer/lsan.supp).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$repo/tests/sanitizer/lsan.supp:print_suppressions=0"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
