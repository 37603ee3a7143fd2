#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillory on its database.
#
#   scripts/run.sh [ARGS...]            on build/bin/records.mdb (or whatever
#                                       build/bin/NetworkPath.sfe names)
#   scripts/run.sh --server [ARGS...]   on a throwaway database server: a
#                                       private PostgreSQL server in a temporary
#                                       folder (scripts/pg-test-server.sh), an
#                                       empty database there in which the
#                                       program makes its tables, and a program
#                                       folder of its own whose NetworkPath.sfe
#                                       names it; all of it is stopped (by the
#                                       server's pid) and removed when the
#                                       program ends
set -euo pipefail
cd "$(dirname "$0")/.."
server=0
if [ "${1:-}" = "--server" ]; then
    server=1
    shift
fi
scripts/install-deps.sh
scripts/build.sh
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
scripts/pg-test-server.sh start "$dir/server" >"$dir/env"
# shellcheck disable=SC1091
. "$dir/env"
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
"$bindir/psql" -X -q "$QUILLORY_TEST_SERVER" -c "CREATE DATABASE quillory"
uri=${QUILLORY_TEST_SERVER/\/postgres\?//quillory?}
# The program keeps NetworkPath.sfe beside itself: a copy of it in a folder of
# its own leaves build/bin as it is.
mkdir "$dir/program"
cp build/bin/quillory "$dir/program/"
[ -f build/bin/guide.pdf ] && ln -s "$PWD/build/bin/guide.pdf" "$dir/program/guide.pdf"
printf '%s\r\n' "$uri" >"$dir/program/NetworkPath.sfe"
echo "quillory on $uri (program folder $dir/program)"
"$dir/program/quillory" "$@"
