#!/usr/bin/env bash
# Runs one end-to-end case against the real binary.
# Usage: bash run_case.sh /path/to/joinrel /path/to/case_dir
# The case folder format is described in README.md next to this script.
set -u

if [ $# -ne 2 ]; then
  echo "usage: bash run_case.sh JOINREL CASE_DIR" >&2
  exit 2
fi
prog=$(realpath "$1")
case_dir=$(realpath "$2")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
work="$tmp/work"
mkdir "$tmp/bin" "$work"

# A stand-in for the Windows "PAUSE" command: it shows on stdout that it ran.
printf '#!/bin/sh\necho "[PAUSE]"\n' > "$tmp/bin/PAUSE"
chmod +x "$tmp/bin/PAUSE"

if [ -f "$case_dir/input" ]; then
  cp "$case_dir/input" "$work/input"
fi
if [ -f "$case_dir/setup" ]; then
  (cd "$work" && bash "$case_dir/setup") || { echo "FAIL: setup failed"; exit 1; }
fi

args=(input output)
if [ -f "$case_dir/args" ]; then
  mapfile -t args < "$case_dir/args"
fi

# An input that setup made must come out unchanged too.
input_sum=
[ -f "$work/input" ] && input_sum=$(cksum < "$work/input")

limit=
if [ -f "$case_dir/memory_limit" ]; then
  # A sanitizer build (its binary calls __asan_init) reserves terabytes of
  # address space for shadow memory at start, far more than any limit leaves;
  # 77 tells CTest the case was skipped.
  if grep -qa __asan_init "$prog"; then
    echo "SKIP: $(basename "$case_dir") limits the address space, which a sanitizer build cannot start in"
    exit 77
  fi
  limit=$(tr -d '[:space:]' < "$case_dir/memory_limit")
fi

(cd "$work" && { [ -z "$limit" ] || ulimit -v "$limit"; } && PATH="$tmp/bin:$PATH" "$prog" "${args[@]}" < /dev/null > "$tmp/stdout")
status=$?

failed=0
# same LABEL EXPECTED ACTUAL: reports and records a byte difference.
same() {
  if ! cmp -s "$2" "$3"; then
    echo "FAIL: $1 differs from the expected bytes"
    cmp "$2" "$3"
    # cat -A shows line ends as "$" and carriage returns as "^M".
    diff -u --label expected --label actual "$2" "$3" | cat -A | head -n 80
    failed=1
  fi
}

expected_stdout="$case_dir/expected_stdout"
[ -f "$expected_stdout" ] || expected_stdout=/dev/null
same "standard output" "$expected_stdout" "$tmp/stdout"

expected_status=$(tr -d '[:space:]' < "$case_dir/expected_status")
if [ "$status" != "$expected_status" ]; then
  echo "FAIL: exit status $status, expected $expected_status"
  failed=1
fi

if [ -f "$case_dir/expected_output" ]; then
  if [ -f "$work/output" ]; then
    same "output file" "$case_dir/expected_output" "$work/output"
  else
    echo "FAIL: the output file was not created"
    failed=1
  fi
elif [ -e "$work/output" ] || [ -L "$work/output" ]; then
  echo "FAIL: an output file exists, but none was expected"
  failed=1
fi

if [ -f "$case_dir/input" ]; then
  same "input file (it must never be written)" "$case_dir/input" "$work/input"
elif [ -n "$input_sum" ] && [ "$(cksum < "$work/input")" != "$input_sum" ]; then
  echo "FAIL: the input file made by setup changed (it must never be written)"
  failed=1
fi

[ "$failed" -eq 0 ] && echo "PASS: $(basename "$case_dir")"
exit "$failed"
