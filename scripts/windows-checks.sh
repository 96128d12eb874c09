#!/usr/bin/env bash
# The Windows programs tried as a user gets them, from the unpacked release
# folder: hostsim.exe's versions, validate, the demo tour against its golden
# transcript, a preview on the shipped demo scene and the page opened from the
# folder in a browser; then the Windows build's GoogleTest program. Written once
# for both places it runs: through Wine on Linux (scripts/test.sh), and directly
# under Git Bash on a Windows machine (the forge's windows job).
#
#   bash scripts/windows-checks.sh UNPACKED_FOLDER [BIN_FOLDER]
#
# UNPACKED_FOLDER is the zip's top folder, QZ_Lasso-VERSION-win64, wherever it
# was unpacked: the release's version is read from its name. BIN_FOLDER holds
# qz_tests.exe with hostsim.exe, the module and the broken fixture modules
# beside it (the Windows build's bin/); its tests read this checkout. On
# Windows the page is opened in $QZ_CHROMIUM, else in Chrome or Edge where the
# installers put them. Prints a line a check and "windows checks: N passed,
# M failed"; the exit status is 1 if any failed, 2 on wrong arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

usage() { sed -n '9,17s/^# \{0,1\}//p' "$0"; }
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  usage >&2
  exit 2
fi
[ -d "$1" ] || { echo "windows-checks: no folder '$1'" >&2; exit 2; }
shipped=$(cd "$1" && pwd)
bin=
if [ $# -eq 2 ]; then
  [ -f "$2/qz_tests.exe" ] || { echo "windows-checks: no qz_tests.exe in '$2'" >&2; exit 2; }
  bin=$(cd "$2" && pwd)
fi
folder=$(basename "$shipped")
[[ $folder =~ ^QZ_Lasso-(.+)-win64$ ]] ||
  { echo "windows-checks: '$folder' is not named QZ_Lasso-VERSION-win64 as the zip's folder is" >&2; exit 2; }
version=${BASH_REMATCH[1]}

case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*) on_windows=true ;;
  *) on_windows=false ;;
esac
# launch: what starts a Windows program; windows_path: a path as Windows
# programs name it; machine_path: as this machine's own programs (node) do.
if $on_windows; then
  launch=()
  windows_path() { cygpath -w "$1"; }
  machine_path() { cygpath -w "$1"; }
  if [ -z "${QZ_CHROMIUM:-}" ]; then
    for browser in "C:/Program Files/Google/Chrome/Application/chrome.exe" \
      "C:/Program Files (x86)/Microsoft/Edge/Application/msedge.exe"; do
      [ -f "$browser" ] && { export QZ_CHROMIUM=$browser; break; }
    done
  fi
else
  # shellcheck source=wine-env.sh
  source scripts/wine-env.sh
  launch=(wine)
  windows_path() { winepath -w "$1"; }
  machine_path() { echo "$1"; }
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
check_scratch=$scratch
# shellcheck source=check.sh
source scripts/check.sh
# Windows programs may end their lines in CRLF, and a checkout on Windows may
# hold the golden file either way: lines are compared without their CRs.
lines() { tr -d '\r' <"$1"; }

in_shipped() { (cd "$shipped" && "${launch[@]}" ./"$1" "${@:2}"); }
versions_match() {
  in_shipped hostsim.exe --version >"$scratch/version" || return 1
  lines "$scratch/version"
  [ "$(lines "$scratch/version" | sed -n 1p)" = "hostsim (QZ_Lasso) $version" ] &&
    lines "$scratch/version" | sed -n 2p |
    grep -qE '\\QZ_Lasso\.p: file version 0\.1\.4\.1, product version 1\.0\.0\.0$'
}
check "hostsim.exe --version names the release $version and the DLL's resource versions" versions_match
check "hostsim.exe validate QZ_Lasso.p" in_shipped hostsim.exe validate QZ_Lasso.p --only-failed
tour_matches() {
  in_shipped hostsim.exe tour --transcript >"$scratch/tour" &&
    diff -u <(lines tests/golden/tour.txt) <(lines "$scratch/tour")
}
check "the demo tour sends the golden transcript's lines" tour_matches
check "a command previewed on the shipped demo scene" \
  in_shipped hostsim.exe run QZ_Sel_Hierarchy --scene examples/demo_rig.lws --select Arm.L --color never
# Here the page is compared with native hostsim; on Windows with the shipped one.
page=(env QZ_PLAYGROUND="$(machine_path "$shipped/playground")")
! $on_windows || page+=(QZ_HOSTSIM="$(machine_path "$shipped/hostsim.exe")")
check "the page opened from the unpacked folder passes its browser tests" \
  "${page[@]}" bash scripts/browser-test.sh page.test.js tour.test.js

if [ -n "$bin" ]; then
  # Every program start is costly under Wine: the suite runs as one program.
  limit=()
  ! timeout --version >/dev/null 2>&1 || limit=(timeout 1800)
  google_tests() {
    (cd "$bin" && QZ_SOURCE_DIR="$(windows_path "$repo")" "${limit[@]}" "${launch[@]}" ./qz_tests.exe --gtest_brief=1)
  }
  check "the GoogleTest program in the Windows build's bin/" google_tests
fi

echo "windows checks: $check_passed passed, $check_failed failed"
[ "$check_failed" -eq 0 ]
