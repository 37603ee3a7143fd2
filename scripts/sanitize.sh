#!/usr/bin/env bash
# Builds everything in build-asan/ with AddressSanitizer (LeakSanitizer on) and
# UndefinedBehaviorSanitizer, and runs the whole test suite there. The first
# report of any of them ends the program that made it with a failure, so any
# report fails the run. Leaks inside the platform libraries are suppressed by
# scripts/lsan-suppressions.txt; the program's own never are.
#
#   scripts/sanitize.sh                 build and run every test
#   scripts/sanitize.sh -R test_money   arguments go to ctest
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLORY_SANITIZE=ON
cmake --build build-asan -j2

source scripts/sanitizer-env.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-asan --output-on-failure "$@"
