#!/usr/bin/env bash
# The demo from a fresh machine: build the module and hostsim, then take the
# tour of the bundled character rig (examples/), each of the eleven commands on
# a meaningful selection with the scene tree before and after. Arguments go to
# "hostsim tour" (e.g. --color never).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release
build/native-release/bin/hostsim tour "$@"
