#!/usr/bin/env bash
# Builds the host tree with the address and undefined-behaviour sanitizers (any finding
# stops the program: -fno-sanitize-recover=all) and runs its tests. Exits non-zero on
# a finding or a failing test.
#
# Environment: ASAN_BUILD_DIR (default build/asan), SANITIZE_CXX (the compiler, default
# g++; clang++ works too), JOBS (default: the number of processors).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
build=${ASAN_BUILD_DIR:-$root/build/asan}
cxx=${SANITIZE_CXX:-g++}
jobs=${JOBS:-$(nproc)}
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$build" -j "$jobs"
# Leaks count as findings; a report names the file and line.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$jobs"
