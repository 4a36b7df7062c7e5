#!/usr/bin/env bash
# Checks joinrel's result on one benchmark shape, made small, against the
# simple reference: the block from joinrel's last "result(" line on must be
# exactly what reference_result prints.
#   check_shape.sh MAKE_BENCH_INPUT JOINREL REFERENCE_RESULT SHAPE SCALE
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$1" "$4" 1 "$5" "$work/input"
"$2" "$work/input" "$work/output"
"$3" "$work/input" >"$work/want"
# Every line from the last one that opens result's header.
start=$(grep -n '^result(' "$work/output" | tail -n 1 | cut -d: -f1)
tail -n "+$start" "$work/output" >"$work/got"
cmp "$work/got" "$work/want"
