#!/usr/bin/env bash
# Installs what is missing, builds what running the program needs (the
# CMake target `runnable`: the program, its empty database beside it and its
# manual; not the tests) and starts Quillory on its database. Arguments go to
# the program: scripts/run.sh --database /srv/office/records.mdb
#
#   scripts/run.sh --server [ARGS...]   starts it instead on a throwaway
#                                       database server: a private PostgreSQL
#                                       server in a temporary folder
#                                       (scripts/pg-test-server.sh), with an
#                                       empty database in which the program
#                                       makes its tables, given to this run by
#                                       --database; the server is stopped by
#                                       its pid and its folder removed when the
#                                       program ends
set -euo pipefail
cd "$(dirname "$0")/.."
server=0
if [ "${1:-}" = "--server" ]; then
    server=1
    shift
fi
scripts/install-deps.sh
scripts/build.sh runnable
if [ "$server" -eq 0 ]; then
    exec build/bin/quillory "$@"
fi

dir=$(mktemp -d /tmp/quillory-run.XXXXXX)
# The server runs as an ordinary user, who must reach its folder inside.
chmod 755 "$dir"
stop_server() {
    scripts/pg-test-server.sh stop "$dir/server" || true
    rm -rf "$dir"
}
trap stop_server EXIT
scripts/pg-test-server.sh start "$dir/server" >/dev/null
uri=$(scripts/pg-test-server.sh createdb "$dir/server" quillory)
echo "quillory on $uri"
build/bin/quillory --database "$uri" "$@"
