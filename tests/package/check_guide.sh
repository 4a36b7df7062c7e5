#!/usr/bin/env bash
# Checks the guide, README.html, where a package puts it: a complete UTF-8
# HTML page with its picture built in, whose every link leads somewhere from
# that folder: an in-page link to a heading of the guide, a relative one to a
# file beside it. Web addresses are left alone.
# Usage: tests/package/check_guide.sh FOLDER
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 FOLDER" >&2
  exit 2
fi
folder=$1
guide="$folder/README.html"
[ -f "$guide" ] || { echo "FAIL: no README.html in $folder"; exit 1; }

failed=0
for mark in '<!DOCTYPE html>' '<meta charset="utf-8">' '<title>' '</html>' \
  '<img src="data:image/png;base64,'; do
  grep -qF "$mark" "$guide" || { echo "FAIL: README.html lacks $mark"; failed=1; }
done

links=0
while IFS= read -r link; do
  links=$((links + 1))
  case $link in
    data:image/png\;base64,?*) ;;
    http://* | https://*) ;;
    '#'*)
      grep -qF "id=\"${link#\#}\"" "$guide" || { echo "FAIL: README.html: no heading $link"; failed=1; }
      ;;
    *)
      [ -e "$folder/$link" ] || { echo "FAIL: README.html links to $link, not in $folder"; failed=1; }
      ;;
  esac
done < <(grep -oE '(href|src)="[^"]*"' "$guide" | sed -E 's/^(href|src)="(.*)"$/\2/')
[ "$links" -gt 0 ] || { echo "FAIL: README.html has no link"; failed=1; }
[ "$failed" -eq 0 ] && echo "PASS: README.html, $links links and pictures"
exit "$failed"
