#!/usr/bin/env bash
# The playground page tested in Debian's Chromium, headless, against native
# hostsim: builds the page (scripts/playground.sh) and the native hostsim it is
# compared with, installs the pinned test packages, and runs tests/browser.
#   bash scripts/browser-test.sh [TEST FILE (in tests/browser) ...]
# QZ_PLAYGROUND=DIR tests a page folder that is already built (an unpacked
# release, say) instead of building one; QZ_HOSTSIM=PROGRAM compares with a
# hostsim that is already built (the shipped hostsim.exe on Windows, say)
# instead of building native hostsim; QZ_PARITY_RUNS=N changes the number of
# random runs compared with it (default 200).
set -euo pipefail
cd "$(dirname "$0")/.."

# On Windows (Git Bash) Node and the browser are the machine's own: nothing
# to install, and $QZ_CHROMIUM names the browser.
case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*) ;;
  *)
    extra=()
    [ -x /usr/bin/chromium ] || extra+=(chromium)
    # Debian 12's own Node is 18; the pinned playwright-core runs on it and on newer ones.
    command -v node >/dev/null || extra+=(nodejs)
    command -v npm >/dev/null || extra+=(npm)
    bash scripts/setup.sh "${extra[@]}"
    ;;
esac

(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)

if [ -z "${QZ_PLAYGROUND:-}" ]; then
  bash scripts/playground.sh
fi
# A no-op after scripts/test.sh's native build.
if [ -z "${QZ_HOSTSIM:-}" ]; then
  cmake --preset native-test >/dev/null
  cmake --build --preset native-test --target hostsim QZ_Lasso
fi

cd tests/browser
files=("$@")
[ ${#files[@]} -gt 0 ] || files=(*.test.js)
QZ_HOSTSIM="${QZ_HOSTSIM:-build/native-test/bin/hostsim}" node --test --test-reporter=spec "${files[@]}"
