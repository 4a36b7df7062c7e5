#!/usr/bin/env bash
# Checks that cpack, asked for a package while the page is not built, stops
# before it writes anything and names the command that builds the page.
# Usage: tests/package/check_without_page.sh BUILD_DIR GENERATOR
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR GENERATOR" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
(cd "$1" && cpack -G "$2" -D CPACK_JOINREL_PAGE="$work/joinrel.html" -B "$work/packages") \
  > "$work/log" 2>&1 || status=$?
failed=0
[ "$status" -ne 0 ] || { echo "FAIL: cpack -G $2 made a package without the page"; failed=1; }
[ ! -e "$work/packages" ] || { echo "FAIL: cpack -G $2 wrote into $work/packages"; failed=1; }
# cpack wraps its message, so the command is looked for with the line ends
# read as blanks.
tr -s ' \n' ' ' < "$work/log" | grep -qF "cmake --preset wasm && cmake --build --preset wasm" ||
  { echo "FAIL: cpack -G $2 does not name the command that builds the page"; failed=1; }
[ "$failed" -eq 0 ] || cat "$work/log"
[ "$failed" -eq 0 ] && echo "PASS: cpack -G $2 stops without the page"
exit "$failed"
