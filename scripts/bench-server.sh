#!/usr/bin/env bash
# Times the program on a database server next to the file: starts a
# throwaway PostgreSQL server in a temporary folder (scripts/pg-test-server.sh,
# here durable as a real server is: every commit waits for the disk), makes an
# empty database there, and runs quillory-bench on both with the options given
# (for example --customers 10000), printing each figure of the server as
# server_<figure> and of its bare queries as server_bare_<figure>. The server
# is stopped by its pid when the benchmark ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
dir=$(mktemp -d /tmp/quillory-bench-pg.XXXXXX)
stop_server() {
    scripts/pg-test-server.sh stop "$dir" || true
    rm -rf "$dir"
}
trap stop_server EXIT
QUILLORY_PG_OPTIONS="-c fsync=on -c synchronous_commit=on -c full_page_writes=on \
    -c shared_buffers=512MB -c max_wal_size=4GB" \
    scripts/pg-test-server.sh start "$dir" >/dev/null
uri=$(scripts/pg-test-server.sh createdb "$dir" quillory_bench)
# The reports go to a private CUPS scheduler, never to this machine's printer.
QT_QPA_PLATFORM=offscreen scripts/cups-test-server.sh run "$dir/cups" \
    build/bin/quillory-bench --server "$uri" "$@"
