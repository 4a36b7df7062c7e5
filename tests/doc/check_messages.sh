#!/usr/bin/env bash
# Checks that the README's message table, its Hungarian twin and the manual
# page's DIAGNOSTICS show every message of the program, so that none falls
# behind the code.
# Usage: bash check_messages.sh PRINT_MESSAGES README.md joinrel.1 messages.hu.md
# PRINT_MESSAGES prints each message as the program builds it, with N and
# NAME for the line number and the relation name. Each table must hold
# exactly those messages, one row each; the page, rendered by groff as a
# user reads it, must show each on a line of its own.
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: bash check_messages.sh PRINT_MESSAGES README.md joinrel.1 messages.hu.md" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$1" | sort > "$work/catalogue"
[ -s "$work/catalogue" ] || { echo "FAIL: $1 printed no message"; exit 1; }

# The first cell of each row of a message table.
first_cells() {
  sed -E 's/^\| `([^`]*)` \|.*/\1/' | sort
}
# README's table is the one under "## Messages"; messages.hu.md holds one table.
awk '/^## / { inside = ($0 == "## Messages") } inside && /^\| `/' "$2" | first_cells > "$work/readme"
grep '^| `' "$4" | first_cells > "$work/hungarian" || true

# -P-cbou: plain text, without the bold and underlining of a terminal.
groff -man -Tutf8 -P-cbou "$3" > "$work/page"
awk '/^[^ ]/ { inside = ($0 == "DIAGNOSTICS") } inside' "$work/page" |
  sed -E 's/^ +//; s/ +$//' > "$work/diagnostics"
[ -s "$work/diagnostics" ] || { echo "FAIL: the manual page has no DIAGNOSTICS"; exit 1; }

failed=0
if ! diff -u --label "messages of the program" --label "README.md's message table" \
  "$work/catalogue" "$work/readme"; then
  failed=1
fi
if ! diff -u --label "messages of the program" --label "$(basename "$4")'s message table" \
  "$work/catalogue" "$work/hungarian"; then
  failed=1
fi
while IFS= read -r message; do
  if ! grep -qxF -- "$message" "$work/diagnostics"; then
    echo "FAIL: the manual page's DIAGNOSTICS does not show: $message"
    failed=1
  fi
done < "$work/catalogue"
[ "$failed" -eq 0 ] && echo "PASS: $(wc -l < "$work/catalogue") messages in README.md, $(basename "$4") and joinrel.1"
exit "$failed"
