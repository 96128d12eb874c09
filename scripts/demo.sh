#!/usr/bin/env bash
# The demo from a fresh machine: build the module and hostsim, then show what
# the module presents to the host.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release
build/native-release/bin/hostsim "$@"
