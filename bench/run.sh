#!/usr/bin/env bash
# Times joinrel on inputs at the limits of the format: wall time and peak
# memory of whole runs, best of three; then the join and normalisation alone.
# Needs the dev build (./build.sh example).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x /usr/bin/time ] || { echo "bench/run.sh needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
cmake --build --preset dev --target joinrel make_bench_input join_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-11s %10s %9s %12s\n' input "size KiB" "seconds" "peak KiB"
for kind in join product duplicates echo; do
  build/dev/make_bench_input "$kind" "$work/$kind.txt"
  best=""
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %M' -o "$work/time" build/dev/joinrel "$work/$kind.txt" "$work/out" >/dev/null
    read -r seconds peak <"$work/time"
    if [ -z "$best" ] || awk "BEGIN{exit !($seconds < ${best% *})}"; then best="$seconds $peak"; fi
  done
  printf '%-11s %10d %9s %12s\n' "$kind" $(($(stat -c %s "$work/$kind.txt") / 1024)) $best
done
echo
build/dev/join_bench
