#!/usr/bin/env bash
# Runs one program of a Windows-tree build's e2e-bin/ under Wine on a private virtual X
# display, beside the stand-ins and the programs under test.
#
#   tools/on-wine-desktop.sh BUILD_DIR SHOTS_DIR PROGRAM [arguments...]
#
# The run makes a throwaway Wine prefix of PROGRAM's arch (32- or 64-bit, read from its
# header; tools/lib/windows.sh starts that arch's Wine), puts the stand-in SNDVOL32.EXE into
# C:\windows, and starts PROGRAM with --exe-dir (the e2e-bin folder) and
# --screenshot-dir (SHOTS_DIR, emptied first) before the given arguments. BMP pictures
# it leaves in SHOTS_DIR become PNG. Xvfb and the prefix's wineserver are ended on
# every exit; the exit status is the program's. Environment: E2E_DISPLAYS (display
# numbers to try, default 80-89), E2E_SUITE_TIMEOUT (seconds, default 1200),
# E2E_KEEP_PREFIX=1 (keep the prefix), E2E_WINDOWS_VERSION (the Windows the prefix
# reports: win98, nt40, winxp...; Wine's own default when unset).
set -euo pipefail

me=$(basename "$0" .sh)
if [ $# -lt 3 ]; then
    echo "usage: $0 BUILD_DIR SHOTS_DIR PROGRAM [arguments...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
mkdir -p "$2"
shots=$(cd "$2" && pwd)
program=$3
shift 3
bin="$build/e2e-bin"
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"

now() { date +%s%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }
run_start=$(now)

for file in "$program" standin_shutdown.exe SNDVOL32.exe; do
    if [ ! -f "$bin/$file" ]; then
        echo "$me: $bin/$file is missing; build the Windows tree first" >&2
        exit 2
    fi
done

# A Linux path as Wine shows it: drive Z: is the Linux root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Waits until "$@" succeeds, checking every 0.1 s; fails after $timeout seconds.
wait_until() {
    local timeout=$1
    shift
    local deadline=$(($(date +%s) + timeout))
    until "$@"; do
        if [ "$(date +%s)" -ge "$deadline" ]; then
            return 1
        fi
        sleep 0.1
    done
}

arch=$(pe_arch "$bin/$program")
if ! why=$(windows_arch_runs "$arch"); then
    echo "$me: cannot run $program ($arch) here: $why" >&2
    exit 2
fi
use_wine "$arch"

xvfb_pid=""
work=$(mktemp -d /tmp/e2e-run.XXXXXX)
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko: their installers would ask to download, and the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    if [ "${E2E_KEEP_PREFIX:-0}" = 1 ]; then
        echo "$me: prefix kept in $WINEPREFIX"
    else
        rm -rf "$work"
    fi
    echo "$me: whole run took $(seconds_since "$run_start") s (exit status $status)"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- A free X display: Xvfb's own lock file decides, so two runs cannot share one.
screen=1280x1024
xvfb_ready() { [ -s "$work/displayfd" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; }
for n in ${E2E_DISPLAYS:-80 81 82 83 84 85 86 87 88 89}; do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then
        continue
    fi
    : >"$work/displayfd"
    # -displayfd: Xvfb writes the display number there once it accepts clients.
    Xvfb ":$n" -screen 0 "${screen}x24" -nolisten tcp -displayfd 3 \
        3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    if wait_until 20 xvfb_ready && [ -s "$work/displayfd" ]; then
        export DISPLAY=":$n"
        break
    fi
    # Another server took the number first, or this one failed: try the next.
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
done
if [ -z "$xvfb_pid" ]; then
    echo "$me: no free X display among ${E2E_DISPLAYS:-80-89}" >&2
    cat "$work/xvfb.log" >&2 || true
    exit 1
fi
echo "$me: Xvfb on $DISPLAY (pid $xvfb_pid)"

# --- A throwaway prefix, made once for the whole run.
prefix_start=$(now)
"$WINE" wineboot -i >"$work/wineboot.log" 2>&1 || {
    cat "$work/wineboot.log" >&2
    exit 1
}
# Every program runs inside one Wine desktop window as big as the display, as on a
# Windows desktop: the X server then sees a single window, so which Wine program is in
# front is settled by Wine alone, never by X focus events that reach each program late
# and can hand the front to a window that has just lost it. No window manager runs on
# the display, so that one window is neither managed nor decorated by X. (Managed
# windows wait up to 2 s for a window manager's answer each time one is hidden.)
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' \
    '"Managed"="N"' '"Decorated"="N"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' "\"Default\"=\"$screen\"" \
    >"$work/x11.reg"
# The version GetVersion reports, as winecfg -v sets it; which functions exist stays.
if [ -n "${E2E_WINDOWS_VERSION:-}" ]; then
    printf '%s\r\n' '' '[HKEY_CURRENT_USER\Software\Wine]' \
        "\"Version\"=\"$E2E_WINDOWS_VERSION\"" >>"$work/x11.reg"
fi
"$WINE" regedit /S "$(winpath "$work/x11.reg")"
wineserver -w
echo "$me: $WINEARCH Wine prefix made in $(seconds_since "$prefix_start") s"
cp "$bin/SNDVOL32.exe" "$WINEPREFIX/drive_c/windows/SNDVOL32.EXE"
# Wine's own fonts (fonts-wine: Marlett for the caption buttons, MS Sans Serif, Tahoma)
# where Windows keeps them. Debian's Wine 8 never looks in its data folder for them, so
# without this every caption button is drawn as a letter.
if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
else
    echo "$me: /usr/share/wine/fonts is missing (package fonts-wine)" >&2
fi

# --- The program.
rm -rf "$shots"
mkdir -p "$shots"
program_start=$(now)
status=0
timeout --kill-after=10 "${E2E_SUITE_TIMEOUT:-1200}" \
    "$WINE" "$bin/$program" --exe-dir="$(winpath "$bin")" \
    --screenshot-dir="$(winpath "$shots")" "$@" </dev/null || status=$?
echo "$me: $program took $(seconds_since "$program_start") s"
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "$me: $program did not finish within ${E2E_SUITE_TIMEOUT:-1200} s" >&2
fi

# --- Pictures as PNG.
shopt -s nullglob
bmps=("$shots"/*.bmp)
if [ ${#bmps[@]} -gt 0 ]; then
    if command -v convert >/dev/null; then
        for bmp in "${bmps[@]}"; do
            convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
        done
    else
        echo "$me: ImageMagick's convert is missing; pictures stay BMP" >&2
    fi
    echo "$me: ${#bmps[@]} screenshot(s) in $shots"
fi

exit "$status"
