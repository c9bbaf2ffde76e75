#!/usr/bin/env bash
# The main job: sets up what is missing, builds the command-line host and the
# libraries it loads (not the tests or the benchmark: ci/test.sh builds
# those), and runs it on its default model. Arguments are passed to modelhost
# (for example --summary, --format jsonl, or --config examples/model.json).
#
# What the job is doing, and the build's progress, go to standard error, so
# that standard output holds modelhost's report alone.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
say() { echo "main: $*" >&2; }

say "checking the packages the build needs"
"$root/ci/setup.sh" >&2
mkdir -p "$build"
say "configuring the build in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log" >&2; exit 1; }
say "building modelhost and the libraries it loads (full log: $build/build.log)"
# The build's own progress lines ("[ 42%] Building CXX object ...") pass
# through as each comes (read line by line: a filter that reads ahead in
# blocks would hold them back until the end); the rest stays in the log.
progress() {
  local line
  while IFS= read -r line; do
    case $line in \[*%\]*) echo "  $line" >&2 ;; esac
  done
}
if ! cmake --build "$build" --target modelhost -j"$(nproc)" 2>&1 | tee "$build/build.log" | progress; then
  grep -E -A8 'error' "$build/build.log" | head -n 100 >&2
  exit 1
fi
say "running $build/bin/modelhost $*"
exec "$build/bin/modelhost" "$@"
