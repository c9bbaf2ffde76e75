#!/usr/bin/env bash
# Builds the fuzz targets (Clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on its seed corpus for a bounded
# time, all at once. Fails when a target finds a crash, a leak or undefined
# behaviour; the input that did it is kept and shown.
#
# The configuration target runs under a small size budget, so a model the
# fuzzer makes large is refused before its elements are made; an input that
# still runs out of memory fails the run. An input that runs out of time (a
# model within the budget, slow under the sanitizers) is listed with its input
# but does not fail the run: each target runs in libFuzzer's fork mode, which
# goes on past it.
#
# A build folder that is configured already (ci/test.sh's Clang build, which builds the tests
# under the same sanitizers and runs them first) keeps its options: the targets are built there
# with what is built already. A new one is configured for the fuzz targets alone.
#
#   ci/fuzz.sh [build-dir]        (default: build-ci/fuzz in the source tree)
#   FUZZ_SECONDS=40               how long each target runs
#   JOBS=n                        build jobs (default: every processor)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-ci/fuzz}
seconds=${FUZZ_SECONDS:-40}
jobs=${JOBS:-$(nproc)}
targets=(fuzz_config fuzz_path fuzz_set_text)

mkdir -p "$build"
build=$(cd "$build" && pwd)
t_build=$SECONDS
fresh=()
[ -f "$build/CMakeCache.txt" ] || fresh=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_BUILD_TESTS=OFF -DMORVANE_BUILD_BENCH=OFF)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" "${fresh[@]}" -DMORVANE_FUZZ=ON -DMORVANE_WERROR=ON \
  >"$build/configure.log" 2>&1 ||
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
  "$build/bin/$target" -fork=1 -ignore_timeouts=1 -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" "$work/corpus" "$root/tests/fuzz/corpus/$name" \
    >"$work/log" 2>&1 &
  pids[$target]=$!
done

show() {
  echo "fuzz: input $1 (hex):" >&2
  od -An -tx1 -v "$1" | head -n 20 >&2
}
status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  work=$build/run/$name
  code=0
  wait "${pids[$target]}" || code=$?
  faults=$(find "$work/artifacts" -type f ! -name 'timeout-*' | sort)
  if [ "$code" -ne 0 ] || [ -n "$faults" ]; then
    status=1
    echo "fuzz: $target failed; its report:" >&2
    grep -E -A30 '^==[0-9]+== ?ERROR|runtime error' "$work/log" | head -n 60 >&2 || tail -n 40 "$work/log" >&2
    for input in $faults; do show "$input"; done
  else
    runs=$(grep -oE '^#[0-9]+' "$work/log" | tail -n 1 | tr -d '#')
    echo "fuzz: $target ran ${seconds}s, ${runs:-?} inputs, no fault"
  fi
  for input in $(find "$work/artifacts" -type f -name 'timeout-*' | sort); do
    echo "fuzz: $target: out of time (a slow model):" >&2
    show "$input"
  done
done
echo "fuzz: run $((SECONDS - t_run))s"
exit $status
