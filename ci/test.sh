#!/usr/bin/env bash
# Runs every test: the native build, the native build under AddressSanitizer
# and UndefinedBehaviorSanitizer, and the 32-bit Windows build under wine.
#
#   ci/test.sh            all three
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

mkdir -p "$root/build-ci"
echo "== native build and tests"
run_native "$root/build-ci/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_WERROR=ON
[ "$what" = native ] && exit 0

# The sanitized build uses Clang, so that every change is built by both compilers.
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer (Clang)"
CC=clang CXX=clang++ ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_native "$root/build-ci/sanitize" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON -DMORVANE_WERROR=ON \
  -DMORVANE_BUILD_BENCH=OFF -DMORVANE_BUILD_TOOLS=ON

echo "== 32-bit Windows build, tests under wine"
"$root/ci/windows.sh" "$root/build-ci/windows"
