#!/usr/bin/env bash
# Builds in release mode and prints the benchmark figures.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DRETRACER_BUILD_APP=OFF >/dev/null
cmake --build build-release -j"$(nproc 2>/dev/null || echo 2)" --target retracer_bench
build-release/bench/retracer_bench --benchmark_counters_tabular=true "$@"
