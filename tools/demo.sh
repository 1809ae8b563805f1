#!/usr/bin/env bash
# The main job, from a fresh Debian 12 machine (as root): installs what it needs, builds
# the Windows programs, and runs the preselector under Wine on a virtual display, where
# it answers a stand-in shutdown dialog. Prints what happened in plain words and writes
# pictures to build/demo/.
#
# Environment: WIN_BUILD_DIR (default build/win), JOBS (default: the processors).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
win_build=${WIN_BUILD_DIR:-$root/build/win}
jobs=${JOBS:-$(nproc)}
started=$(date +%s)
stage() { echo "==> [$(($(date +%s) - started)) s] $*"; }

stage "checking the tools (the first run installs packages; this takes a few minutes)"
"$root/tools/install-deps.sh"
stage "building the Windows programs in $win_build"
cmake -S "$root" -B "$win_build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$win_build" -j "$jobs" --target quintaro_demo e2e_stage standin_shutdown \
    standin_sndvol32 >/dev/null
stage "starting a virtual display and a Wine prefix, then the preselector"
"$root/tools/on-wine-desktop.sh" "$win_build" "$root/build/demo" quintaro_demo.exe
stage "pictures are in $root/build/demo/"
