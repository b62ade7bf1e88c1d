#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer configurations, runs every test:
# all of them normal and under ASan/UBSan, the threaded parts again under ThreadSanitizer.
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

# The code that runs on many threads at once: the stand-in, the record tables, the list matcher,
# the filter and the provider.
tsan_tests=(win32_tests winsock_tests sockrec_tests addrrec_tests termscan_tests filter_tests spi_tests qfcommon_tests
  vtlogger_tests vtmessage_tests)
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQF_TSAN=ON -DQF_BENCHMARKS=OFF
cmake --build build/tsan -j"$jobs" --target "${tsan_tests[@]}"
labels=$(IFS='|'; echo "^(${tsan_tests[*]})\$")
# ThreadSanitizer does not follow a child that starts threads after a multi-threaded fork, so the
# fork tests run in the other two configurations only.
(cd build/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest -j"$jobs" -L "$labels" \
  -E '^Stacks/ForkTest\.' --output-on-failure)

# The Windows build: the same sources for 32-bit Windows with mingw-w64, their tests under Wine.
scripts/build-windows.sh
