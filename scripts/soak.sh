#!/usr/bin/env bash
# The long soak: every command in a loop on a mid-size scene, natively (release
# build) and as a Windows program under Wine against the DLL. Each run must
# repeat its case's first result and the process's memory must stay flat.
# Usage: scripts/soak.sh [activations, default 110000]
set -euo pipefail
cd "$(dirname "$0")/.."
activations="${1:-110000}"
bash scripts/setup.sh

echo "== native (release) =="
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target soak
build/native-release/bin/soak --activations "$activations"

echo "== Windows DLL under Wine =="
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target soak
wine build/windows/bin/soak.exe --activations "$activations"
