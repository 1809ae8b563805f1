#!/usr/bin/env bash
# Builds the fuzz targets in fuzz/ with clang, libFuzzer and the address and
# undefined-behaviour sanitizers, then runs each for a bounded time on a copy of its
# seed corpus (fuzz/corpus/<target>/ is never changed). Fails on any finding: a crash,
# a broken property, a sanitizer report, a leak, a timeout or running out of memory.
# Prints libFuzzer's closing lines for each target, the executions among them.
#
# Environment: FUZZ_SECONDS (per target, default 60), FUZZ_BUILD_DIR (default
# build/fuzz), JOBS (default: the number of processors).
# Findings are kept in $FUZZ_BUILD_DIR/runs/<target>/findings/; replay one with
#   $FUZZ_BUILD_DIR/fuzz/fuzz_<target> <file>
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}
targets=(key_string profile_file startup)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQUINTARO_FUZZ=ON >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

# The profile and start-up targets write real files for every input; a folder in memory
# keeps them from waiting on the disk (each write is synced).
scratch_parent=/dev/shm
[ -d "$scratch_parent" ] && [ -w "$scratch_parent" ] || scratch_parent=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_parent/quintaro-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in "${targets[@]}"; do
    run="$build/runs/$target"
    rm -rf "$run"
    mkdir -p "$run/corpus" "$run/findings"
    cp -R "$root/fuzz/corpus/$target/." "$run/corpus/"
    echo "fuzz: $target for $seconds s"
    status=0
    TMPDIR=$scratch "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$run/findings/" \
        "$run/corpus" >"$run/log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || [ -n "$(ls -A "$run/findings")" ]; then
        echo "fuzz: $target FOUND A FAULT (exit $status); the log's end:" >&2
        tail -n 40 "$run/log" >&2
        ls "$run/findings" >&2
        failed+=("$target")
        continue
    fi
    echo "fuzz: $target: $(grep -E '^Done [0-9]+ runs' "$run/log" | tail -n 1)," \
        "$(find "$run/corpus" -type f | wc -l) inputs in its corpus"
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$run/log" |
        sed 's/^/    /'
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: findings in ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: no findings in ${targets[*]}"
