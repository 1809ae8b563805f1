#!/usr/bin/env bash
# The release package in one command (as root on a fresh Debian 12 machine, it installs
# what it needs first): builds the Windows programs and writes
#   build/release/QUINTARO-<version>.zip         both programs, QUINTARO.INI, README.txt
#   build/release/QUINTARO-<version>-setup.exe   the per-user installer (NSIS)
# The version is the one in the top-level CMakeLists.txt's project() line.
#
# Environment: WIN_BUILD_DIR (default build/win), JOBS (default: the processors).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
win_build=${WIN_BUILD_DIR:-$root/build/win}
jobs=${JOBS:-$(nproc)}
release=$root/build/release

"$root/tools/install-deps.sh" >/dev/null
cmake -S "$root" -B "$win_build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQUINTARO_RELEASE_DIR="$release" \
    >/dev/null
rm -f "$release"/QUINTARO-*.zip "$release"/QUINTARO-*-setup.exe
cmake --build "$win_build" -j "$jobs" --target quintaro_release >/dev/null

shopt -s nullglob
zips=("$release"/QUINTARO-*.zip)
setups=("$release"/QUINTARO-*-setup.exe)
if [ ${#zips[@]} -ne 1 ] || [ ${#setups[@]} -ne 1 ]; then
    echo "package: expected one zip and one installer in $release" >&2
    exit 1
fi
echo "package: ${zips[0]}"
echo "package: ${setups[0]}"
