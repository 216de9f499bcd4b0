#!/usr/bin/env bash
# Builds the two fuzzers with clang-14 (AddressSanitizer and
# UndefinedBehaviorSanitizer on, our libraries instrumented for coverage) and
# runs each for a number of executions on its kept corpus, which grows with
# what the run finds. A crash leaves its input in the current folder and
# fails the script.
#
#   bench/fuzz_run.sh [RUNS]        (default 1000000 each)
set -euo pipefail
runs=${1:-1000000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DTESSEL_FUZZ=ON \
    -DTESSEL_SANITIZE='address;undefined' -DTESSEL_WITH_UI=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzz_reader fuzz_playlist
for target in reader playlist; do
    echo "== fuzz_$target: $runs executions"
    # Allocations are bounded below FFmpeg's own limit, so one past it is a
    # finding, not noise.
    "$build/bin/fuzz_$target" -runs="$runs" -max_len=16384 -timeout=30 \
        -malloc_limit_mb=600 -rss_limit_mb=4000 -print_final_stats=1 \
        "$root/tests/fuzz/corpus/$target" 2>&1 |
        grep -E '^(#[0-9]+ +DONE|Done|stat::|==[0-9]+== ERROR|SUMMARY)'
done
