#!/usr/bin/env bash
# The release installer under Wine, in a fresh prefix on a private virtual display:
# silent installations with "Start Dormello with Windows" off and on, reinstallations,
# silent uninstallations, and what each leaves (files, shortcuts, the uninstall entry),
# checked by e2e/release/install_check.cpp. Pictures go to build/installer-check/.
#
#   tools/installer-check.sh [SETUP.exe]   (default: the one tools/package.sh wrote to
#                                           build/release/)
#
# Environment: WIN_BUILD_DIR (default build/win), JOBS, and those of
# tools/on-wine-desktop.sh. Exits non-zero when a check fails.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
win_build=${WIN_BUILD_DIR:-$root/build/win}
jobs=${JOBS:-$(nproc)}

if [ $# -ge 1 ]; then
    setup=$1
else
    shopt -s nullglob
    setups=("$root"/build/release/QUINTARO-*-setup.exe)
    if [ ${#setups[@]} -ne 1 ]; then
        echo "installer-check: no single installer in build/release/; run tools/package.sh" >&2
        exit 2
    fi
    setup=${setups[0]}
fi
setup=$(cd "$(dirname "$setup")" && pwd)/$(basename "$setup")
version=$(basename "$setup" | sed -n 's/^QUINTARO-\(.*\)-setup\.exe$/\1/p')
if [ -z "$version" ]; then
    echo "installer-check: $setup is not named QUINTARO-<version>-setup.exe" >&2
    exit 2
fi

cmake -S "$root" -B "$win_build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$win_build" -j "$jobs" --target install_check e2e_stage standin_shutdown \
    standin_sndvol32 >/dev/null
exec "$root/tools/on-wine-desktop.sh" "$win_build" "$root/build/installer-check" \
    install_check.exe --setup="Z:${setup//\//\\}" --version="$version"
