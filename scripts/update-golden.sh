#!/usr/bin/env bash
# Rewrites the golden transcript of the demo tour (tests/golden/tour.txt) from
# the module as built now. Run it after an intended change in what the module
# sends, then review the diff and commit it with the change.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release
build/native-release/bin/hostsim tour --transcript > tests/golden/tour.txt
git --no-pager diff --stat -- tests/golden/tour.txt
