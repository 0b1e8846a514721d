#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang in build-fuzz and runs
# each over its committed corpus, which also holds every input that once
# made a target fail.
#
#   bash tests/run_fuzzers.sh                 a short, fixed number of runs each
#                                             (FUZZ_RUNS=N sets the number)
#   bash tests/run_fuzzers.sh --long SECONDS  fuzz each target for SECONDS
#
# New inputs found go to a temporary folder, not into the committed corpus;
# a failing input is written as build-fuzz/crash-<target>-*: copy it into
# tests/fuzz/corpus/<target>/ to keep it as a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/debian_packages.sh

require_packages cmake make clang libclang-rt-14-dev libicu-dev pkg-config

# Runs per target for the short check: about half a minute each.
declare -A runs=([fuzz_wildcard]=100000 [fuzz_command_line]=100000 [fuzz_sort_key]=10000)
seconds=
if [[ ${1:-} == --long ]]; then
    seconds=${2:-600}
fi

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DBUILD_FUZZERS=ON -DBUILD_TESTING=OFF -DWARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_wildcard fuzz_command_line fuzz_sort_key

found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
for target in fuzz_wildcard fuzz_command_line fuzz_sort_key; do
    echo "=== $target"
    mkdir -p "$found/$target"
    if [[ -n $seconds ]]; then
        limit=(-max_total_time="$seconds")
    else
        limit=(-runs="${FUZZ_RUNS:-${runs[$target]}}" -seed=1)
    fi
    log="$found/$target.log"
    if ! build-fuzz/bin/$target "${limit[@]}" -max_len=512 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/crash-$target-" "$found/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "=== $target FAILED (the failing input is in build-fuzz/crash-$target-*)"
        exit 1
    fi
    grep -E '^(Done|stat::peak_rss_mb)' "$log"
done
echo "=== fuzzers passed"
