#!/usr/bin/env bash
# Configures (the first time only) and builds Quillory into build/ (the
# program lands in build/bin, with an empty database beside it when there is
# none there). Later builds re-run CMake by themselves when a CMakeLists.txt
# changes.
#
#   scripts/build.sh             everything: the program, its manual, the tests
#   scripts/build.sh TARGET...   those targets only (scripts/run.sh: runnable)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
if [ $# -gt 0 ]; then
    cmake --build build --target "$@"
else
    cmake --build build
fi
