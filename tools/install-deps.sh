#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and this
# machine lacks. Each package is checked by name, so a machine that has them all
# installs nothing and needs no network. Installing needs root.
#
# wine32 (an i386 package) is installed only where 32-bit code really runs: on a machine
# that refuses it, its i386 helpers would fail to install, and only the 64-bit Windows
# build can be run there anyway.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"

packages=(cmake g++ make googletest libgtest-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
          wine wine64 fonts-wine xvfb imagemagick xauth x11-utils nsis clang libclang-rt-14-dev
          icoutils librsvg2-bin)
if refusal=$(probe_32bit_code); then
    packages+=(wine32:i386)
else
    echo "install-deps: this machine refuses 32-bit code ($refusal): wine32 is left out," \
        "so only the 64-bit Windows build can run here"
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all tools present"
    exit 0
fi
echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: installing packages needs root" >&2
    exit 1
fi
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${missing[@]}"
