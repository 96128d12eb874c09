#!/usr/bin/env bash
# Redraws the pictures of the user guide, docs/commands/<COMMAND>.svg, one for
# each command, from the steps of docs/commands/tour.txt on the bundled demo
# rig. The test suite fails while a committed picture differs from what the
# build draws; run this after an intended change and review the pictures.
# With --png, also writes a PNG beside each picture for looking at (not for
# committing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh librsvg2-bin libxml2-utils
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target hostsim QZ_Lasso
hostsim=build/native-release/bin/hostsim

png=0
[ "${1:-}" = "--png" ] && png=1

rm -f docs/commands/*.svg
# A step is every line that is neither blank nor a "#" caption; xargs splits
# it as the tour does, keeping double-quoted names whole.
grep -v -E '^[[:space:]]*(#|$)' docs/commands/tour.txt | while IFS= read -r step; do
  command=${step%% *}
  picture=docs/commands/$command.svg
  if [ -e "$picture" ]; then
    echo "docs-pictures: two steps run $command; each command has one picture" >&2
    exit 2
  fi
  printf '%s\n' "$step" | xargs "$hostsim" run --color never --svg "$picture" >/dev/null
  xmllint --noout "$picture"
  if [ "$png" -eq 1 ]; then rsvg-convert "$picture" -o "${picture%.svg}.png"; fi
  echo "$picture"
done
