#!/usr/bin/env bash
# A private PostgreSQL server for the tests, in a folder of its own: it listens
# only on a Unix socket in that folder, never on the network, and runs as an
# ordinary user (the server refuses root), which is made when missing.
#
#   scripts/pg-test-server.sh start DIR   initdb when DIR holds no cluster yet,
#                                         start the server, print its variables
#   scripts/pg-test-server.sh stop DIR    stop the server by its pid (fast
#                                         shutdown) and wait until it is gone;
#                                         also any server of a folder in DIR
#                                         (a test's own, which it stops and
#                                         starts, left by a test that died)
#   scripts/pg-test-server.sh env DIR     print the variables again
#   scripts/pg-test-server.sh createdb DIR NAME
#                                         make the database NAME (letters,
#                                         digits and "_") on the running
#                                         server, print its URI
#
# The variables, as lines for `eval`:
#   QUILLORY_TEST_SERVER   URI of the server's "postgres" database as its
#                          superuser; the tests make a database of their own
#                          on it for each case
#   QUILLORY_TEST_SERVER_SCRIPT  this script, so that a test can stop and
#                          start the server itself
#   QUILLORY_TEST_SERVER_DIR     DIR
# The role quillory_pw (password "secret-pw") must give its password over the
# socket; every other role is trusted.
#
# QUILLORY_PG_OPTIONS, when set, holds more server options ("-c name=value"
# ...) given after the defaults, so that they win: the benchmark's server is
# durable again.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop|env DIR | createdb DIR NAME" >&2
    exit 2
}
[ $# -ge 2 ] || usage
action=$1
if [ "$action" = createdb ]; then
    [ $# -eq 3 ] || usage
    name=$3
    [[ $name =~ ^[a-z_][a-z0-9_]*$ ]] || {
        echo "$0: a database name is lower-case letters, digits and _: $name" >&2
        exit 2
    }
else
    [ $# -eq 2 ] || usage
fi
dir=$(realpath -m "$2")
script=$(realpath "$0")

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bindir/pg_ctl" ] || {
    echo "$0: no PostgreSQL server found (scripts/install-deps.sh installs postgresql-15)" >&2
    exit 1
}

port=54329
data="$dir/data"
pidfile="$dir/server.pid"
superuser=quillory
pwrole=quillory_pw
pwsecret=secret-pw

# The server refuses to run as root: as root it runs as an ordinary user of
# its own, otherwise as the user running this script.
runas=()
owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    owner=quillory-pg
    if ! id -u "$owner" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$owner"
    fi
    runas=(runuser -u "$owner" --)
fi

# The URI of a database on the server, as its superuser.
uri_of() {
    echo "postgresql:///$1?host=$dir&port=$port&user=$superuser"
}

print_env() {
    echo "export QUILLORY_TEST_SERVER='$(uri_of postgres)'"
    echo "export QUILLORY_TEST_SERVER_SCRIPT='$script'"
    echo "export QUILLORY_TEST_SERVER_DIR='$dir'"
}

running_pid() {
    [ -f "$pidfile" ] || return 1
    local pid
    pid=$(cat "$pidfile")
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

case "$action" in
start)
    mkdir -p "$dir"
    chown "$owner" "$dir"
    chmod 700 "$dir"
    if [ ! -f "$data/PG_VERSION" ]; then
        "${runas[@]}" "$bindir/initdb" -D "$data" -U "$superuser" -A trust -E UTF8 \
            --locale=C.UTF-8 --no-sync >"$dir/initdb.log" 2>&1 || {
            cat "$dir/initdb.log" >&2
            exit 1
        }
        # The password role first: pg_hba.conf is read top down.
        {
            echo "local all $pwrole scram-sha-256"
            echo "local all all trust"
        } >"$data/pg_hba.conf"
        chown "$owner" "$data/pg_hba.conf"
    fi
    if pid=$(running_pid); then
        print_env
        exit 0
    fi
    # Speed over durability: the data is thrown away after the run.
    "${runas[@]}" "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -p $port \
            -c fsync=off -c synchronous_commit=off -c full_page_writes=off \
            -c max_connections=200 -c shared_buffers=32MB ${QUILLORY_PG_OPTIONS:-}" start >/dev/null || {
        cat "$dir/server.log" >&2
        exit 1
    }
    head -n 1 "$data/postmaster.pid" >"$pidfile"
    psql=("$bindir/psql" -X -q -h "$dir" -p "$port" -U "$superuser" -d postgres -v ON_ERROR_STOP=1)
    if ! "${psql[@]}" -tAc "SELECT 1 FROM pg_roles WHERE rolname='$pwrole'" | grep -q 1; then
        "${psql[@]}" -c "CREATE ROLE $pwrole LOGIN CREATEDB PASSWORD '$pwsecret'"
    fi
    print_env
    ;;
stop)
    for inner in "$dir"/*/server.pid; do
        [ -f "$inner" ] && "$0" stop "$(dirname "$inner")"
    done
    if pid=$(running_pid); then
        # SIGINT is the server's fast shutdown: sessions are ended, nothing
        # waits for them.
        kill -INT "$pid"
        tail --pid="$pid" -s 0.05 -f /dev/null
    fi
    rm -f "$pidfile"
    ;;
env)
    print_env
    ;;
createdb)
    running_pid >/dev/null || {
        echo "$0: no server runs in $dir" >&2
        exit 1
    }
    "$bindir/psql" -X -q -v ON_ERROR_STOP=1 "$(uri_of postgres)" -c "CREATE DATABASE $name"
    uri_of "$name"
    ;;
*)
    usage
    ;;
esac
