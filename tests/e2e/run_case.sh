#!/usr/bin/env bash
# Runs one end-to-end case against the real binary.
# Usage: bash run_case.sh [--windows] /path/to/joinrel /path/to/case_dir
# The case folder format is described in README.md next to this script.
# --windows runs joinrel.exe under Wine (WINEPREFIX must name a prepared
# prefix, see run_windows.sh) and expects the bytes Windows writes.
set -u

windows=0
if [ "${1:-}" = --windows ]; then
  windows=1
  shift
fi
if [ $# -ne 2 ]; then
  echo "usage: bash run_case.sh [--windows] JOINREL CASE_DIR" >&2
  exit 2
fi
prog=$(realpath "$1")
case_dir=$(realpath "$2")

# What the PAUSE of Wine's command processor prints when its standard input
# is at its end: the prompt alone, with no line end after it.
wine_pause_prompt='Press any key to continue... '

# A case runs on Windows unless its windows_skip file says why it cannot mean
# the same there, or it holds a file this runner does not know how to honour.
if [ "$windows" -eq 1 ]; then
  if [ -z "${WINEPREFIX:-}" ]; then
    echo "run_case.sh --windows: set WINEPREFIX to a throwaway prefix" >&2
    exit 2
  fi
  if [ -f "$case_dir/windows_skip" ]; then
    echo "SKIP: $(basename "$case_dir"): $(cat "$case_dir/windows_skip")"
    exit 77
  fi
  for file in "$case_dir"/*; do
    case $(basename "$file") in
      input | setup | args | windows_args | expected_stdout | windows_expected_stdout | \
        expected_stderr | expected_status | expected_output) ;;
      *)
        echo "SKIP: $(basename "$case_dir"): holds the case file $(basename "$file"), unknown to the Windows runner"
        exit 77
        ;;
    esac
  done
fi

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

# An output that exists before the run, and that the case expects to find
# unchanged, was written by the setup: its bytes are the same on Windows.
[ -f "$work/output" ] && cp "$work/output" "$tmp/output_before"

args=(input output)
args_file="$case_dir/args"
if [ "$windows" -eq 1 ] && [ -f "$case_dir/windows_args" ]; then
  args_file="$case_dir/windows_args"
fi
if [ -f "$args_file" ]; then
  mapfile -t args < "$args_file"
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

file_limit=
if [ -f "$case_dir/file_size_limit" ]; then
  file_limit=$(tr -d '[:space:]' < "$case_dir/file_size_limit")
fi

# The standard error is kept when the case expects its bytes; otherwise it
# passes through, for the test's log.
stderr=/dev/stderr
[ -f "$case_dir/expected_stderr" ] && stderr="$tmp/stderr"

if [ "$windows" -eq 1 ]; then
  # C.UTF-8: Wine reads the arguments as UTF-8 and speaks English.
  (cd "$work" && LC_ALL=C.UTF-8 WINEDEBUG=-all wine "$prog" "${args[@]}" < /dev/null > "$tmp/stdout" 2> "$stderr")
else
  (cd "$work" && { [ -z "$limit" ] || ulimit -v "$limit"; } &&
    { [ -z "$file_limit" ] || ulimit -f "$file_limit"; } &&
    PATH="$tmp/bin:$PATH" "$prog" "${args[@]}" < /dev/null > "$tmp/stdout" 2> "$stderr")
fi
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
if [ "$windows" -eq 1 ] && [ -f "$case_dir/windows_expected_stdout" ]; then
  expected_stdout="$case_dir/windows_expected_stdout"
fi
[ -f "$expected_stdout" ] || expected_stdout=/dev/null
expected_stderr="$case_dir/expected_stderr"
expected_output="$case_dir/expected_output"
if [ "$windows" -eq 1 ]; then
  # Windows writes a text line end as CR LF, and the real PAUSE prints its
  # prompt where the stand-in printed "[PAUSE]". The output file expected
  # is the one the program writes, so it gets CR LF too.
  # perl, not a shell loop: a message may hold any byte, a NUL too.
  PROMPT="$wine_pause_prompt" perl -pe 'if ($_ eq "[PAUSE]\n") { $_ = $ENV{PROMPT} } else { s/\n/\r\n/ }' \
    "$expected_stdout" > "$tmp/expected_stdout"
  expected_stdout="$tmp/expected_stdout"
  if [ -f "$expected_stderr" ]; then
    perl -pe 's/\n/\r\n/' "$expected_stderr" > "$tmp/expected_stderr"
    expected_stderr="$tmp/expected_stderr"
  fi
  if [ -f "$expected_output" ] && ! cmp -s "$expected_output" "$tmp/output_before"; then
    perl -pe 's/\n/\r\n/g' "$expected_output" > "$tmp/expected_output"
    expected_output="$tmp/expected_output"
  fi
fi
same "standard output" "$expected_stdout" "$tmp/stdout"
[ -f "$expected_stderr" ] && same "standard error" "$expected_stderr" "$tmp/stderr"

expected_status=$(tr -d '[:space:]' < "$case_dir/expected_status")
if [ "$status" != "$expected_status" ]; then
  echo "FAIL: exit status $status, expected $expected_status"
  failed=1
fi

if [ -f "$case_dir/expected_output" ]; then
  if [ -f "$work/output" ]; then
    same "output file" "$expected_output" "$work/output"
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
