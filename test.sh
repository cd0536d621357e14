#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a Release build (the build type
# users pick), then the core and its unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then replays the fuzzing corpus and fuzzes every reader for a short
# time (clang, same sanitizers). Warnings are errors in all three.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DRETRACER_WERROR=ON
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DRETRACER_SANITIZE=ON -DRETRACER_BUILD_APP=OFF \
    -DRETRACER_WERROR=ON
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs")

# Every harness over its corpus (regression inputs included), then 20 seconds of fuzzing each,
# two at a time.
export FUZZ_PARALLEL=2
./scripts/fuzz.sh --replay
FUZZ_FRESH=1 ./scripts/fuzz.sh 20
