#!/usr/bin/env bash
# Runs joinrel and the I/O floor (bench/io_floor.cc: one read of the input,
# one write per output line of joinrel's own output, the least a run can do)
# side by side on every benchmark shape (bench/make_bench_input.cc), then the
# chain and wideproduct shapes at three sizes to show how the time grows; the
# ratio is joinrel's time over the floor's. Times are the best of RUNS
# runs (default 5) after one warm-up, wall clock; peak RSS is /usr/bin/time's
# maximum resident set size; writes/line is the number of write(2) and
# writev(2) calls of one run, as strace counts them, per line of its output.
# Not a test: it checks nothing. Needs /usr/bin/time and strace (packages
# time and strace); builds the dev preset. JOINREL names another joinrel
# binary to measure instead of the dev build's, such as one built from an
# older commit.
# SHAPES lists the shapes of the first table (default all).
#   bench/run.sh [SEED]
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
[ -x /usr/bin/time ] || { echo "bench/run.sh needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
command -v strace >/dev/null || { echo "bench/run.sh needs strace (apt-get install strace)" >&2; exit 2; }
seed=${1:-1}
runs=${RUNS:-5}
cmake --preset dev >/dev/null
cmake --build --preset dev --target joinrel make_bench_input io_floor >/dev/null
bin=build/dev
joinrel=$(realpath "${JOINREL:-$bin/joinrel}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# best_ms COMMAND...: one warm-up run, then the least wall time of $runs runs,
# in milliseconds. joinrel refuses the onebyte input, so failures are expected.
best_ms() {
  local best="" start elapsed
  "$@" >/dev/null 2>&1 || true
  for ((i = 0; i < runs; i++)); do
    start=${EPOCHREALTIME/./}
    "$@" >/dev/null 2>&1 || true
    elapsed=$((${EPOCHREALTIME/./} - start))
    if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
  done
  awk "BEGIN { printf \"%.1f\", $best / 1000 }"
}

# peak_mib COMMAND...: the peak resident set size of one run, in MiB.
peak_mib() {
  /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>&1 || true
  awk '{ kib = $1 } END { printf "%.1f", kib / 1024 }' "$work/rss"
}

# writes_per_line COMMAND... LINES: write(2) and writev(2) calls of one run
# per output line.
writes_per_line() {
  local lines=${*: -1}
  strace -o "$work/trace" -e trace=write,writev "${@:1:$#-1}" >/dev/null 2>&1 || true
  awk -v lines="$lines" '/^writev?\(/ { n++ } END { printf "%.2f", lines ? n / lines : 0 }' "$work/trace"
}

# measure SHAPE SCALE LABEL: prints one table row.
measure() {
  local input="$work/$1.txt"
  "$bin/make_bench_input" "$1" "$seed" "$2" "$input"
  "$joinrel" "$input" "$work/out" >/dev/null 2>&1 || true
  local lines input_mib joinrel_ms floor_ms rss_mib writes
  lines=$(wc -l <"$work/out")
  input_mib=$(awk "BEGIN { printf \"%.1f\", $(stat -c %s "$input") / 1048576 }")
  joinrel_ms=$(best_ms "$joinrel" "$input" "$work/out")
  floor_ms=$(best_ms "$bin/io_floor" "$input" "$work/out" "$work/floor")
  rss_mib=$(peak_mib "$joinrel" "$input" "$work/out")
  writes=$(writes_per_line "$joinrel" "$input" "$work/out" "$lines")
  awk -v label="$3" -v j="$joinrel_ms" -v f="$floor_ms" -v rss="$rss_mib" -v input="$input_mib" \
    -v writes="$writes" \
    'BEGIN { printf "%-16s %10.1f %9.1f %8.2f %9.1f %9.1f %10.2f %11.2f\n", label, j, f, j / f, rss, input, rss / (4 * input + 16), writes }'
}

header() {
  printf '%-16s %10s %9s %8s %9s %9s %10s %11s\n' "$1" "joinrel ms" "floor ms" ratio "RSS MiB" "input MiB" \
    "RSS/budget" "writes/line"
}

header shape
for shape in ${SHAPES:-chain wide interleaved longcells wide50 product wideproduct echo dups disjoint onebyte empties unnamed}; do
  measure "$shape" 1 "$shape"
done
echo
header "chain rows"
for scale in 0.25 0.5 1; do
  measure chain "$scale" "$(awk "BEGIN { print $scale * 10000 }")"
done
echo
header "wideproduct rows"
for scale in 0.25 0.5 1; do
  measure wideproduct "$scale" "$(awk "BEGIN { print $scale * 10000 }")"
done
