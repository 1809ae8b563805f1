#!/usr/bin/env bash
# The main job, from a fresh Debian 12 machine (as root): installs what it needs, builds
# the Windows programs, and runs the preselector under Wine on a virtual display, where
# it answers a stand-in shutdown dialog. Prints what happened in plain words and writes
# pictures to build/demo/.
#
# It uses the 32-bit programs where this machine runs 32-bit code, else the 64-bit ones,
# and says which. Environment: QUINTARO_ARCH (i686 or x86_64: that one), JOBS.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"
started=$(date +%s)
stage() { echo "==> [$(($(date +%s) - started)) s] $*"; }

stage "checking the tools (the first run installs packages; this takes a few minutes)"
"$root/tools/install-deps.sh"
arch=$(windows_arch_preferred)
# The win32 release is built with a toolchain made for the 80486, which takes about 10
# minutes to build the first time (tools/test.sh does that). Wine runs on a modern
# processor, so the demo does not wait for it.
if [ "$arch" = i686 ] && ! i486_toolchain_ready; then
    export QUINTARO_STOCK_TOOLCHAIN=1
fi
stage "building the $(windows_label "$arch") programs ($arch) in $(windows_tree "$arch")"
windows_build "$arch" quintaro_demo e2e_stage standin_shutdown standin_sndvol32
stage "starting a virtual display and a Wine prefix, then the preselector"
"$root/tools/on-wine-desktop.sh" "$(windows_tree "$arch")" "$root/build/demo" quintaro_demo.exe
stage "pictures are in $root/build/demo/"
