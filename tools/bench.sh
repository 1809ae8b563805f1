#!/usr/bin/env bash
# The benchmark (bench/), in one command: builds what it needs, then runs the harness
# under Wine on a private virtual display. The preselector's watcher is timed against a
# busy loop and a 100 ms sleep-and-look loop, then the launcher against a volume control
# that appears late. Prints one table; writes it (bench-table.md), every opening's
# figures (openings.csv) and the stand-ins' logs to the results folder.
#
#   tools/bench.sh [harness options...]   e.g. --openings=100 --idle-seconds=60 --seed=1
#
# Options are the harness's (bench/README.md, or --help). Times and CPU are reported,
# never checked: the exit status says only whether the harness ran.
#
# Environment: WIN_BUILD_DIR (default build/win), BENCH_RESULTS (default
# WIN_BUILD_DIR/bench-results; emptied first), JOBS (default: the processors), and
# those of tools/on-wine-desktop.sh.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
win_build=${WIN_BUILD_DIR:-$root/build/win}
results=${BENCH_RESULTS:-$win_build/bench-results}
jobs=${JOBS:-$(nproc)}

"$root/tools/install-deps.sh"
mkdir -p "$win_build"
build_log="$win_build/bench-build.log"
if ! {
    cmake -S "$root" -B "$win_build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" &&
        cmake --build "$win_build" -j "$jobs" --target quintaro_bench bench_busy_watcher \
            bench_sleep_watcher e2e_stage standin_shutdown standin_sndvol32
} >"$build_log" 2>&1; then
    cat "$build_log" >&2
    echo "bench: the build failed" >&2
    exit 1
fi
# Which sources were measured (a read-only look at the repository).
echo "bench: sources at $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown)"

"$root/tools/on-wine-desktop.sh" "$win_build" "$results" quintaro_bench.exe "$@"
echo "bench: results in $results"
