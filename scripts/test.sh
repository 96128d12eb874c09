#!/usr/bin/env bash
# The whole test suite from a fresh machine: the forge's workflows and every
# shell script (scripts/check_workflows.sh), the direction of hostsim's layers
# (scripts/check_layers.sh), a native build under AddressSanitizer and UBSan,
# the playground page built for the browser and tested in Chromium against
# native hostsim, then the Windows DLL cross-built and inspected, then the
# release zip built twice (it must come out the same), unpacked into a folder
# whose name has spaces and accents and tried as a Windows user gets it: its
# guide and page whole, and under Wine its programs and the Windows build's
# GoogleTest program (scripts/windows-checks.sh, which the forge's Windows job
# runs on Windows itself).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh python3 libxml2-utils librsvg2-bin unzip cmark

log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "== workflows and scripts =="
bash scripts/check_workflows.sh 2>&1 | tee -a "$log"

echo "== hostsim's layers =="
bash scripts/check_layers.sh

echo "== native (ASan + UBSan) =="
cmake --preset native-test >/dev/null
cmake --build --preset native-test
ctest --preset native-test -j2 2>&1 | tee -a "$log"

echo "== the playground page in Chromium =="
bash scripts/browser-test.sh 2>&1 | tee -a "$log"

echo "== Windows DLL =="
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
# The GoogleTest program itself runs under Wine once, with the release checks.
ctest --preset windows -E '^qz_tests_wine$' 2>&1 | tee -a "$log"

echo "== the release zip, unpacked as a user gets it =="
bash scripts/release.sh --check
version=$(bash scripts/version.sh)
name="QZ_Lasso-$version-win64"
unpacked=$(mktemp -d)
trap 'rm -f "$log"; rm -rf "$unpacked"' EXIT
# Where a user unpacks it, a folder's name may have spaces and accents.
unzip -q "dist/$name.zip" -d "$unpacked/Prüfung – QZ Lasso"
unzip -q "dist/$name-debug.zip" -d "$unpacked/debug"
shipped="$unpacked/Prüfung – QZ Lasso/$name"
check_scratch=$unpacked
# shellcheck source=check.sh
source scripts/check.sh
# ZIP FILE...: these files under the one top folder; anything else only a
# picture Guide.html shows, or a file of the page (what playground.sh copies).
holds() {
  local entries entry
  entries=$(unzip -Z1 "$1" | sort)
  shift
  comm -13 <(echo "$entries") <(printf "$name/%s\n" "$@" | sort) | sed 's/^/missing: /' | grep . && return 1
  while IFS= read -r entry; do
    case "$entry" in
      "$name"/playground/*) ;;
      "$name"/*.png | "$name"/*.svg | "$name"/*.jpg | "$name"/*.jpeg | "$name"/*.gif | "$name"/*.webp)
        grep -qF "src=\"${entry#"$name/"}\"" "$shipped/Guide.html" || { echo "not shown in Guide.html: $entry"; return 1; } ;;
      *) echo "unexpected: $entry"; return 1 ;;
    esac
  done < <(comm -23 <(echo "$entries") <(printf "$name/%s\n" "$@" | sort))
}
check "the zip holds the DLL, hostsim.exe, the page, the guide and its pictures, the documents and the demo scene" \
  holds "dist/$name.zip" QZ_Lasso.p hostsim.exe Guide.html README.txt LICENSE THIRD-PARTY-NOTICES.txt CHANGELOG.md \
  examples/demo_rig.lws playground/index.html playground/app.js playground/style.css playground/qz_host.js \
  playground/qz_lasso.js
check "every link and picture of Guide.html is in the unpacked folder, and it names no build step" \
  python3 scripts/guide.py check "$shipped"
readme_for_notepad() {  # Windows line ends throughout, and the guide and the page named
  [ "$(grep -c $'\r$' "$1")" -eq "$(wc -l <"$1")" ] && grep -q 'Guide\.html' "$1" &&
    grep -q 'playground\\index\.html' "$1" && ! grep -q '@VERSION@' "$1"
}
check "README.txt is for Notepad and points to Guide.html" readme_for_notepad "$shipped/README.txt"
# The page loads the module, its host and the page's own script, in that
# order, from beside it: a double-click on file:// fetches nothing else. The
# browser tests open it from the unpacked folder too.
page_loads_from_beside_it() {
  local scripts script
  scripts=$(grep -oE '<script[^>]* src="[^"]*"' "$1/index.html" | sed -E 's/.*src="([^"]*)"/\1/')
  echo "scripts: $(tr '\n' ' ' <<<"$scripts")"
  [ "$(grep -xE 'qz_lasso\.js|qz_host\.js|app\.js' <<<"$scripts" | tr '\n' ' ')" = "qz_lasso.js qz_host.js app.js " ] ||
    { echo "index.html must load qz_lasso.js, qz_host.js and app.js, in that order"; return 1; }
  for script in $scripts; do
    case "$script" in *:* | /*) echo "loads $script from elsewhere"; return 1 ;; esac
    [ -f "$1/$script" ] || { echo "index.html loads $script, which is not beside it"; return 1; }
  done
}
check "the page loads only what lies beside it in the unpacked folder" page_loads_from_beside_it "$shipped/playground"
check "the debug zip holds the symbol files" holds "dist/$name-debug.zip" QZ_Lasso.p.debug hostsim.exe.debug
check "SHA256SUMS matches both zips" bash -c 'cd dist && sha256sum --strict -c SHA256SUMS'
check "the DLL: one export, system imports, version resource, stripped, at most 160 KiB" \
  cmake -DMODULE="$shipped/QZ_Lasso.p" -DOBJDUMP=x86_64-w64-mingw32-objdump -DWINDRES=x86_64-w64-mingw32-windres \
  -DSHIPPED=ON -P tests/check_dll_file.cmake
system_imports_only() {
  local imports
  imports=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:lower:]' '[:upper:]')
  echo "imports:" "$imports"
  [ -n "$imports" ] && ! grep -vxE '(KERNEL32|USER32|VERSION|MSVCRT|API-MS-WIN-CRT-[A-Z0-9-]+)\.DLL' <<<"$imports"
}
check "hostsim.exe imports system DLLs only" system_imports_only "$shipped/hostsim.exe"
debuglink_matches() {  # BINARY SYMBOLS: the link carries the symbol file's CRC-32 (gzip's trailer holds the same)
  x86_64-w64-mingw32-objcopy --dump-section .gnu_debuglink="$unpacked/link" "$1" "$unpacked/scratch" &&
    [ "$(tail -c 4 "$unpacked/link" | od -An -tx1)" = "$(gzip -c <"$2" | tail -c 8 | head -c 4 | od -An -tx1)" ]
}
for binary in QZ_Lasso.p hostsim.exe; do
  check "$binary is linked to its symbol file in the debug zip" \
    debuglink_matches "$shipped/$binary" "$unpacked/debug/$name/$binary.debug"
done
# The Windows programs run, as on the forge's Windows job.
bash scripts/windows-checks.sh "$shipped" build/windows/bin 2>&1 | tee "$unpacked/windows-checks" || true
sed -n -E 's/^windows checks: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$unpacked/windows-checks" >"$unpacked/counts"
if read -r windows_passed windows_failed <"$unpacked/counts"; then
  check_passed=$((check_passed + windows_passed)) check_failed=$((check_failed + windows_failed))
else
  check_failed=$((check_failed + 1))
  echo "  FAIL  scripts/windows-checks.sh ended before its summary"
fi

if compgen -G "fuzz/*_fuzz.cpp" >/dev/null; then
  echo "== fuzz targets, ${QZ_FUZZ_SECONDS:-60}s each =="
  bash scripts/fuzz.sh "${QZ_FUZZ_SECONDS:-60}"
fi

passed=0 failed=0
while read -r _ total_failed total; do
  failed=$((failed + total_failed)); passed=$((passed + total - total_failed))
done < <(sed -n -E 's/^[0-9]+% tests passed, ([0-9]+) tests failed out of ([0-9]+)$/x \1 \2/p' "$log")
# node:test's summary of the browser tests.
while read -r outcome count; do
  if [ "$outcome" = fail ]; then failed=$((failed + count)); else passed=$((passed + count)); fi
done < <(sed -n -E 's/^ℹ (pass|fail) ([0-9]+)$/\1 \2/p' "$log")
# What scripts/check_workflows.sh counted.
while read -r workflow_passed workflow_failed; do
  passed=$((passed + workflow_passed)) failed=$((failed + workflow_failed))
done < <(sed -n -E 's/^workflow and script checks: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$log")
passed=$((passed + check_passed)) failed=$((failed + check_failed))
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
