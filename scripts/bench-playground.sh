#!/usr/bin/env bash
# The playground page's speed in headless Chromium (docs/performance.md, "In the
# browser"): builds the page and the native release hostsim, then prints the
# figures as Markdown. QZ_BENCH_ITEMS and QZ_BENCH_REPEAT change the generated
# scene's size (default 100000) and the runs per figure (default 5). Time on a
# quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."

extra=()
[ -x /usr/bin/chromium ] || extra+=(chromium)
command -v node >/dev/null || extra+=(nodejs)
command -v npm >/dev/null || extra+=(npm)
bash scripts/setup.sh "${extra[@]}"
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
bash scripts/playground.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target hostsim QZ_Lasso
QZ_HOSTSIM=build/native-release/bin/hostsim node tests/browser/bench.js
