#!/usr/bin/env bash
# Builds in Release and runs the codec and export benchmarks (Google Benchmark). Not part of
# tools/test.sh. Arguments go to the benchmark binary, e.g. --benchmark_filter=Format.
set -euo pipefail
RAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$RAVIK_ROOT/tools/setup.sh"
ravik_install_missing libbenchmark-dev

cmake -S "$RAVIK_ROOT" -B "$RAVIK_ROOT/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF
cmake --build "$RAVIK_ROOT/build-release" --target ravik_bench
"$RAVIK_ROOT/build-release/benchmarks/ravik_bench" --benchmark_repetitions=9 \
    --benchmark_report_aggregates_only=true "$@"
