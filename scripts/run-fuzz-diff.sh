#!/usr/bin/env bash
# The long exactness run of the slot encoder: fuzz_cocomp_diff, which
# compares the encoder with the reference encoder byte for byte, built
# without the sanitizers (its check is the comparison; the sanitized target
# runs in scripts/run-fuzz.sh) and run on every core until RUNS executions
# in all have passed.
#
#   scripts/run-fuzz-diff.sh [RUNS]      (default 10000000)
#
# Exits non-zero when a worker found a difference; the input that shows it
# lands in build/fuzz-fast/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-10000000}
if ! [[ $runs =~ ^[0-9]+$ ]] || [ "$runs" -lt 1 ]; then
  echo "usage: scripts/run-fuzz-diff.sh [RUNS]" >&2
  exit 1
fi

scripts/setup-deps.sh

build=build/fuzz-fast
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" -DQD_BUILD_FUZZ=ON -DQD_FUZZ_SANITIZERS=OFF \
  -DQD_BUILD_TESTS=OFF -DQD_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_cocomp_diff

# New inputs go to this build's corpus; the sanitized build's seeds and
# corpus (scripts/run-fuzz.sh), where they exist, are read as a start.
inputs=()
for dir in build/fuzz/seeds/fuzz_cocomp_diff build/fuzz/corpus/fuzz_cocomp_diff; do
  if [ -d "$dir" ]; then
    inputs+=("$dir")
  fi
done

workers=$(nproc)
per_worker=$(((runs + workers - 1) / workers))
corpus=$build/corpus/fuzz_cocomp_diff
artifacts=$build/artifacts/fuzz_cocomp_diff
mkdir -p "$corpus" "$artifacts" "$build/logs"
echo "run-fuzz-diff: $workers workers, $per_worker executions each"
pids=()
for ((w = 1; w <= workers; ++w)); do
  "$build/fuzz/fuzz_cocomp_diff" -runs="$per_worker" -seed="$w" -timeout=10 -rss_limit_mb=2048 -max_len=1024 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" "${inputs[@]}" \
    >"$build/logs/diff-$w.log" 2>&1 &
  pids+=($!)
done
failed=0
total=0
for ((w = 1; w <= workers; ++w)); do
  rc=0
  wait "${pids[$((w - 1))]}" || rc=$?
  log=$build/logs/diff-$w.log
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  total=$((total + ${execs:-0}))
  if [ "$rc" -ne 0 ]; then
    failed=1
    echo "run-fuzz-diff: worker $w FOUND A DIFFERENCE (log: $log):" >&2
    tail -n 30 "$log" >&2
  fi
done
echo "run-fuzz-diff: $total executions in all"
if [ "$failed" -ne 0 ]; then
  ls -1 "$artifacts" >&2 || true
  exit 1
fi
echo "run-fuzz-diff: no difference"
