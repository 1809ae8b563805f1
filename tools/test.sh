#!/usr/bin/env bash
# Runs every test: the host tree's unit tests, the same under the address and
# undefined-behaviour sanitizers, a bounded fuzzing run of each fuzz target, then the
# Windows tree's end-to-end suite under Wine. Meant for a fresh Debian 12 run as root:
# whatever is missing is installed first. Exits non-zero on the first failure.
#
# Environment: HOST_BUILD_DIR (default build/host), WIN_BUILD_DIR (default build/win),
# ASAN_BUILD_DIR (default build/asan), FUZZ_BUILD_DIR (default build/fuzz), FUZZ_SECONDS
# (per fuzz target, default 60), JOBS (default: the number of processors).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
host_build=${HOST_BUILD_DIR:-$root/build/host}
win_build=${WIN_BUILD_DIR:-$root/build/win}
jobs=${JOBS:-$(nproc)}
started=$(date +%s)

stage() { echo "==> [$(($(date +%s) - started)) s] $*"; }

stage "checking the tools"
"$root/tools/install-deps.sh"

# --- Host tree: the portable logic against the simulated desktop.
stage "configuring the host tree in $host_build"
cmake -S "$root" -B "$host_build" -DCMAKE_BUILD_TYPE=Debug
stage "building the host tree"
cmake --build "$host_build" -j "$jobs"
stage "running the host tests"
ctest --test-dir "$host_build" --output-on-failure -j "$jobs"
stage "checking formatting and the portable code's static analysis"
"$root/tools/lint.sh" "$host_build"
stage "running the host tests under the sanitizers in ${ASAN_BUILD_DIR:-$root/build/asan}"
"$root/tools/sanitize.sh"
stage "fuzzing each target for ${FUZZ_SECONDS:-60} s in ${FUZZ_BUILD_DIR:-$root/build/fuzz}"
"$root/tools/fuzz.sh"

# --- Windows tree: the real programs, the stand-ins and the end-to-end suite.
stage "configuring the Windows tree in $win_build"
cmake -S "$root" -B "$win_build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
stage "building the Windows tree"
cmake --build "$win_build" -j "$jobs"
stage "running the end-to-end suite under Wine"
# The e2e folder holds the suite's test whether or not the top level enables testing.
ctest --test-dir "$win_build/e2e" --output-on-failure

# --- The benchmark harness, briefly: only that it runs and writes its table. Its times
# and CPU figures are reported, never checked (bench/README.md).
stage "running the benchmark harness briefly under Wine (10 openings, 5 s idle)"
bench_results="$win_build/bench-smoke"
WIN_BUILD_DIR="$win_build" BENCH_RESULTS="$bench_results" JOBS="$jobs" \
    "$root/tools/bench.sh" --openings=10 --idle-seconds=5 --launcher-delays=2000
bench_rows=$(grep -c -E '^\| (busy loop|sleep 100 ms|dormello32) \|' \
    "$bench_results/bench-table.md" 2>/dev/null || true)
if [ "${bench_rows:-0}" -ne 3 ]; then
    echo "test: the benchmark harness wrote no complete table" >&2
    exit 1
fi

# --- The release package: the zip and the installer, then the installer under Wine
# (silent installs with and without the Startup option, silent uninstalls).
stage "building the release package (zip and installer) in build/release"
WIN_BUILD_DIR="$win_build" JOBS="$jobs" "$root/tools/package.sh"
stage "installing and uninstalling the package under Wine"
WIN_BUILD_DIR="$win_build" JOBS="$jobs" "$root/tools/installer-check.sh"

stage "all tests passed"
