#!/usr/bin/env bash
# The whole test suite from a fresh machine: the direction of hostsim's layers
# (scripts/check_layers.sh), a native build under AddressSanitizer
# and UBSan, then the Windows DLL cross-built, inspected, and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "== hostsim's layers =="
bash scripts/check_layers.sh

echo "== native (ASan + UBSan) =="
cmake --preset native-test >/dev/null
cmake --build --preset native-test
ctest --preset native-test -j2 2>&1 | tee -a "$log"

echo "== Windows DLL under Wine =="
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows 2>&1 | tee -a "$log"

if compgen -G "fuzz/*_fuzz.cpp" >/dev/null; then
  echo "== fuzz targets, ${QZ_FUZZ_SECONDS:-60}s each =="
  bash scripts/fuzz.sh "${QZ_FUZZ_SECONDS:-60}"
fi

passed=0 failed=0
while read -r _ total_failed total; do
  failed=$((failed + total_failed)); passed=$((passed + total - total_failed))
done < <(sed -n -E 's/^[0-9]+% tests passed, ([0-9]+) tests failed out of ([0-9]+)$/x \1 \2/p' "$log")
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
