#!/usr/bin/env bash
# Builds the fuzz targets (Clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on its seed corpus for a bounded
# time, all at once. Fails when a target finds a crash, a leak, undefined
# behaviour or a hang; the input that did it is kept and shown.
#
#   ci/fuzz.sh [build-dir]        (default: build-ci/fuzz in the source tree)
#   FUZZ_SECONDS=40               how long each target runs
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-ci/fuzz}
seconds=${FUZZ_SECONDS:-40}
jobs=$(nproc)
targets=(fuzz_config fuzz_path fuzz_set_text)

mkdir -p "$build"
build=$(cd "$build" && pwd)
t_build=$SECONDS
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON \
  -DMORVANE_WERROR=ON -DMORVANE_BUILD_TESTS=OFF -DMORVANE_BUILD_BENCH=OFF >"$build/configure.log" 2>&1 ||
  { tail -n 40 "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j"$jobs" --target "${targets[@]}" >"$build/build.log" 2>&1 ||
  { grep -E -A8 'error' "$build/build.log" | head -n 100 >&2; echo "fuzz: build failed, see $build/build.log" >&2; exit 1; }
echo "fuzz: build $((SECONDS - t_build))s"

# Each target writes what it finds to a corpus of its own run; the seeds in
# the tree are only read.
t_run=$SECONDS
declare -A pids
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  work=$build/run/$name
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  "$build/bin/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$root/tests/fuzz/corpus/$name" >"$work/log" 2>&1 &
  pids[$target]=$!
done
status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  work=$build/run/$name
  if wait "${pids[$target]}"; then
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/log" | grep -oE '[0-9]+$' || echo '?')
    echo "fuzz: $target ran ${seconds}s, $runs inputs, no fault"
  else
    status=1
    echo "fuzz: $target failed; its report:" >&2
    grep -E -A30 '^==[0-9]+==ERROR|runtime error|ALARM|deadly signal|out-of-memory' "$work/log" | head -n 60 >&2 || tail -n 40 "$work/log" >&2
    for input in "$work"/artifacts/*; do
      [ -f "$input" ] || continue
      echo "fuzz: input $input (hex):" >&2
      od -An -tx1 -v "$input" | head -n 20 >&2
    done
  fi
done
echo "fuzz: run $((SECONDS - t_run))s"
exit $status
