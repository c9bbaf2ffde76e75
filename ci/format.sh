#!/usr/bin/env bash
# Checks that the C++ sources keep the project's style (.clang-format at the root), and that no
# source is longer than 800 lines (a longer one holds more than one concern: split it).
#
#   ci/format.sh          check every tracked source; fails and lists the files that differ or are
#                         too long
#   ci/format.sh --fix    rewrite them in the style
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
long=()
for f in "${files[@]}"; do
  lines=$(wc -l <"$f")
  [ "$lines" -le 800 ] || long+=("$f ($lines lines)")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "format: these files differ from the style in .clang-format (ci/format.sh --fix rewrites them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
fi
if [ ${#long[@]} -gt 0 ]; then
  echo "format: these files are longer than 800 lines:" >&2
  printf '  %s\n' "${long[@]}" >&2
fi
[ ${#bad[@]} -eq 0 ] && [ ${#long[@]} -eq 0 ] || exit 1
echo "format: ${#files[@]} files keep the style, none longer than 800 lines"
