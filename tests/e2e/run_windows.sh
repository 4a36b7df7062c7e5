#!/usr/bin/env bash
# Runs every end-to-end case against joinrel.exe under Wine.
# Usage: bash run_windows.sh /path/to/joinrel.exe [case_dir ...]
# Without case folders it runs all of cases/. The Wine prefix is made here
# once, in a throwaway folder, and its wineserver is kept alive across the
# cases; both go away at the end. Exits 1 when a case fails.
set -u

if [ $# -lt 1 ]; then
  echo "usage: bash run_windows.sh JOINREL_EXE [CASE_DIR ...]" >&2
  exit 2
fi
here=$(dirname "$(realpath "$0")")
prog=$(realpath "$1")
shift
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=("$here"/cases/*/)

export WINEPREFIX WINEDEBUG=-all LC_ALL=C.UTF-8
WINEPREFIX=$(mktemp -d)
boot_log=$(mktemp)
trap 'wineserver --kill; rm -rf "$WINEPREFIX" "$boot_log"' EXIT
# Started before anything else in the prefix: a wineserver that is already
# running would keep its own short lifetime, and each case would pay for a
# new one.
wineserver --persistent
# mscoree and mshtml off: no offer to install .NET or a web engine.
if ! WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init > "$boot_log" 2>&1; then
  cat "$boot_log"
  echo "FAIL: wineboot could not make a Wine prefix"
  exit 1
fi

passed=0 skipped=0 failed=()
for case_dir in "${cases[@]}"; do
  report=$(bash "$here/run_case.sh" --windows "$prog" "$case_dir")
  case $? in
    0) passed=$((passed + 1)) ;;
    77)
      skipped=$((skipped + 1))
      echo "$report"
      ;;
    *)
      failed+=("$(basename "$case_dir")")
      echo "$report"
      ;;
  esac
done

echo "Windows cases: $passed passed, $skipped skipped, ${#failed[@]} failed ${failed[*]}"
[ ${#failed[@]} -eq 0 ]
