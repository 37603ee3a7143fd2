#!/usr/bin/env bash
# The kill test: the program's main window, worked by a random user, is killed
# with SIGKILL at random moments, again and again on one database; after each
# kill the real program must start again on what was left, and nothing that
# was reported saved may be missing or half written (tests/killtest/).
#
#   scripts/killtest.sh                       50 trials
#   scripts/killtest.sh --trials 1000         more
#   scripts/killtest.sh --seed 42             the same kills again
#   scripts/killtest.sh --dir /tmp/kills      keep the program directory
#
# Prints its figures as "name: value" lines (kill_trials, lost_committed,
# half_written and more) and fails on any loss.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
build/bin/quillory-killtest --trials 50 "$@"
