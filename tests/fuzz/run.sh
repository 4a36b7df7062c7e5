#!/usr/bin/env bash
# Fuzzes joinrel for SECONDS (default 180) with the target that
# `cmake --workflow --preset fuzz` builds; further arguments go to libFuzzer.
# Seeds are the end-to-end cases' inputs, read in place. Exits non-zero on any
# finding and leaves the input that shows it in build/fuzz/artifacts/.
#   tests/fuzz/run.sh [SECONDS] [LIBFUZZER_OPTION...]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-180}
shift || true
fuzzer=build/fuzz/joinrel_fuzz
corpus=build/fuzz/corpus  # what the fuzzer finds, kept between runs
artifacts=build/fuzz/artifacts/
mkdir -p "$corpus" "$artifacts"
seeds=$(printf '%s,' tests/e2e/cases/*/input)
# Every run writes its input and output file; in memory runs go twice as fast.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

exec "$fuzzer" "$corpus" -seed_inputs="${seeds%,}" -dict=tests/fuzz/joinrel.dict \
  -max_total_time="$seconds" -timeout=2 -rss_limit_mb=1024 -detect_leaks=1 \
  -artifact_prefix="$artifacts" -print_final_stats=1 "$@"
