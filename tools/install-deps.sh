#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and this
# machine lacks. Each package is checked by name, so a machine that has them all
# installs nothing and needs no network. Installing needs root.
set -euo pipefail

packages=(cmake g++ make googletest libgtest-dev g++-mingw-w64-i686 wine wine32:i386 wine64
          xvfb imagemagick xauth x11-utils nsis clang libclang-rt-14-dev icoutils librsvg2-bin)
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
# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y "${missing[@]}"
