#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build/fuzz and runs each for
# SECONDS (all six when no target is named).
#
#   scripts/run-fuzz.sh SECONDS [TARGET...]
#
# Seeds are made once from the demo bank into build/fuzz/seeds/<target>; the
# corpus of each target grows in build/fuzz/corpus/<target> from run to run;
# findings (crash-*, leak-*, timeout-*, oom-*) land in
# build/fuzz/artifacts/<target>/. Replay one with
#   build/fuzz/fuzz/<target> build/fuzz/artifacts/<target>/crash-...
# (QD_FUZZ_REPORTS=1 shows the reports of the core). A finding kept as a
# file goes to tests/data/fuzz/<target>/, which the test fuzz_replay of the
# normal build replays. Exits non-zero when a target found anything.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(fuzz_cocomp fuzz_cocomp_diff fuzz_chunknav fuzz_bank_open fuzz_midi_import fuzz_cdecprop)

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -lt 1 ]; then
  echo "usage: scripts/run-fuzz.sh SECONDS [TARGET...]   (targets: ${all_targets[*]})" >&2
  exit 1
fi
seconds=$1
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=("${all_targets[@]}")
fi
for t in "${targets[@]}"; do
  if ! [[ " ${all_targets[*]} " == *" $t "* ]]; then
    echo "run-fuzz: unknown target $t (targets: ${all_targets[*]})" >&2
    exit 1
  fi
done

scripts/setup-deps.sh

build=build/fuzz
# The machine's two cores are shared: two compile jobs at most.
jobs=${QD_FUZZ_JOBS:-2}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DQD_BUILD_FUZZ=ON -DQD_BUILD_TESTS=OFF -DQD_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}" make_seeds

if [ ! -d "$build/seeds" ]; then
  rm -rf "$build/seeds.new"
  "$build/fuzz/make_seeds" examples/demo.sty "$build/seeds.new"
  mv "$build/seeds.new" "$build/seeds"
fi

failed=()
for t in "${targets[@]}"; do
  case $t in
    fuzz_bank_open) max_len=262144 ;;
    # The target makes its blocks from the input; short inputs keep it fast.
    fuzz_cocomp_diff) max_len=1024 ;;
    *) max_len=65536 ;;
  esac
  corpus=$build/corpus/$t
  artifacts=$build/artifacts/$t
  log=$build/logs/$t.log
  mkdir -p "$corpus" "$artifacts" "$build/logs" "$build/seeds/$t"
  echo "run-fuzz: $t for ${seconds}s"
  rc=0
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" "$build/seeds/$t" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -1 || true)
  echo "run-fuzz: $t: ${execs:-0} executions (${speed:-0}/s), ${coverage:-no coverage line}, exit $rc"
  if [ "$rc" -ne 0 ]; then
    failed+=("$t")
    echo "run-fuzz: $t FOUND A PROBLEM (log: $log); the end of its log:" >&2
    tail -n 40 "$log" >&2
    ls -1 "$artifacts" >&2 || true
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "run-fuzz: findings in ${failed[*]}; artifacts in $build/artifacts/" >&2
  exit 1
fi
echo "run-fuzz: ${#targets[@]} targets ran ${seconds}s each without findings"
