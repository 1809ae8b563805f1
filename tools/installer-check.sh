#!/usr/bin/env bash
# The release installers under Wine, each in a fresh prefix of its own arch on a private
# virtual display: silent installations with "Start Dormello with Windows" off and on,
# reinstallations, silent uninstallations, and what each leaves (files, shortcuts, the
# uninstall entry, programs of the installer's own arch), checked by
# e2e/release/install_check.cpp; the win32 one again in prefixes reporting Windows 98 and
# NT 4.0. Pictures go to build/installer-check/<win32|win64>[-win98|-nt40]/.
#
#   tools/installer-check.sh [SETUP.exe]   (default: every installer tools/package.sh
#                                           wrote to build/release/ that this machine
#                                           can run)
#
# Environment: QUINTARO_ARCH, JOBS, and those of tools/on-wine-desktop.sh. Exits
# non-zero when a check fails, or when no installer could be checked.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"

setups=()
if [ $# -ge 1 ]; then
    setups=("$(cd "$(dirname "$1")" && pwd)/$(basename "$1")")
else
    for arch in $(windows_arches_runnable); do
        shopt -s nullglob
        found=("$root"/build/release/QUINTARO-*-"$(windows_label "$arch")"-setup.exe)
        shopt -u nullglob
        if [ ${#found[@]} -ne 1 ]; then
            echo "installer-check: no single $arch installer in build/release/; run tools/package.sh" >&2
            exit 2
        fi
        setups+=("${found[0]}")
    done
fi
if [ ${#setups[@]} -eq 0 ]; then
    echo "installer-check: this machine can run none of the installers" >&2
    exit 1
fi

for setup in "${setups[@]}"; do
    version=$(basename "$setup" | sed -n 's/^QUINTARO-\(.*\)-win\(32\|64\)-setup\.exe$/\1/p')
    if [ -z "$version" ]; then
        echo "installer-check: $setup is not named QUINTARO-<version>-<win32|win64>-setup.exe" >&2
        exit 2
    fi
    # The checker is built for the installer's arch, so it can tell the installed
    # programs are of that arch too.
    arch=$(pe_arch "$setup")
    label=$(windows_label "$arch")
    echo "installer-check: $(basename "$setup") under $label Wine"
    windows_build "$arch" install_check e2e_stage standin_shutdown standin_sndvol32
    "$root/tools/on-wine-desktop.sh" "$(windows_tree "$arch")" \
        "$root/build/installer-check/$label" install_check.exe \
        --setup="Z:${setup//\//\\}" --version="$version"
    # The win32 installer serves 95 to ME and NT 4.0 too, where it installs for the machine:
    # again in prefixes reporting 98 and NT 4.0 (NSIS reads the version Wine reports).
    if [ "$arch" = i686 ]; then
        for windows in win98 nt40; do
            echo "installer-check: $(basename "$setup") in a prefix reporting $windows"
            E2E_WINDOWS_VERSION=$windows "$root/tools/on-wine-desktop.sh" \
                "$(windows_tree "$arch")" "$root/build/installer-check/$label-$windows" \
                install_check.exe --setup="Z:${setup//\//\\}" --version="$version"
        done
    fi
done
