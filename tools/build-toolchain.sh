#!/usr/bin/env bash
# Builds the toolchain the 32-bit Windows programs are made with, for the 80486: a cross
# GCC whose default -march is i486, and the run-time linked into every exe (mingw-w64's
# CRT, libgcc, libstdc++) compiled by it. Debian's own i686-w64-mingw32 compiler and its
# prebuilt run-time are made for the Pentium Pro, whose CMOV and FCOMI a Pentium, K6 or
# 486 faults on before WinMain is reached.
#
# Everything comes from Debian's packages: GCC from gcc-12-source, the headers and CRT
# from the mingw-w64 source package (the version of the installed mingw-w64-common), the
# assembler and linker from binutils-mingw-w64-i686 as they are. It is configured as
# Debian configures its win32 compiler (win32 threads, DWARF-2 exceptions), C and C++
# only, static run-time, but with the 80486 as both the default -march and -mtune.
#
# The result is cached outside the clone, keyed by those sources and this script, so
# another clone or a later run on the same machine reuses it: about 10 minutes on two
# cores the first time, nothing after. Prints the toolchain's folder on its last line.
#
# Environment: QUINTARO_CACHE_DIR (default /var/cache/quintaro), JOBS.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"
target=i686-w64-mingw32
jobs=${JOBS:-$(nproc)}
started=$(date +%s)
step() { echo "toolchain: [$(($(date +%s) - started)) s] $*" >&2; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The source packages come through apt-get source, which wants deb-src lines: the same
# Debian archives the machine already installs from.
add_deb_src() {
    local list=/etc/apt/sources.list.d/quintaro-deb-src.sources file
    [ -f "$list" ] && return 0
    : >"$list.new"
    for file in /etc/apt/sources.list.d/*.sources; do
        if [ ! -f "$file" ] || ! grep -q 'debian' "$file"; then continue; fi
        sed 's/^Types: deb$/Types: deb-src/' "$file" >>"$list.new"
        echo >>"$list.new"
    done
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*debian.*\)$/Types: deb-src\nURIs: \1\n/p' /etc/apt/sources.list |
            awk '/^URIs: /{ n = split($0, w, " "); print "URIs: " w[2]; print "Suites: " w[3];
                 c = ""; for (i = 4; i <= n; i++) c = c " " w[i]; print "Components:" c; next }
                 { print }' >>"$list.new"
    fi
    mv "$list.new" "$list"
}

# Runs a command up to three times: the registry sometimes answers badly for a moment.
retried() {
    local try
    for try in 1 2 3; do
        "$@" && return 0
        [ "$try" -lt 3 ] && sleep 10
    done
    return 1
}

needed=(gcc-12-source mingw-w64-common binutils-mingw-w64-i686 dpkg-dev libgmp-dev libmpfr-dev
        libmpc-dev xz-utils bzip2 patch make g++)
missing=()
for package in "${needed[@]}"; do
    installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    step "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    retried apt-get update >/dev/null
    retried apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi

prefix=$(i486_toolchain_dir)
if i486_toolchain_ready; then
    step "the 80486 toolchain is cached in $prefix"
    echo "$prefix"
    exit 0
fi

work=$prefix.work
rm -rf "$prefix" "$work"
mkdir -p "$work"
log() { echo "$work/$1.log"; }
# Runs one build step with its output in a log; on failure shows the log's end.
run() {
    local name=$1
    shift
    if ! "$@" >"$(log "$name")" 2>&1; then
        tail -n 40 "$(log "$name")" >&2
        echo "toolchain: FAILED at $name (the whole log: $(log "$name"))" >&2
        exit 1
    fi
}

step "building the 80486 toolchain in $prefix (about 10 minutes on two cores; once per machine)"
mingw_version=$(dpkg-query -W -f='${source:Version}' mingw-w64-common)
step "getting the sources: gcc-12-source's GCC, the mingw-w64 $mingw_version source package"
add_deb_src
retried apt-get update >/dev/null
(cd "$work" && run fetch-mingw retried apt-get source -qq "mingw-w64=$mingw_version")
mingw_src=$(find "$work" -maxdepth 1 -type d -name 'mingw-w64-*' | head -n 1)
tar -xf /usr/src/gcc-12/gcc-*-dfsg.tar.xz -C "$work"
gcc_src=$(find "$work" -maxdepth 1 -type d -name 'gcc-*' | head -n 1)
# Debian's GCC tarball comes without the GFDL manuals; its own patch lets the build go
# without them (s-tm-texi otherwise stops it).
(cd "$gcc_src" && run patch-gfdl patch -p2 -i /usr/src/gcc-12/patches/gcc-gfdl-build.diff)

mkdir -p "$prefix/$target" "$work/headers" "$work/gcc" "$work/crt"
ln -s "$target" "$prefix/mingw"
step "installing the mingw-w64 headers"
(cd "$work/headers" && run headers "$mingw_src/mingw-w64-headers/configure" --host="$target" \
    --prefix="$prefix/$target" && run headers-install make install)

step "building GCC for $target, defaulting to the 80486 (the long step: about 8 minutes)"
# Debian's assembler and linker serve any i386 processor; the compiler must be told where
# they are, or it runs the host's own. Tuned for the 80486 too: tuned for today's
# processors, GCC writes a count of trailing zeros as REP BSF, which is TZCNT's encoding
# (newer processors run it as TZCNT, older ones as BSF, relying on the prefix being
# ignored).
# libstdc++'s random_device would read RDRAND (with a CMOV beside it) after CPUID says it
# may; the cache variables tell its configure the assembler has no RDRAND, so that path
# is not built.
export ac_cv_x86_rdrand=no ac_cv_x86_rdseed=no
(cd "$work/gcc" && run gcc-configure "$gcc_src/configure" --target="$target" \
    --prefix="$prefix" --with-sysroot="$prefix" \
    --with-as="/usr/bin/$target-as" --with-ld="/usr/bin/$target-ld" \
    --with-arch=i486 --with-tune=i486 \
    --enable-languages=c,c++ --enable-threads=win32 --disable-sjlj-exceptions --with-dwarf2 \
    --enable-static --disable-shared --disable-multilib --disable-bootstrap --disable-nls \
    --disable-lto --disable-plugin --disable-werror --disable-libgomp --disable-libquadmath \
    --disable-libssp --disable-libatomic --disable-libvtv --disable-libitm \
    --enable-libstdcxx-time=yes --enable-fully-dynamic-string --with-system-zlib \
    --with-pkgversion="QUINTARO 80486 toolchain")
(cd "$work/gcc" && run gcc-build make -j"$jobs" all-gcc && run gcc-install make install-gcc)

export PATH=$prefix/bin:$PATH
step "building the mingw-w64 CRT with it"
(cd "$work/crt" && run crt-configure "$mingw_src/mingw-w64-crt/configure" --host="$target" \
    --prefix="$prefix/$target" --enable-lib32 --disable-lib64 &&
    run crt-build make -j"$jobs" && run crt-install make install)

step "building libgcc"
(cd "$work/gcc" && run libgcc-build make -j"$jobs" all-target-libgcc &&
    run libgcc-install make install-target-libgcc)
step "building libstdc++"
(cd "$work/gcc" && run libstdcxx-build make -j"$jobs" all-target-libstdc++-v3 &&
    run libstdcxx-install make install-target-libstdc++-v3)

rm -rf "$work"
i486_toolchain_seal
step "the 80486 toolchain is ready in $prefix"
echo "$prefix"
