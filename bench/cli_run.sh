#!/bin/sh
# Times the command-line host on the benchmark's largest one-axis model (CFD4, 10^6 nodes, second
# derivatives and the integral on) beside the library's own first cycle of the same model, in one
# run, and gives the peak resident size of each run.
#
#   bench/cli_run.sh [build directory] [nodes: 1000, 10000, 100000 or 1000000]
#
# The reference is the first cycle as bench_distribution measures it (the elements made on the
# way), with a later cycle beside it. Each modelhost run writes to /dev/null: the summary alone,
# then the whole report as JSON lines and as text. Set PIN (for example PIN="taskset -c 3") to
# run every program on one processor. Needs /usr/bin/time.
set -eu
build=${1:-build}
nodes=${2:-1000000}
pin=${PIN:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

spacing=$(awk -v n="$nodes" 'BEGIN { printf "%.17g", 1 / n }')
cat > "$work/model.json" <<JSON
{"objects": [
  {"name": "X", "type": "DOMAIN",
   "fix": {"DISCRETIZATIONMETHOD": "CFD4", "HIGHESTORDERDERIVATIVE": 2, "SPACINGPREFERENCE": $spacing}},
  {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"INTEGRALS": ["idx"]}}]}
JSON

# The library alone: the table's row gives the first cycle (seconds) and a later one (ns per item).
$pin "$build/bin/bench_distribution" --benchmark_filter="^BM_DistributionCycle/CFD4/$nodes/" \
  --benchmark_min_time=0.01 > "$work/bench.txt" 2>&1
row=$(grep "^CFD4 " "$work/bench.txt" | tail -n 1)
items=$(echo "$row" | awk '{ print $6 }')
later=$(echo "$row" | awk -F'|' '{ split($2, a, " "); print a[3] * '"$items"' / 1e9 }')
first=$(echo "$row" | awk -F'|' '{ split($5, a, " "); print a[1] }')
echo "model: CFD4, $nodes nodes, $items program items"
printf '%-28s %9s %12s %14s\n' "run" "wall s" "peak RSS MB" "/ first cycle"
printf '%-28s %9.3f %12s %14s\n' "library: first cycle" "$first" "" "1.00"
printf '%-28s %9.3f %12s %14.2f\n' "library: a later cycle" "$later" "" "$(awk -v a="$later" -v b="$first" 'BEGIN { print a / b }')"

run() {
  label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time.txt" $pin "$build/bin/modelhost" --config "$work/model.json" "$@" \
    > /dev/null 2> "$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
  set -- $(tail -n 1 "$work/time.txt")
  printf '%-28s %9.3f %12.0f %14.2f\n' "$label" "$1" "$(awk -v k="$2" 'BEGIN { print k / 1024 }')" \
    "$(awk -v a="$1" -v b="$first" 'BEGIN { print a / b }')"
}
run "modelhost --summary" --summary
run "modelhost --format jsonl" --format jsonl
run "modelhost --format text" --format text
