#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the main job: the command-line
# host on its default configuration. Arguments are passed to modelhost
# (for example --format jsonl, or --config FILE).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
"$root/ci/setup.sh"
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1 ||
  { grep -E -A8 'error' "$build/build.log" | head -n 100 >&2; exit 1; }
exec "$build/bin/modelhost" "$@"
