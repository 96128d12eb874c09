#!/usr/bin/env bash
# README's picture of the playground page, docs/playground.png: the demo rig
# with a command run, drawn by the page as built by scripts/playground.sh.
#   bash scripts/docs-screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

extra=()
[ -x /usr/bin/chromium ] || extra+=(chromium)
command -v node >/dev/null || extra+=(nodejs)
command -v npm >/dev/null || extra+=(npm)
bash scripts/setup.sh "${extra[@]}"
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
bash scripts/playground.sh
node tests/browser/screenshot.js "$(realpath -m "${1:-docs/playground.png}")"
