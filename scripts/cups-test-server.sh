#!/usr/bin/env bash
# A private CUPS scheduler for the tests and the benchmark, in a folder of its
# own, listening on its own socket only, with two queues:
#
#   quillory-pdf     the default: writes each job's PDF, as submitted, into
#                    DIR/out/<job id>-<job title>.pdf
#   quillory-reject  refuses every job (cupsreject), as a queue that is
#                    paused for a paper jam does
#
#   scripts/cups-test-server.sh start DIR   starts it (DIR is made afresh)
#   scripts/cups-test-server.sh stop DIR    stops it by the pid it recorded
#   scripts/cups-test-server.sh run DIR COMMAND...
#                                           starts it, runs COMMAND with
#                                           CUPS_SERVER set, stops it
#
# Clients reach it with CUPS_SERVER=DIR/cups.sock; DIR/env holds the lines to
# source for that. The system's own scheduler, if any, is left alone.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop DIR | run DIR COMMAND..." >&2
    exit 2
}
[ $# -ge 2 ] || usage
action=$1
dir=$(realpath -m -- "$2")
shift 2

# Stops the scheduler by the pid it recorded; fails when it does not end,
# or when that pid is no longer this folder's scheduler (which is then left
# alone).
stop() {
    local pid
    [ -f "$dir/cupsd.pid" ] || return 0
    pid=$(cat "$dir/cupsd.pid")
    rm -f "$dir/cupsd.pid"
    [ -r "/proc/$pid/cmdline" ] || return 0 # ended already
    if ! tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "-c $dir/root/cupsd.conf "; then
        echo "$0: pid $pid is not the scheduler of $dir; left alone" >&2
        return 1
    fi
    kill "$pid"
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    sleep 0.2
    if kill -0 "$pid" 2>/dev/null; then
        echo "$0: the scheduler $pid of $dir did not end" >&2
        return 1
    fi
}

start() {
    stop
    rm -rf "$dir"
    mkdir -p "$dir"/{root,spool/tmp,cache,state,log,out,serverbin/backend}
    local socket="$dir/cups.sock"
    if [ ${#socket} -ge 100 ]; then
        echo "$0: the socket path $socket is too long for a socket" >&2
        exit 1
    fi
    # cupsd runs as root and checks that nothing it runs can be changed by
    # others; the folders the jobs pass through belong to its user lp.
    chmod 755 "$dir" "$dir/serverbin" "$dir/serverbin/backend"
    chown lp "$dir/spool" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" 2>/dev/null || true
    chmod 1777 "$dir/spool/tmp"

    cat >"$dir/root/cupsd.conf" <<EOF
Listen $socket
LogLevel info
Browsing No
WebInterface No
DefaultAuthType None
PreserveJobHistory Yes
PreserveJobFiles No
MaxJobs 0
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    cat >"$dir/root/cups-files.conf" <<EOF
ServerRoot $dir/root
ServerBin $dir/serverbin
DataDir /usr/share/cups
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
FileDevice No
SystemGroup root
EOF
    # The scheduler's helpers and filters are the system's.
    local part
    for part in daemon filter cgi-bin driver notifier monitor; do
        [ -e "/usr/lib/cups/$part" ] && ln -s "/usr/lib/cups/$part" "$dir/serverbin/$part"
    done
    # The backend of the PDF queue: the device URI names the folder. A backend
    # that only its owner may run runs as root, so that it can write there.
    cat >"$dir/serverbin/backend/quillory-pdf" <<'EOF'
#!/bin/sh
# CUPS backend: job-id user title copies options [file]
if [ $# -eq 0 ]; then
    echo 'direct quillory-pdf "Unknown" "Quillory test queue writing PDF files"'
    exit 0
fi
out=${DEVICE_URI#quillory-pdf:}
title=$(printf '%s' "$3" | tr -c 'A-Za-z0-9 ._-' '_')
file="$out/$1-$title.pdf"
if [ -n "${6:-}" ]; then cat "$6" >"$file.part"; else cat >"$file.part"; fi || exit 1
mv "$file.part" "$file"
EOF
    chmod 700 "$dir/serverbin/backend/quillory-pdf"
    ln -s /usr/lib/cups/backend/ipp "$dir/serverbin/backend/ipp" 2>/dev/null || true

    cupsd -f -c "$dir/root/cupsd.conf" -s "$dir/root/cups-files.conf" \
        >>"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"

    export CUPS_SERVER="$socket"
    local ready=0
    for _ in $(seq 100); do
        if [ -S "$socket" ] && lpstat -r 2>/dev/null | grep -q "is running"; then
            ready=1
            break
        fi
        kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
        sleep 0.1
    done
    if [ "$ready" -ne 1 ]; then
        echo "$0: cupsd did not start; its log:" >&2
        cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
        stop
        exit 1
    fi
    lpadmin -p quillory-pdf -E -v "quillory-pdf:$dir/out" -D "PDF files"
    lpadmin -p quillory-reject -E -v "quillory-pdf:$dir/out" -D "Refuses jobs"
    cupsreject -r "Paused for a paper jam" quillory-reject
    lpadmin -d quillory-pdf
    printf 'export CUPS_SERVER=%q\nexport QUILLORY_TEST_CUPS=%q\n' "$socket" "$dir" >"$dir/env"
}

case "$action" in
start) start ;;
stop) stop ;;
run)
    [ $# -ge 1 ] || usage
    # The scheduler is stopped however the command or the start ends.
    trap stop EXIT
    start
    CUPS_SERVER="$dir/cups.sock" QUILLORY_TEST_CUPS="$dir" "$@"
    ;;
*) usage ;;
esac
