#!/usr/bin/env bash
# Configures (the first time only) and builds Quillory into build/ (the
# program lands in build/bin, with an empty database beside it when there is
# none there). Later builds re-run CMake by themselves when a CMakeLists.txt
# changes.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build
