#!/usr/bin/env bash
# The release packages in one command (as root on a fresh Debian 12 machine, it installs
# what it needs first): builds the Windows programs of each arch and writes to
# build/release/, for win32 (the 32-bit programs, for every Windows) and win64:
#   QUINTARO-<version>-win32.zip         both programs, QUINTARO.INI, README.txt
#   QUINTARO-<version>-win32-setup.exe   the per-user installer (NSIS)
#   QUINTARO-<version>-win64.zip
#   QUINTARO-<version>-win64-setup.exe
# The version is the one in the top-level CMakeLists.txt's project() line. Both arches
# build on any machine, whether or not it can run them.
#
# Environment: QUINTARO_ARCH (i686 or x86_64: that one only), JOBS.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"
release=$root/build/release

"$root/tools/install-deps.sh" >/dev/null
for arch in $(windows_arches_wanted); do
    label=$(windows_label "$arch")
    rm -f "$release"/QUINTARO-*-"$label".zip "$release"/QUINTARO-*-"$label"-setup.exe
    # The release folder is a cache entry of the tree: set it before building.
    windows_configure "$arch" -DQUINTARO_RELEASE_DIR="$release"
    windows_build "$arch" quintaro_release
    shopt -s nullglob
    made=("$release"/QUINTARO-*-"$label".zip "$release"/QUINTARO-*-"$label"-setup.exe)
    shopt -u nullglob
    if [ ${#made[@]} -ne 2 ]; then
        echo "package: expected one $label zip and one $label installer in $release" >&2
        exit 1
    fi
    printf 'package: %s\n' "${made[@]}"
done
