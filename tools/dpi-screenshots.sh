#!/usr/bin/env bash
# The preselector's main window and options dialog under Wine at 96 and at 144 DPI:
# every control checked from outside against its layout (pixels = twips x DPI / 1440,
# within 1 px; captions fit), and a picture of each form at each DPI in build/dpi/:
#   main-96dpi.png  options-96dpi.png  main-144dpi.png  options-144dpi.png
#
#   tools/dpi-screenshots.sh [DPI,DPI...]     (default 96,144)
#
# The checker, e2e/dpi/dpi_check.cpp, sets the prefix's LogPixels before each start of
# the preselector. Environment: WIN_BUILD_DIR (default build/win), JOBS, and those of
# tools/on-wine-desktop.sh. Exits non-zero when a check fails.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
win_build=${WIN_BUILD_DIR:-$root/build/win}
jobs=${JOBS:-$(nproc)}
dpis=${1:-96,144}

cmake -S "$root" -B "$win_build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$win_build" -j "$jobs" --target dpi_check e2e_stage standin_shutdown \
    standin_sndvol32 >/dev/null
exec "$root/tools/on-wine-desktop.sh" "$win_build" "$root/build/dpi" dpi_check.exe \
    --dpi="$dpis"
