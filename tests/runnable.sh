#!/usr/bin/env bash
# Checks the build of `runnable`, what scripts/run.sh builds before it starts
# the program: it makes the program and its empty database (and the manual,
# where asciidoctor-pdf is installed), and links none of the tests,
# benchmarks, fuzz targets or kill-test programs, which a newcomer who only
# wants to run the program should not wait for.
#
#   tests/runnable.sh BUILD_DIR [TARGET]   (TARGET: runnable; CTest also
#                                         checks that `all` fails)
set -euo pipefail
build=$1
target=${2:-runnable}
commands=$(ninja -C "$build" -t commands "$target")
linked=$(grep -o -- ' -o bin/[^ ]*' <<<"$commands" | sed 's@.*bin/@@' | sort -u)

bad=0
for wanted in quillory quillory-makedb; do
    grep -qx -- "$wanted" <<<"$linked" || { echo "$target does not link $wanted" >&2; bad=1; }
done
grep -q -- 'quillory-makedb [^ ]*/records\.mdb' <<<"$commands" ||
    { echo "$target does not make records.mdb" >&2; bad=1; }
if grep -q '^build guide:' "$build/build.ninja"; then
    grep -q -- 'guide\.pdf' <<<"$commands" || { echo "$target does not make guide.pdf" >&2; bad=1; }
fi
unwanted=$(grep -Ev '^(quillory|quillory-makedb|quillory-screenshots)$' <<<"$linked" || true)
if [ -n "$unwanted" ]; then
    echo "$target links what running does not need:" $unwanted >&2
    bad=1
fi
echo "$target: $(wc -l <<<"$commands") build steps, linking:" $linked
exit $bad
