#!/usr/bin/env bash
# Runs the README's two commands, `./build.sh example` and `./build.sh test`,
# as a new user would on a minimal Debian 12: in a root made by debootstrap
# with only Debian's essential packages, as root and with a clean environment,
# on the committed tree (git archive HEAD, so a build folder of this checkout
# cannot stand in). build.sh must install all the rest itself. Then, as the
# README goes on: `./build.sh package`, the program's package installed with
# man-db from build/dev, `man joinrel`, and the installed program on an
# installed example. CXXFLAGS, when
# set, goes in with the commands, as the build's extra compiler flags.
# The packages come from the mirror that this machine's apt reads. Needs root,
# debootstrap and that mirror; takes several minutes. Prints how long
# debootstrap and each command took; fails when any step fails.
#   tests/fresh/check_fresh_debian.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ "$(id -u)" -ne 0 ]; then
  echo "$0: needs root, for debootstrap, mount and chroot" >&2
  exit 2
fi
command -v debootstrap >/dev/null || { echo "$0: needs debootstrap (apt-get install debootstrap)" >&2; exit 2; }

# bookworm_mirror: the first URI of a source of Debian packages for the suite
# bookworm that apt's configuration names, in deb822 form (.sources files) or
# in one-line form (.list files).
bookworm_mirror() {
  local sources=() lists=()
  shopt -s nullglob
  sources=(/etc/apt/sources.list.d/*.sources)
  lists=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list)
  shopt -u nullglob
  {
    [ ${#sources[@]} -eq 0 ] || awk '
      BEGIN { RS = ""; FS = "\n" }
      {
        types = uris = suites = ""; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^#/) continue
          key = tolower($i); sub(/:.*/, "", key)
          value = $i; sub(/^[^:]*:[ \t]*/, "", value); gsub(/[ \t]+/, " ", value)
          if (key == "types") types = value
          else if (key == "uris") uris = value
          else if (key == "suites") suites = value
          else if (key == "enabled") enabled = tolower(value)
        }
        if (enabled != "no" && (" " types " ") ~ / deb / && (" " suites " ") ~ / bookworm /) {
          split(uris, first, " "); print first[1]; exit
        }
      }' "${sources[@]}"
    # deb [OPTIONS] URI SUITE COMPONENTS...; the options may span fields.
    for list in "${lists[@]}"; do
      [ -f "$list" ] || continue
      awk '$1 == "deb" {
        i = 2
        if ($i ~ /^\[/) { while ($i !~ /\]$/ && i < NF) i++; i++ }
        if ($(i + 1) == "bookworm") { print $i; exit }
      }' "$list"
    done
  } | head -n 1
}

mirror=$(bookworm_mirror)
if [ -z "$mirror" ]; then
  echo "$0: apt's configuration names no source of Debian 12 (bookworm) packages" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/var/tmp}/joinrel-fresh.XXXXXX")
root=$work/root

# mounts_in_work: the mount points under the work folder, deepest first.
mounts_in_work() {
  awk -v work="$work/" 'index($2, work) == 1 { print $2 }' /proc/self/mounts | sort -r
}

# Unmounts all that is mounted in the root (debootstrap's own mounts too, if
# it was stopped half-way), and deletes the work folder only when nothing is
# mounted there any more; rm does not cross into another file system either.
cleanup() {
  local point
  for point in $(mounts_in_work); do
    umount "$point" || umount --lazy "$point" || true
  done
  if [ -n "$(mounts_in_work)" ]; then
    echo "$0: still mounted, so $work is left in place:" $(mounts_in_work) >&2
    exit 1
  fi
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# in_folder FOLDER COMMAND...: runs COMMAND in FOLDER of the root, with only
# the environment that a root shell in a fresh container has.
in_folder() {
  local folder=$1
  shift
  chroot "$root" /usr/bin/env -i -C "$folder" HOME=/root \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    ${CXXFLAGS:+"CXXFLAGS=$CXXFLAGS"} "$@"
}
# in_root COMMAND...: runs COMMAND in the tree's copy in the root.
in_root() {
  in_folder /root/joinrel "$@"
}

version=$(sed -n 's/^project(joinrel VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "$0: no version in CMakeLists.txt's project()" >&2; exit 2; }

start=$SECONDS
echo "== debootstrap --variant=minbase bookworm from $mirror"
if ! debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
  tail -n 30 "$work/debootstrap.log"
  echo "$0: debootstrap failed" >&2
  exit 1
fi
debootstrap_seconds=$((SECONDS - start))

mkdir "$root/root/joinrel"
git archive HEAD | tar -x -C "$root/root/joinrel"
# The end-to-end cases read /proc/self; nothing else of the host goes in.
mount -t proc proc "$root/proc"

start=$SECONDS
echo "== ./build.sh example"
in_root ./build.sh example
example_seconds=$((SECONDS - start))

start=$SECONDS
echo "== ./build.sh test"
in_root ./build.sh test
test_seconds=$((SECONDS - start))

start=$SECONDS
echo "== ./build.sh package, the package installed with man-db, man joinrel"
in_root ./build.sh package
# As root, so without sudo; apt's question is answered yes.
in_folder /root/joinrel/build/dev apt-get install "./joinrel_${version}_amd64.deb" man-db < <(yes)
in_folder /root man joinrel > "$work/man.txt"
grep -q 'joinrel - join the relations held in a small text file' "$work/man.txt" ||
  { head -n 20 "$work/man.txt"; echo "$0: man joinrel does not show the manual page" >&2; exit 1; }
in_folder /root joinrel /usr/share/doc/joinrel/examples/company.txt company.out
in_folder /root cmp company.out /usr/share/doc/joinrel/examples/company.expected.txt
package_seconds=$((SECONDS - start))

echo "Minimal Debian 12: debootstrap ${debootstrap_seconds} s," \
  "./build.sh example ${example_seconds} s, ./build.sh test ${test_seconds} s," \
  "./build.sh package and installing ${package_seconds} s"
