#!/usr/bin/env bash
# Installs what is missing, builds what running the program needs (the
# CMake target `runnable`: the program, its empty database beside it and its
# manual; not the tests) and starts Quillory on its database. Arguments go to
# the program: scripts/run.sh --database /srv/office/records.mdb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh runnable
exec build/bin/quillory "$@"
