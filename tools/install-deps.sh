#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and this
# machine lacks. Each package is checked by name, so a machine that has them all
# installs nothing and needs no network. Installing needs root.
#
# wine32 (an i386 package) is wanted only where 32-bit code really runs, and even there
# it is optional: a registry whose i386 index is mid-sync or missing leaves the i386
# libraries out of step with the amd64 ones, and then wine32 cannot be installed. Only
# the 32-bit Windows build needs it; the tools then run the 64-bit one, and say why.
# Every other package is required.
#
# A registry that answers badly for a while gets a few tries, a short pause apart, all of
# them bounded in time. An `apt-get update` that leaves some index out is not fatal: what
# can be installed from the rest is. A required package that still fails is named, with
# apt's reason.
#
# Environment: INSTALL_DEPS_TRIES (default 4), INSTALL_DEPS_PAUSE (seconds, default 20),
# INSTALL_DEPS_BOUND (seconds of retrying in all, default 150).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"

required=(cmake g++ make googletest libgtest-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
          wine wine64 fonts-wine xvfb imagemagick xauth x11-utils nsis clang libclang-rt-14-dev
          icoutils librsvg2-bin)
tries=${INSTALL_DEPS_TRIES:-4}
pause=${INSTALL_DEPS_PAUSE:-20}
deadline=$(($(date +%s) + ${INSTALL_DEPS_BOUND:-150}))

say() { echo "install-deps: $*"; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The first of apt's error lines in a log, without its "E: ".
apt_reason() {
    local line
    line=$(grep -m1 '^E: ' "$1" || true)
    line=${line#E: }
    echo "${line:-apt-get exited with status $2}"
}

# Runs the command up to $tries times, pausing between tries while the deadline allows.
# Its output goes to the log $1; the status is the last try's.
with_retries() {
    local log=$1 try=1 status
    shift
    while :; do
        status=0
        "$@" >"$log" 2>&1 || status=$?
        if [ "$status" -eq 0 ] || [ "$try" -ge "$tries" ] ||
            [ $(($(date +%s) + pause)) -gt "$deadline" ]; then
            return "$status"
        fi
        say "$1 $2 failed ($(apt_reason "$log" "$status")); trying again in $pause s" >&2
        sleep "$pause"
        # A retried install is worth something only against lists fetched again.
        if [ "$2" = install ]; then apt-get update >/dev/null 2>&1 || true; fi
        try=$((try + 1))
    done
}

# Refreshes the package lists. An index that failed to download leaves the lists
# partial; what they hold is still worth installing from, so this only warns.
refresh_lists() {
    local log status=0
    log=$(mktemp)
    with_retries "$log" apt-get update || status=$?
    if [ "$status" -ne 0 ]; then
        say "apt-get update did not complete ($(apt_reason "$log" "$status"));" \
            "going on with the package lists it has"
    fi
    rm -f "$log"
}

# Installs the packages, retrying; on failure prints apt's reason and returns non-zero.
install_packages() {
    local log status=0
    log=$(mktemp)
    with_retries "$log" apt-get install -y "$@" || status=$?
    [ "$status" -eq 0 ] || apt_reason "$log" "$status"
    rm -f "$log"
    return "$status"
}

# Names, among the packages, each one apt alone would refuse, with its reason.
refused_packages() {
    local package log status
    log=$(mktemp)
    for package in "$@"; do
        status=0
        apt-get install -s -y "$package" >"$log" 2>&1 || status=$?
        [ "$status" -eq 0 ] || echo "  $package: $(apt_reason "$log" "$status")"
    done
    rm -f "$log"
}

wine32_wanted=false
if refusal=$(probe_32bit_code); then
    wine32_wanted=true
else
    say "this machine refuses 32-bit code ($refusal): wine32 is left out," \
        "so only the 64-bit Windows build can run here"
fi

missing=()
for package in "${required[@]}"; do
    installed "$package" || missing+=("$package")
done
want_wine32=false
if $wine32_wanted && ! installed wine32:i386; then
    want_wine32=true
fi
if [ ${#missing[@]} -eq 0 ] && ! $want_wine32; then
    say "all tools present"
    exit 0
fi
# wine32 alone wanted, and left out by an earlier run: the registry was bad then and is
# unlikely to have recovered within a minute now, so one try, without pauses.
if [ ${#missing[@]} -eq 0 ] && [ -s "$(wine32_record)" ]; then
    tries=1
fi
if [ "$(id -u)" -ne 0 ]; then
    say "installing ${missing[*]}${missing[*]:+ }$($want_wine32 && echo wine32:i386) needs root" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if $want_wine32 && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
refresh_lists

if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    if ! reason=$(install_packages "${missing[@]}"); then
        refused=$(refused_packages "${missing[@]}")
        {
            echo "install-deps: FAILED: the required packages could not be installed ($reason)"
            echo "${refused:-  every one installs alone; together: $reason}"
        } >&2
        exit 1
    fi
fi

if $want_wine32; then
    say "installing wine32:i386 (for the 32-bit Windows build)"
    if reason=$(install_packages wine32:i386); then
        wine32_left_out ""
    else
        wine32_left_out "$reason"
        say "wine32 could not be installed ($reason): it is left out, so only the 64-bit" \
            "Windows build can run here"
    fi
fi
