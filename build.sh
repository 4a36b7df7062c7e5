#!/usr/bin/env bash
# Builds joinrel on a Debian machine, installing the tools it needs first.
#   ./build.sh example   build, run joinrel on examples/company.txt, show the output
#   ./build.sh test      build and run every test
#   ./build.sh package   build, and make the Debian package in build/dev
#                        (and the page's package when the page is built)
set -euo pipefail
cd "$(dirname "$0")"

# What the build and the tests run, each beside the Debian package that brings
# it; cmark-gfm makes the guides that an install and a package hold. A thing counts as missing when it is not there, whatever the package
# database says, so a machine left half-installed by an earlier run is mended
# by the next one.
needs=(
  "cmake cmake"
  "make make"
  "g++ g++"
  "/usr/include/gtest/gtest.h libgtest-dev"
  "groff groff-base"
  "cmark-gfm cmark-gfm"
)

# isPresent THING: THING is a command on the PATH, or a file when it is a path.
isPresent() {
  case "$1" in
    /*) [ -e "$1" ] ;;
    *) command -v "$1" >/dev/null ;;
  esac
}

# What cpack runs to work out the package's dependencies.
packageNeeds=(
  "file file"
  "dpkg-shlibdeps dpkg-dev"
)

# installTools NEED...: installs the package of each NEED ("thing package")
# whose thing is missing.
installTools() {
  local missing=() need thing package
  for need in "$@"; do
    read -r thing package <<<"$need"
    isPresent "$thing" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  # Through env, since sudo drops the caller's environment.
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
}

case "${1:-}" in
  example)
    installTools "${needs[@]}"
    cmake --preset dev >/dev/null
    cmake --build --preset dev --target example
    echo
    echo "joinrel is built as build/dev/joinrel; run it on your own file as"
    echo "  build/dev/joinrel INPUT OUTPUT"
    ;;
  test)
    installTools "${needs[@]}"
    cmake --workflow --preset dev
    ;;
  package)
    installTools "${needs[@]}" "${packageNeeds[@]}"
    cmake --preset dev >/dev/null
    cmake --build --preset dev
    (cd build/dev && cpack -G DEB)
    echo
    echo "Made in build/dev:" build/dev/*.deb
    echo "Install the program's package there, with man-db for its manual page:"
    echo "  sudo apt-get install ./joinrel_*_amd64.deb man-db"
    ;;
  *)
    echo "usage: $0 example|test|package" >&2
    exit 2
    ;;
esac
