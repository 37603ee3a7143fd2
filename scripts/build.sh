#!/usr/bin/env bash
# Configures and builds Quillory into build/ (the program lands in build/bin,
# with an empty database beside it when there is none there).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
