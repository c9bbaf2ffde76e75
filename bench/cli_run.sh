#!/bin/sh
# Times the command-line host on the benchmark's largest one-axis model (CFD4, 10^6 nodes, second
# derivatives and the integral on) beside the library's own first cycle of the same model, in one
# run, and gives the peak resident size of each run.
#
#   bench/cli_run.sh [build directory] [nodes: 1000, 10000, 100000 or 1000000]
#
# The reference is the first cycle as bench_distribution measures it (the elements made on the
# way), with a later cycle beside it. Each program runs three times and its least time stands. Each modelhost run writes to /dev/null: the summary alone,
# then the whole report as JSON lines and as text. Set PIN (for example PIN="taskset -c 3") to
# run every program on one processor. Needs /usr/bin/time, and both programs built in the build
# directory (a missing one is named, with the command that builds it).
set -eu
build=${1:-build}
nodes=${2:-1000000}
pin=${PIN:-}

# The programs it times, built in the build directory given: the missing ones are named, with
# the commands that build them.
missing=
for program in bench_distribution modelhost; do
  [ -x "$build/bin/$program" ] || missing="$missing $program"
done
if [ -n "$missing" ]; then
  for program in $missing; do echo "cli_run.sh: $build/bin/$program is not built" >&2; done
  echo "cli_run.sh: build with" >&2
  echo "  cmake -S . -B $build -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build $build --target$missing" >&2
  exit 1
fi
if [ ! -x /usr/bin/time ]; then
  echo "cli_run.sh: /usr/bin/time is not installed (the time package gives it)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

spacing=$(awk -v n="$nodes" 'BEGIN { printf "%.17g", 1 / n }')
cat > "$work/model.json" <<JSON
{"objects": [
  {"name": "X", "type": "DOMAIN",
   "fix": {"DISCRETIZATIONMETHOD": "CFD4", "HIGHESTORDERDERIVATIVE": 2, "SPACINGPREFERENCE": $spacing}},
  {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"INTEGRALS": ["idx"]}}]}
JSON

# Every program runs three times, each in a process of its own, and its least wall time stands
# (other work on the machine only adds to a run's time).
runs=3

# The library alone: the table's row gives the first cycle (seconds) and a later one (ns per item).
first=
later=
k=0
while [ $k -lt $runs ]; do
  $pin "$build/bin/bench_distribution" --benchmark_filter="^BM_DistributionCycle/CFD4/$nodes/" \
    --benchmark_min_time=0.01 > "$work/bench.txt" 2>&1 || { cat "$work/bench.txt" >&2; exit 1; }
  row=$(grep "^CFD4 " "$work/bench.txt" | tail -n 1)
  items=$(echo "$row" | awk '{ print $6 }')
  l=$(echo "$row" | awk -F'|' '{ split($2, a, " "); print a[3] * '"$items"' / 1e9 }')
  f=$(echo "$row" | awk -F'|' '{ split($5, a, " "); print a[1] }')
  first=$(awk -v a="$f" -v b="${first:-$f}" 'BEGIN { print (a < b) ? a : b }')
  later=$(awk -v a="$l" -v b="${later:-$l}" 'BEGIN { print (a < b) ? a : b }')
  k=$((k + 1))
done
echo "model: CFD4, $nodes nodes, $items program items; the least of $runs runs each"
printf '%-28s %9s %12s %14s\n' "run" "wall s" "peak RSS MB" "/ first cycle"
printf '%-28s %9.3f %12s %14s\n' "library: first cycle" "$first" "" "1.00"
printf '%-28s %9.3f %12s %14.2f\n' "library: a later cycle" "$later" "" "$(awk -v a="$later" -v b="$first" 'BEGIN { print a / b }')"

run() {
  label=$1
  shift
  options="$*"  # (no option holds a space)
  wall=
  rss=0
  k=0
  while [ $k -lt $runs ]; do
    # shellcheck disable=SC2086
    /usr/bin/time -f "%e %M" -o "$work/time.txt" $pin "$build/bin/modelhost" --config "$work/model.json" $options \
      > /dev/null 2> "$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
    w=$(tail -n 1 "$work/time.txt" | awk '{ print $1 }')
    m=$(tail -n 1 "$work/time.txt" | awk '{ print $2 }')
    wall=$(awk -v a="$w" -v b="${wall:-$w}" 'BEGIN { print (a < b) ? a : b }')
    rss=$(awk -v a="$m" -v b="$rss" 'BEGIN { print (a > b) ? a : b }')
    k=$((k + 1))
  done
  printf '%-28s %9.3f %12.0f %14.2f\n' "$label" "$wall" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" \
    "$(awk -v a="$wall" -v b="$first" 'BEGIN { print a / b }')"
}
run "modelhost --summary" --summary
run "modelhost --format jsonl" --format jsonl
run "modelhost --format text" --format text
