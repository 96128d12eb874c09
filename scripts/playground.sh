#!/usr/bin/env bash
# Builds the playground page into dist/playground/: the page's own files from
# hostsim/web/page/ and qz_lasso.js, the module with hostsim's scene reader and
# host compiled to WebAssembly by emscripten (the "web" preset), with the
# WebAssembly inside it. Open dist/playground/index.html in a browser, from
# disk or any server: it fetches nothing from anywhere.
#
#   bash scripts/playground.sh
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
  "") ;;
  -h | --help) sed -n '2,8s/^# \{0,1\}//p' "$0"; exit 0 ;;
  *) echo "playground: unknown option '$1'" >&2; exit 2 ;;
esac

bash scripts/setup.sh emscripten node-acorn
# emcc's JavaScript optimizer needs Debian's acorn, which a Node that did not
# come from Debian does not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# emcc works behind ccache, as the other builds do.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi

cmake --preset web >/dev/null
cmake --build --preset web

out=dist/playground
rm -rf "$out"
mkdir -p "$out"
cp -R hostsim/web/page/. "$out/"
cp build/web/bin/qz_lasso.js "$out/"
[ -f "$out/index.html" ] || echo "playground: note: hostsim/web/page/ has no index.html yet" >&2
echo "playground: $out/ ($(du -sk "$out" | cut -f1) KiB): open $out/index.html in a browser"
