#!/usr/bin/env bash
# Valgrind memcheck over the native test suite and a short soak, built without
# sanitizers (release code with debug info, so reports name lines). Any
# memory error or leak fails the script. Usage: scripts/valgrind.sh [gtest filter]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh valgrind
build=build/valgrind
cmake --preset native-release -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full "--show-leak-kinds=definite,indirect"
  "--errors-for-leak-kinds=definite,indirect" --track-origins=yes --quiet)
echo "== memcheck: qz_tests =="
"${memcheck[@]}" "$build/bin/qz_tests" --gtest_brief=1 ${1:+--gtest_filter="$1"}
echo "== memcheck: soak =="
"${memcheck[@]}" "$build/bin/soak" --activations 2000 --scene-size 500 --memory-limit-kib 1048576
echo "valgrind: no errors"
