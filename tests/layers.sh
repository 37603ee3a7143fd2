#!/usr/bin/env bash
# Checks that every include in src/ points down: a file includes only from its
# own folder and the folders below it, in this order from the ground up.
#
#   tests/layers.sh [SRC]     checks SRC (default: the project's src/)
#   tests/layers.sh --self-test
#                             checks that the check fails on an upward include
set -euo pipefail

floors=(core errors printing widgets data options customers projects invoice reports export help app tools)

floor_of() {
    local i
    for i in "${!floors[@]}"; do
        [ "${floors[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

check() {
    local src=$1 bad=0 file rel folder own target theirs
    while IFS= read -r file; do
        rel=${file#"$src"/}
        case "$rel" in */*) folder=${rel%%/*} ;; *) continue ;; esac # main.cpp: the top
        own=$(floor_of "$folder")
        if [ "$own" -lt 0 ]; then
            echo "$rel: the folder $folder/ has no place in the list of floors" >&2
            bad=1
            continue
        fi
        while IFS= read -r target; do
            theirs=$(floor_of "$target")
            if [ "$theirs" -gt "$own" ]; then
                echo "$rel: includes from $target/, which stands above $folder/" >&2
                bad=1
            fi
        done < <(sed -n -E 's@^[[:space:]]*#[[:space:]]*include[[:space:]]*"([A-Za-z_]+)/.*@\1@p' "$file")
    done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.in' \) | sort)
    return $bad
}

if [ "${1:-}" = "--self-test" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/core" "$tmp/app" "$tmp/data"
    printf '#include "core/money.h"\n' >"$tmp/app/ok.cpp"
    check "$tmp" || { echo "self-test: a downward include was refused" >&2; exit 1; }
    printf '#include "data/database.h"\n' >"$tmp/core/up.h"
    if check "$tmp" 2>/dev/null; then
        echo "self-test: an upward include passed" >&2
        exit 1
    fi
    rm "$tmp/core/up.h"
    mkdir -p "$tmp/stray" && printf '\n' >"$tmp/stray/x.cpp"
    if check "$tmp" 2>/dev/null; then
        echo "self-test: a folder outside the list passed" >&2
        exit 1
    fi
    echo "self-test: passed"
    exit 0
fi

src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}
check "$src" && echo "every include in $src points down"
