#!/usr/bin/env bash
# Checks what cpack does while the page is not built. The Windows ZIP always
# holds the page, so `cpack -G ZIP` must stop before it writes anything. On
# Linux the page is a package of its own, so `cpack -G DEB` must make the
# program's package alone, joinrel_<version>_amd64.deb, without the page. Either
# way cpack names the command that builds the page.
# Usage: tests/package/check_without_page.sh BUILD_DIR ZIP|DEB
set -euo pipefail

if [ $# -ne 2 ] || { [ "$2" != ZIP ] && [ "$2" != DEB ]; }; then
  echo "usage: $0 BUILD_DIR ZIP|DEB" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
(cd "$1" && cpack -G "$2" -D CPACK_JOINREL_PAGE="$work/joinrel.html" -B "$work/packages") \
  > "$work/log" 2>&1 || status=$?
failed=0
if [ "$2" = ZIP ]; then
  [ "$status" -ne 0 ] || { echo "FAIL: cpack -G ZIP made a package without the page"; failed=1; }
  [ ! -e "$work/packages" ] || { echo "FAIL: cpack -G ZIP wrote into $work/packages"; failed=1; }
else
  made=$(cd "$work/packages" 2> /dev/null && ls -- *.deb 2> /dev/null || true)
  if [ "$status" -ne 0 ] || ! [[ $made =~ ^joinrel_[0-9.]+_amd64\.deb$ ]]; then
    echo "FAIL: cpack -G DEB (status $status) should make the program's package alone, not: $made"
    failed=1
  elif dpkg-deb -c "$work/packages/$made" | grep -q 'joinrel\.html$'; then
    echo "FAIL: $made holds a page that is not built"
    failed=1
  fi
fi
# cpack wraps its message, so the command is looked for with the line ends
# read as blanks.
tr -s ' \n' ' ' < "$work/log" | grep -qF "cmake --preset wasm && cmake --build --preset wasm" ||
  { echo "FAIL: cpack -G $2 does not name the command that builds the page"; failed=1; }
[ "$failed" -eq 0 ] || cat "$work/log"
[ "$failed" -eq 0 ] && echo "PASS: cpack -G $2 without the page"
exit "$failed"
