#!/usr/bin/env bash
# Checks that the project's own names follow its naming rule (.clang-tidy at the root: types,
# functions and methods PascalCase), with clang-tidy over every source of the tree. It needs a
# compilation database: the build directory given (configured here with Clang, nothing is
# built), by default build-ci/naming.
#
#   ci/naming.sh [build-dir]    fails and lists the names that break the rule
#   NAMING_JOBS=3 ci/naming.sh  runs three clang-tidy processes at once (default: one per processor)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-ci/naming}
jobs=${NAMING_JOBS:-$(nproc)}
command -v clang-tidy >/dev/null || { echo "naming: clang-tidy is not installed (ci/setup.sh installs it)" >&2; exit 1; }

mkdir -p "$build"
build=$(cd "$build" && pwd)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DMORVANE_BUILD_TOOLS=ON \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log" >&2; exit 1; }

# The project's sources in the database (not the fetched libraries', nor tests/layers, whose
# source is also compiled where it must fail); a header is checked where it is included, through
# the source tree or through a layer's include folder in the build.
folders='(bench|distribution|domain|framework|host|library|procedure|syslib|tests|tools|types)'
mapfile -t sources < <(sed -nE 's/^ *"file": "(.*)",?$/\1/p' "$build/compile_commands.json" |
  grep -E "^$root/" | grep -vE "^$root/tests/layers/|/_deps/" | sort -u)
log="$build.naming.log"
printf '%s\n' "${sources[@]}" |
  xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet --config-file="$root/.clang-tidy" \
    --header-filter="^($root|$build/layers/[a-z]+)/$folders/" >"$log" 2>/dev/null || true

# One line per name (a header's name is reported by every source that includes it), given by
# its path in the source tree.
mapfile -t bad < <(grep -a 'warning: invalid case style' "$log" | sed -E "s#^$build/layers/[a-z]+/#$root/#; s#^$root/##" |
  sort -u)
if [ ${#bad[@]} -gt 0 ]; then
  echo "naming: these names break the rule in .clang-tidy:" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
if grep -aq 'error:' "$log"; then
  echo "naming: clang-tidy could not read every source, see $log" >&2
  grep -a 'error:' "$log" | sort -u | head -n 20 >&2
  exit 1
fi
echo "naming: ${#sources[@]} sources keep the naming rule"
