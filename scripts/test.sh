#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer configuration, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${QF_JOBS:-2}

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j"$jobs"
(cd build/release && ctest -j"$jobs" --output-on-failure)

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DQF_SANITIZE=ON -DQF_BENCHMARKS=OFF
cmake --build build/asan -j"$jobs"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j"$jobs" --output-on-failure)
