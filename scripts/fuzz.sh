#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang and libFuzzer (with
# AddressSanitizer and UndefinedBehaviorSanitizer) in build-fuzz/, and runs
# each for a bounded time from its seed corpus in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh                      every target, 30 s each
#   scripts/fuzz.sh fuzz_money           only the targets named
#   QUILLORY_FUZZ_SECONDS=5 scripts/fuzz.sh
#
# Each target prints "<target>: N executions" at its end. An input that breaks
# a target's rule (or makes a sanitizer report) fails the run and is kept as
# build-fuzz/findings/<target>/crash-*; replay it with
#   build-fuzz/bin/<target> FILE
# then fix the fault, add the input to fuzz/corpus/<target>/ and a test of it
# to tests/. Inputs that only reach new code stay in build-fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${QUILLORY_FUZZ_SECONDS:-30}"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLORY_FUZZ=ON
cmake --build build-fuzz -j2 --target fuzzers

if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < build-fuzz/fuzzers.txt
fi

source scripts/sanitizer-env.sh
failed=()
for target in "${targets[@]}"; do
    [ -n "$target" ] || continue
    mkdir -p "build-fuzz/corpus/$target" "build-fuzz/findings/$target"
    log="build-fuzz/findings/$target.log"
    echo "== $target for ${seconds} s"
    # New inputs go to the build folder's corpus; the seeds in the repository
    # are only read.
    if "build-fuzz/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target/" \
        "build-fuzz/corpus/$target" "fuzz/corpus/$target" > "$log" 2>&1; then
        status=0
    else
        status=$?
    fi
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log"
        failed+=("$target")
    fi
    echo "$target: ${executions:-0} executions"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs in build-fuzz/findings/)"
    exit 1
fi
