#!/usr/bin/env bash
# The benchmark (bench/), in one command: builds what it needs, then runs the harness
# under Wine on a private virtual display. The preselector's watcher is timed against a
# busy loop and a 100 ms sleep-and-look loop, on a busy desktop beside the event floor,
# then the launcher against a volume control that appears late; last, on the host, the
# idle watcher's wakes on the simulated desktop. Prints the tables; writes them
# (bench-table.md, sim-wakes.md), every opening's figures (openings.csv) and the
# stand-ins' logs to the results folder.
#
#   tools/bench.sh [harness options...]   e.g. --openings=100 --idle-seconds=60 --seed=1
#
# Options are the harness's (bench/README.md, or --help). Times and CPU are reported,
# never checked: the exit status says only whether the harness ran.
#
# It runs the 32-bit programs where they run, else the 64-bit ones. Environment:
# QUINTARO_ARCH, BENCH_RESULTS (default: bench-results/ in the arch's tree; emptied
# first), JOBS, and those of tools/on-wine-desktop.sh.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"

"$root/tools/install-deps.sh" >/dev/null
arch=$(windows_arch_preferred)
tree=$(windows_tree "$arch")
windows_build "$arch" quintaro_bench bench_busy_watcher bench_sleep_watcher bench_event_floor \
    e2e_stage standin_shutdown standin_sndvol32 standin_desktop
# dormello-stock (--watchers): the preselector built with Debian's stock toolchain, beside
# the 80486 build, both timed in the same run.
if [[ " $* " == *dormello-stock* ]]; then
    stock=$root/build/stock
    BUILD_ROOT=$stock QUINTARO_STOCK_TOOLCHAIN=1 windows_build "$arch" dormello32
    cp "$(BUILD_ROOT=$stock windows_tree "$arch")/preselector/dormello32.exe" \
        "$tree/e2e-bin/dormello32-stock.exe"
fi
# Which sources were measured (a read-only look at the repository).
echo "bench: sources at $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown)," \
    "$arch build"

results=${BENCH_RESULTS:-$tree/bench-results}
"$root/tools/on-wine-desktop.sh" "$tree" "$results" quintaro_bench.exe "$@"

# Exact figures where time is virtual: the watcher's wakes on the simulated desktop.
host=${HOST_BUILD_DIR:-$root/build/host}
if { [ -f "$host/CMakeCache.txt" ] || cmake -S "$root" -B "$host" >/dev/null; } &&
    cmake --build "$host" -j "${JOBS:-$(nproc)}" --target bench_sim_wakes >/dev/null; then
    "$host/bench/sim/bench_sim_wakes" | tee "$results/sim-wakes.md"
else
    echo "bench: the simulated-desktop figures could not be built" >&2
fi
echo "bench: results in $results"
