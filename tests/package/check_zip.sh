#!/usr/bin/env bash
# Checks the Windows ZIP as a user meets it. Unpacked into a fresh folder, it
# must hold one folder named as the ZIP, with the page and the guide and no
# other web page; every link of the guide must lead somewhere inside that
# folder (check_guide.sh); in that folder, joinrel.exe run under Wine on each
# example must print nothing, exit with status 0 and write exactly the bytes
# of the example's expected output in the ZIP.
# Usage: tests/package/check_zip.sh path/to/joinrel-VERSION-win64.zip
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 ZIP" >&2
  exit 2
fi
zip=$(realpath "$1")
top=$(basename "$zip" .zip)

work=$(mktemp -d)
export WINEPREFIX="$work/wine" WINEDEBUG=-all LC_ALL=C.UTF-8
trap 'wineserver --kill 2> /dev/null; rm -rf "$work"' EXIT

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
unpacked=$(ls -A "$work/unpacked")
if [ "$unpacked" != "$top" ]; then
  echo "FAIL: the ZIP should hold the one folder $top/ at its top, not: $unpacked"
  exit 1
fi
folder="$work/unpacked/$top"

[ -s "$folder/joinrel.html" ] || { echo "FAIL: the ZIP holds no page, joinrel.html"; exit 1; }
# A Windows user opens what the ZIP holds: two web pages, the guide and the
# page, and no other.
pages=$(cd "$folder" && find . -iname '*.htm*' | sort | tr '\n' ' ')
if [ "$pages" != "./README.html ./joinrel.html " ]; then
  echo "FAIL: the ZIP should hold README.html and joinrel.html as its web pages, not: $pages"
  exit 1
fi
bash "$(dirname "$0")/check_guide.sh" "$folder"

# mscoree and mshtml off: no offer to install .NET or a web engine.
if ! WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init > "$work/boot.log" 2>&1; then
  cat "$work/boot.log"
  echo "FAIL: wineboot could not make a Wine prefix"
  exit 1
fi

failed=0 checked=0
for expected in "$folder"/examples/*.expected.txt; do
  [ -f "$expected" ] || { echo "FAIL: the ZIP holds no examples/*.expected.txt"; exit 1; }
  name=$(basename "$expected" .expected.txt)
  status=0
  (cd "$folder" && wine joinrel.exe "examples\\$name.txt" "$name.out") \
    < /dev/null > "$work/console" || status=$?
  checked=$((checked + 1))
  if [ "$status" -ne 0 ] || [ -s "$work/console" ]; then
    echo "FAIL: $name: exit status $status, on the console:"
    cat -A "$work/console"
    failed=1
  elif ! cmp "$expected" "$folder/$name.out"; then
    echo "FAIL: $name: the output differs from examples/$name.expected.txt in the ZIP"
    failed=1
  else
    echo "PASS: $name"
  fi
done
echo "ZIP examples: $checked checked"
exit "$failed"
