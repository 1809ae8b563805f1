# Sourced by the tools: the one place that knows the Windows trees and how to start
# Wine for each. Two arches are built from the same sources:
#   i686    the 32-bit programs users download; tree build/win32, Wine prefix win32
#   x86_64  the 64-bit build; tree build/win64, Wine prefix win64
# QUINTARO_ARCH=i686 or QUINTARO_ARCH=x86_64 makes every tool use that arch alone.
# Needs $root (the repository) set by the caller.

windows_arches=(i686 x86_64)

# The package and prefix name of an arch: win32 or win64.
windows_label() {
    case "$1" in
        i686) echo win32 ;;
        x86_64) echo win64 ;;
        *)
            echo "windows.sh: unknown arch '$1' (i686 or x86_64)" >&2
            return 2
            ;;
    esac
}

windows_tree() { echo "${BUILD_ROOT:-$root/build}/$(windows_label "$1")"; }

# The arches a tool works on: QUINTARO_ARCH alone when set, else both.
windows_arches_wanted() {
    if [ -n "${QUINTARO_ARCH:-}" ]; then
        windows_label "$QUINTARO_ARCH" >/dev/null || return 2
        echo "$QUINTARO_ARCH"
    else
        echo "${windows_arches[@]}"
    fi
}

# The 80486 toolchain that tools/build-toolchain.sh builds for the win32 programs: its
# folder, in a cache outside the clone, named by a key of its sources (the versions of
# the Debian packages they come from) and of the script that builds it, less its comments
# and messages.
i486_toolchain_dir() {
    local key
    key=$({
        dpkg-query -W -f='${Version}\n' gcc-12-source mingw-w64-common binutils-mingw-w64-i686 \
            2>/dev/null || echo "sources not installed"
        grep -v -E '^\s*(#|step )|^\s*$' "$root/tools/build-toolchain.sh"
    } | sha256sum | cut -c1-16)
    echo "${QUINTARO_CACHE_DIR:-/var/cache/quintaro}/toolchain-i486-$key"
}

# Whether the toolchain was built to the end (a build cut off leaves no seal).
i486_toolchain_ready() { [ -f "$(i486_toolchain_dir)/.complete" ]; }
i486_toolchain_seal() { date -u +%FT%TZ >"$(i486_toolchain_dir)/.complete"; }

# The toolchain an arch's tree is built with: for i686 the 80486 one, built first if
# the cache lacks it, or Debian's stock one where QUINTARO_STOCK_TOOLCHAIN=1 (it makes
# programs for the Pentium Pro and later); for x86_64 Debian's. Prints the folder to
# pass as QUINTARO_MINGW_ROOT, or nothing for Debian's.
windows_toolchain() {
    [ "$1" = i686 ] || return 0
    if [ "${QUINTARO_STOCK_TOOLCHAIN:-0}" = 1 ]; then
        echo "windows.sh: the win32 programs are built with Debian's stock toolchain, for the" \
            "Pentium Pro and later (QUINTARO_STOCK_TOOLCHAIN=1)" >&2
        return 0
    fi
    if ! i486_toolchain_ready; then
        "$root/tools/build-toolchain.sh" >/dev/null || return 1
    fi
    i486_toolchain_dir
}

# Configures the arch's tree (extra cmake options may follow the arch), quietly. A tree
# made with another toolchain is configured afresh: CMake keeps the compiler it found.
windows_configure() {
    local arch=$1
    shift
    local tree mingw_root
    tree=$(windows_tree "$arch")
    mingw_root=$(windows_toolchain "$arch") || return 1
    local fresh=()
    if [ -f "$tree/CMakeCache.txt" ] &&
        [ "$(cat "$tree/toolchain.txt" 2>/dev/null)" != "${mingw_root:-stock}" ]; then
        fresh=(--fresh)
    fi
    cmake "${fresh[@]}" -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DQUINTARO_MINGW_ROOT="$mingw_root" "$@" >/dev/null || return 1
    echo "${mingw_root:-stock}" >"$tree/toolchain.txt"
}

# Configures the arch's tree and builds the given targets (all when none). The build's
# output is shown only when it fails.
windows_build() {
    local arch=$1
    shift
    local tree
    tree=$(windows_tree "$arch")
    mkdir -p "$tree"
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    # The toolchain's own build shows its progress, not hidden in the tree's log.
    windows_toolchain "$arch" >/dev/null || return 1
    if ! { windows_configure "$arch" && cmake --build "$tree" -j "${JOBS:-$(nproc)}" \
        "${targets[@]}"; } >"$tree/build.log" 2>&1; then
        cat "$tree/build.log" >&2
        echo "windows.sh: building the $arch tree failed" >&2
        return 1
    fi
    if grep -q 'warning:' "$tree/build.log"; then
        grep 'warning:' "$tree/build.log" >&2
        echo "windows.sh: the $arch tree built with warnings" >&2
        return 1
    fi
}

# The arch of a Windows program, from its PE header's machine field: i686 or x86_64.
pe_arch() {
    local offset machine
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
    case "$machine" in
        014c) echo i686 ;;
        8664) echo x86_64 ;;
        *)
            echo "windows.sh: $1 is no i386 or x86-64 Windows program" >&2
            return 1
            ;;
    esac
}

# Runs a tiny 32-bit x86 Linux program (it only exits). Whether the kernel runs 32-bit
# user code cannot be told from the machine's name: some hypervisors refuse it, and
# then every 32-bit program fails with "Exec format error". Prints the error then.
probe_32bit_code() {
    local probe
    probe=$(mktemp /tmp/quintaro-i386-probe.XXXXXX)
    # ELF header, one loadable segment, then: xor eax,eax; inc eax; xor ebx,ebx; int 0x80.
    printf '%b' \
        '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
        '\x00\x00\x00\x00' \
        '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
        '\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
        '\x31\xc0\x40\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    local output status=0
    output=$("$probe" 2>&1) || status=$?
    rm -f "$probe"
    if [ "$status" -ne 0 ]; then
        # The shell words it "<where>: <program>: cannot execute...: Exec format error".
        output=${output##*: }
        echo "${output:-exit status $status}"
        return 1
    fi
}

# Where install-deps records why wine32 is absent on a machine that runs 32-bit code.
wine32_record() { echo "${QUINTARO_STATE_DIR:-${BUILD_ROOT:-$root/build}}/wine32-left-out.txt"; }

# Records apt's reason for leaving wine32 out; an empty reason clears the record.
wine32_left_out() {
    local record
    record=$(wine32_record)
    if [ -z "$1" ]; then
        rm -f "$record"
    else
        mkdir -p "$(dirname "$record")"
        echo "$1" >"$record"
    fi
}

# Whether this machine can run the arch's Windows programs; when not, prints why.
# Probed by running that arch's Wine loader itself.
windows_arch_runs() {
    local loader output
    case "$1" in
        i686) loader=/usr/lib/wine/wine ;;
        x86_64) loader=/usr/lib/wine/wine64 ;;
    esac
    if [ ! -x "$loader" ]; then
        if [ "$1" = i686 ] && ! output=$(probe_32bit_code); then
            echo "this machine refuses 32-bit code ($output), so wine32 was not installed"
        elif [ "$1" = i686 ] && [ -s "$(wine32_record)" ]; then
            echo "wine32 could not be installed: $(cat "$(wine32_record)")"
        else
            echo "$loader is not installed"
        fi
        return 1
    fi
    if ! output=$("$loader" --version 2>&1); then
        output=$(echo "$output" | tail -n 1)
        echo "$loader cannot run here (${output##*: })"
        return 1
    fi
}

# Sets up this shell to run the arch's programs: the prefix arch, and the loader as
# $WINE. Debian's wine script picks the 32-bit loader whenever wine32 is installed, so
# the 64-bit one is always called directly; helpers (wineboot, regedit) go through it.
use_wine() {
    export WINEARCH
    WINEARCH=$(windows_label "$1")
    case "$1" in
        i686) WINE=/usr/lib/wine/wine ;;
        x86_64) WINE=/usr/lib/wine/wine64 ;;
    esac
    export WINELOADER=$WINE
}

# The arches wanted (windows_arches_wanted) that this machine can run, one a line; for
# each one it cannot, a line "-ARCH reason" on stderr.
windows_arches_runnable() {
    local arch why
    for arch in $(windows_arches_wanted); do
        if why=$(windows_arch_runs "$arch"); then
            echo "$arch"
        else
            echo "-$arch $why" >&2
        fi
    done
}

# The arch a single-arch tool (demo, benchmark, DPI pictures) uses: the 32-bit one
# users download where it runs, else the 64-bit one. Says which, and why, on stderr.
windows_arch_preferred() {
    local arch why
    for arch in $(windows_arches_wanted); do
        if why=$(windows_arch_runs "$arch"); then
            echo "$arch"
            return 0
        fi
        echo "windows.sh: not using $arch: $why" >&2
    done
    echo "windows.sh: no Windows arch can run on this machine" >&2
    return 1
}
