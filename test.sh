#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once in a warning-free
# optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer; then runs
# each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh --tests

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build: release, -Wall -Wextra -Werror"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRO_WERROR=ON -DTAVRO_TESTS=ON
cmake --build build/release -j "$jobs"
echo "== tests: release"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== build: AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRO_SANITIZE=ON -DTAVRO_WERROR=ON -DTAVRO_TESTS=ON
cmake --build build/sanitize -j "$jobs"
echo "== tests: sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

echo "== fuzzing: each target for a short while (fuzz/README.md: longer runs)"
fuzz/run.sh 10
