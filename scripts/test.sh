#!/usr/bin/env bash
# Installs what is missing, starts a private PostgreSQL server for the tests
# (scripts/pg-test-server.sh; the server rows of the stores' tests and the
# server's own tests run there), builds, and runs every test through CTest; then
# kills the program 50 times at random moments and checks that nothing
# reported saved was lost (scripts/killtest.sh), builds and runs the whole
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (scripts/sanitize.sh), runs each fuzz target over the same 200,000
# inputs every time (scripts/fuzz.sh), and builds the Debian package and
# installs it in a fresh Debian 12 root, where an ordinary user adds a
# customer (scripts/install-test.sh). This is what CI runs.
#
# The tests that print go to a private CUPS scheduler, which CTest itself
# starts before them and stops by its pid after them
# (scripts/cups-test-server.sh), in the normal and the sanitizer suite alike.
#
#   scripts/test.sh           all five
#   scripts/test.sh --quick   only the normal build and suite
#
# QUILLORY_FUZZ_RUNS sets how many inputs each fuzz target tries.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
for arg in "$@"; do
    case "$arg" in
    --quick) quick=1 ;;
    *)
        echo "usage: $0 [--quick]" >&2
        exit 2
        ;;
    esac
done

scripts/install-deps.sh

# Each stage runs even when one before it failed, so that one run tells
# everything; the run fails when any stage did.
passed=0
failed=0
stage() {
    echo "==== $1"
    local name=$1 began=$SECONDS
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "==== failed: $*"
        failed=$((failed + 1))
    fi
    echo "==== $name: $((SECONDS - began)) s"
}

# The test server lives in a folder of its own, listens only on a socket there,
# and is stopped by its pid when this script ends. The variables name it even
# when it did not start, so that the server rows fail rather than skip.
pgdir=$(mktemp -d /tmp/quillory-pg.XXXXXX)
stop_server() {
    scripts/pg-test-server.sh stop "$pgdir" || true
    rm -rf "$pgdir"
}
trap stop_server EXIT
eval "$(scripts/pg-test-server.sh env "$pgdir")"
start_server() { scripts/pg-test-server.sh start "$pgdir" >/dev/null; }
stage "the test server" start_server

normal_suite() {
    scripts/build.sh && QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
}

stage "the test suite" normal_suite
if [ "$quick" -eq 0 ]; then
    stage "the kill test" scripts/killtest.sh
    stage "the test suite under the sanitizers" scripts/sanitize.sh
    stage "the fuzz targets" env QUILLORY_FUZZ_RUNS="${QUILLORY_FUZZ_RUNS:-200000}" scripts/fuzz.sh
    stage "the package, installed in a fresh Debian 12" scripts/install-test.sh
fi

echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
