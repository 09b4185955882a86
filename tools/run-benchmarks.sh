#!/usr/bin/env bash
# Runs every benchmark of the build directory given (default build/) a few
# times; figures are read as medians over the repetitions.
set -euo pipefail
build=${1:-build}
for bench in "$build"/bench/*/bench_*; do
    [ -x "$bench" ] || continue
    echo "== $bench"
    "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
for script in bench/*/*.sh; do
    [ -x "$script" ] || continue
    echo "== $script"
    "$script" "$build"
done
