#!/usr/bin/env bash
# Runs every test: the style and naming checks, the native build (GCC), a Clang build under
# AddressSanitizer and UndefinedBehaviorSanitizer that runs the tests and then the fuzz targets
# for a bounded time each, and the 32-bit Windows build under wine. Each step's time is shown.
#
# Three builds cover the compilers, the sanitizers and the fuzz targets, so that the whole run
# fits a machine of two processors: the Clang build carries libFuzzer's coverage as well, and
# its tests run under the same sanitizers that the fuzz targets run under.
#
#   ci/test.sh            all of them
#   ci/test.sh native     the native build only
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
what=${1:-all}

"$root/ci/setup.sh"

run_native() {
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log" >&2; exit 1; }
  cmake --build "$dir" -j"$jobs" >"$dir.build.log" 2>&1 ||
    { grep -E -A8 'error' "$dir.build.log" | head -n 100 >&2; echo "build failed, see $dir.build.log" >&2; exit 1; }
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure
}

step_start=$SECONDS
step() {
  [ "$step_start" -lt "$SECONDS" ] && echo "   ($((SECONDS - step_start))s)"
  step_start=$SECONDS
  echo "== $*"
}

mkdir -p "$root/build-ci"
step "style of the sources"
"$root/ci/format.sh"
step "names in the sources"
"$root/ci/naming.sh" "$root/build-ci/naming"

step "native build and tests"
run_native "$root/build-ci/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_WERROR=ON
[ "$what" = native ] && exit 0

step "Clang build under AddressSanitizer and UndefinedBehaviorSanitizer, and tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  CC=clang CXX=clang++ run_native "$root/build-ci/clang" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON \
  -DMORVANE_WERROR=ON -DMORVANE_BUILD_BENCH=OFF -DMORVANE_BUILD_TOOLS=ON

step "fuzz targets"
"$root/ci/fuzz.sh" "$root/build-ci/clang"

step "32-bit Windows build, tests under wine"
"$root/ci/windows.sh" "$root/build-ci/windows"
step "done"
