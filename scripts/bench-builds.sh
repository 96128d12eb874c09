#!/usr/bin/env bash
# The file users run against the one we test most: every command of the
# Windows DLL (QZ_Lasso.p, timed by hostsim.exe under Wine) beside the Linux
# .so (timed by hostsim natively), each against the replay of its own host
# calls, on the bench's generated scenes. Release builds of both; one run on
# one machine. Prints the tables and keeps each run's JSON in build/bench/builds/.
# Usage: scripts/bench-builds.sh [repetitions, default 7] [scene sizes, default 10000 1000000]
set -euo pipefail
cd "$(dirname "$0")/.."
repeat="${1:-7}"
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 1000000)

bash scripts/setup.sh python3
for preset in native-release windows-release; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target hostsim QZ_Lasso
done
# shellcheck source=wine-env.sh
source scripts/wine-env.sh

results=build/bench/builds
rm -rf "$results"
mkdir -p "$results"

walks=(QZ_Sel_Child QZ_Add_Child QZ_Sel_Sibling QZ_Sel_Throwback QZ_Sel_Parent QZ_Add_Parent QZ_Sel_Descendant
  QZ_Sel_Hierarchy)
scene_wide=(QZ_Sel_AllNulls QZ_Sel_AllObjects)
# The bench's three searches: label, pattern, kind.
searches=("objects|*_L_*|object" "bones|Arm_?_00?|bone" "dotted|Body_0*.Arm_*|object")

# The walks that grow with the square of the scene on these shapes: the
# sibling walk's k x m where one parent holds them all, and every item's
# climb or descent along a chain of a thousand. At a million items they run
# for minutes, past any timeout, as they do past the bench's budget.
over_budget() {
  local walk="$1" shape="$2" pick="$3" size="$4"
  [ "$size" -gt 100000 ] || return 1
  case "$walk/$shape/$pick" in
    QZ_Sel_Sibling/wide/1% | QZ_Sel_Sibling/wide/all | QZ_Sel_Sibling/mixed/1% | QZ_Sel_Sibling/mixed/all) return 0 ;;
    QZ_Sel_Throwback/deep/all | QZ_Sel_Descendant/deep/all | QZ_Sel_Hierarchy/deep/all) return 0 ;;
  esac
  return 1
}

# One build's hostsim, its arguments, into one JSON file.
time_into() {
  local build="$1" file="$2"
  shift 2
  if [ "$build" = so ]; then
    build/native-release/bin/hostsim time "$@" --repeat "$repeat" --json >"$results/$file.json"
  else
    (cd build/windows-release/bin && wine hostsim.exe time "$@" --repeat "$repeat" --json) >"$results/$file.json"
  fi
}

for size in "${sizes[@]}"; do
  for shape in wide deep balanced mixed; do
    # The builds side by side per scene, so a slow spell of the machine
    # touches both rather than one.
    for build in so dll; do
      echo "bench-builds: $build, $shape, $size items"
      for pick in one 1% all; do
        commands=()
        for walk in "${walks[@]}"; do
          over_budget "$walk" "$shape" "$pick" "$size" || commands+=("$walk")
        done
        time_into "$build" "$build-$size-$shape-$pick" "${commands[@]}" --shape "$shape" --items "$size" --pick "$pick"
      done
      time_into "$build" "$build-$size-$shape-scene" "${scene_wide[@]}" --shape "$shape" --items "$size" --pick none
      for search in "${searches[@]}"; do
        IFS='|' read -r label pattern kind <<<"$search"
        time_into "$build" "$build-$size-$shape-$label" QZ_Sel_ByName --shape "$shape" --items "$size" --pick one \
          --pattern "$pattern" --kind "$kind"
      done
    done
  done
done

python3 scripts/time_tables.py "$results" "$repeat" | tee "$results/tables.md"
