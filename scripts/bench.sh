#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all: every command on generated
# scenes of 10^3 to 10^6 items against its replayed host calls, then the
# wildcard matcher against fnmatch(3). Prints the tables, keeps the raw output
# and data in build/bench/results/ and redraws the plot in docs/.
# Usage: scripts/bench.sh [largest scene size, default 1000000] [Google Benchmark flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
max_size="${1:-1000000}"
shift || true
bash scripts/setup.sh libbenchmark-dev gnuplot-nox
cmake --preset bench >/dev/null
cmake --build --preset bench -j2
results=build/bench/results
mkdir -p "$results"

echo "== commands through hostsim (scenes up to $max_size items) =="
build/bench/bin/command_bench --qz_max_size="$max_size" --qz_data="$results/commands.tsv" \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@" | tee "$results/commands.txt"

if [ -x build/bench/bin/matcher_bench ]; then
  echo "== wildcard matcher =="
  build/bench/bin/matcher_bench "$@" | tee "$results/matcher.txt"
fi

gnuplot -e "data='$results/commands.tsv'; output='docs/performance-time-per-item.png'" bench/time_per_item.gp \
  && echo "plot: docs/performance-time-per-item.png" || echo "plot: not drawn (some shape without data?)"
