#!/usr/bin/env bash
# Checks the two user's guides made from README.md: each must hold the input
# format, the output, the join, the order of result, the encoding and every
# message of the program, and none of the words that belong to the other
# platform: a Windows user has no apt, sudo, build script, CMake, manual pages,
# Python or local web server, and a Linux user no .exe or cmd. The packages a
# guide names must carry the project's version.
# Usage: bash check_guides.sh PRINT_MESSAGES VERSION LINUX_GUIDE WINDOWS_GUIDE
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: bash check_guides.sh PRINT_MESSAGES VERSION LINUX_GUIDE WINDOWS_GUIDE" >&2
  exit 2
fi
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$1" > "$work/messages"
[ -s "$work/messages" ] || { echo "FAIL: $1 printed no message"; exit 1; }

# The sections every guide holds, by the ids of their headings.
shared_sections=(the-input-format the-output-file how-the-join-works how-result-is-ordered
  messages encoding in-the-browser)
# Extended regular expressions, matched without regard to case.
windows_forbidden=('sudo' 'apt-get' '\<apt\>' 'build\.sh' 'cmake' 'python' 'http\.server'
  '127\.0\.0\.1' 'localhost' '\<man\>' 'linux' 'debian' 'ubuntu' '/usr/' '\.deb\>')
linux_forbidden=('\.exe\>' '\<cmd\>')

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

# check_guide NAME GUIDE OWN_SECTION OTHER_SECTION FORBIDDEN...
check_guide() {
  local name=$1 guide=$2 own=$3 other=$4 id message word
  shift 4
  [ -s "$guide" ] || { fail "no $name guide at $guide"; return; }
  for id in "${shared_sections[@]}" "$own"; do
    grep -qF "id=\"$id\"" "$guide" || fail "the $name guide has no section #$id"
  done
  ! grep -qF "id=\"$other\"" "$guide" || fail "the $name guide has the section #$other"
  while IFS= read -r message; do
    grep -qF "<code>$message</code>" "$guide" || fail "the $name guide does not explain: $message"
  done < "$work/messages"
  # The words a reader sees: the text without its tags and its picture.
  sed -E 's/data:image[^"]*//g; s/<[^>]*>//g' "$guide" > "$work/text"
  for word in "$@"; do
    if grep -qiE -- "$word" "$work/text"; then
      fail "the $name guide holds $word:"
      grep -niE -- "$word" "$work/text" | head -n 3
    fi
  done
  grep -oE 'joinrel(-page)?[_-][0-9]+\.[0-9]+\.[0-9]+[_-]' "$work/text" |
    grep -vE "[_-]$version[_-]\$" | sed "s/^/FAIL: the $name guide names a package not of version $version: /" |
    grep . && failed=1
  return 0
}

check_guide Linux "$3" on-linux on-windows "${linux_forbidden[@]}"
check_guide Windows "$4" on-windows on-linux "${windows_forbidden[@]}"
[ "$failed" -eq 0 ] && echo "PASS: the Linux and the Windows guide, $(wc -l < "$work/messages") messages each"
exit "$failed"
