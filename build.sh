#!/usr/bin/env bash
# Builds joinrel on a Debian machine, installing the tools it needs first.
#   ./build.sh example   build, run joinrel on examples/company.txt, show the output
#   ./build.sh test      build and run every test
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ libgtest-dev groff-base cmark-gfm)

installTools() {
  local missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

case "${1:-}" in
  example)
    installTools
    cmake --preset dev >/dev/null
    cmake --build --preset dev --target example
    echo
    echo "joinrel is built as build/dev/joinrel; run it on your own file as"
    echo "  build/dev/joinrel INPUT OUTPUT"
    ;;
  test)
    installTools
    cmake --workflow --preset dev
    ;;
  *)
    echo "usage: $0 example|test" >&2
    exit 2
    ;;
esac
