#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang and libFuzzer (with
# AddressSanitizer and UndefinedBehaviorSanitizer) in build-fuzz/, and runs
# each from its seed corpus in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh                      every target, 30 s each, a new seed
#   scripts/fuzz.sh fuzz_money           only the targets named
#   QUILLORY_FUZZ_SECONDS=5 scripts/fuzz.sh
#   QUILLORY_FUZZ_RUNS=200000 scripts/fuzz.sh
#
# With QUILLORY_FUZZ_RUNS each target runs that many inputs from the fixed
# seed 1 and only the repository's corpus, so that two runs of one commit try
# the same inputs: scripts/test.sh (and so CI) runs it this way, and a fault it
# reports is one that anybody can repeat. Without it, each run tries new inputs
# for the given time; that is the way to look for new faults.
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
runs="${QUILLORY_FUZZ_RUNS:-}"

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
    if [ -n "$runs" ]; then
        echo "== $target for $runs inputs from seed 1"
        # A fresh corpus folder each time: inputs kept from an earlier run
        # would change what this one tries.
        rm -rf "build-fuzz/corpus-repeatable/$target"
        mkdir -p "build-fuzz/corpus-repeatable/$target"
        bound=(-runs="$runs" -seed=1)
        corpus="build-fuzz/corpus-repeatable/$target"
    else
        echo "== $target for ${seconds} s"
        bound=(-max_total_time="$seconds")
        corpus="build-fuzz/corpus/$target"
    fi
    # New inputs go to the build folder's corpus; the seeds in the repository
    # are only read.
    if "build-fuzz/bin/$target" "${bound[@]}" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target/" \
        "$corpus" "fuzz/corpus/$target" > "$log" 2>&1; then
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
