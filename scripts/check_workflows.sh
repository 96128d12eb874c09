#!/usr/bin/env bash
# The forge's workflows and every shell script, checked before anything is
# built: each workflow in .github/workflows/ against the forge's schema
# (@action-validator/cli, pinned in tests/workflows/), and with shellcheck
# every script in scripts/, .ci/run and every run: block of every workflow,
# in the shell its job runs it with (tests/workflows/run_blocks.py). Prints a
# line a file and "workflow and script checks: N passed, M failed".
set -euo pipefail
cd "$(dirname "$0")/.."

extra=()
command -v shellcheck >/dev/null || extra+=(shellcheck)
command -v node >/dev/null || extra+=(nodejs)
command -v npm >/dev/null || extra+=(npm)
bash scripts/setup.sh python3-yaml "${extra[@]}"
(cd tests/workflows && npm ci --no-audit --no-fund --loglevel=error)
# Debian's python3-yaml is for Debian's python3, whatever else is first on PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
check_scratch=$scratch
# shellcheck source=check.sh
source scripts/check.sh

workflows=(.github/workflows/*.yml)
for workflow in "${workflows[@]}"; do
  check "$workflow: the forge's workflow schema" tests/workflows/node_modules/.bin/action-validator "$workflow"
done
for script in scripts/*.sh .ci/run; do
  check "$script: shellcheck" shellcheck "$script"
done
mkdir "$scratch/blocks"
extracted() { cat "$scratch/errors"; [ ! -s "$scratch/errors" ]; }
"$python" tests/workflows/run_blocks.py "$scratch/blocks" "${workflows[@]}" >"$scratch/blocks.txt" 2>"$scratch/errors" ||
  echo "run_blocks.py failed" >>"$scratch/errors"
check "every run: block is in a shell shellcheck reads" extracted
while IFS= read -r block; do
  check "${block##*/}: shellcheck" shellcheck "$block"
done <"$scratch/blocks.txt"

echo "workflow and script checks: $check_passed passed, $check_failed failed"
[ "$check_failed" -eq 0 ]
