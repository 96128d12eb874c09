#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on
# its committed seed corpus (fuzz/corpus/<target>/). Usage: scripts/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-${QZ_FUZZ_SECONDS:-60}}"
bash scripts/setup.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in build/fuzz/bin/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "$work/$name" "fuzz/corpus/$name"
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/$name/" "$work/$name" "fuzz/corpus/$name" >"$work/$name.log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -40 "$work/$name.log"; status=1
  else
    grep -E '^stat::number_of_executed_units|^stat::new_units_added|cov: ' "$work/$name.log" | tail -3
  fi
done
exit $status
