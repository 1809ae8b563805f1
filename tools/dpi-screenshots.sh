#!/usr/bin/env bash
# The preselector's main window and options dialog under Wine at 96 and at 144 DPI:
# every control checked from outside against its layout (pixels = twips x DPI / 1440,
# within 1 px; captions fit), and a picture of each form at each DPI in build/dpi/:
#   main-96dpi.png  options-96dpi.png  main-144dpi.png  options-144dpi.png
#
#   tools/dpi-screenshots.sh [DPI,DPI...]     (default 96,144)
#
# The checker, e2e/dpi/dpi_check.cpp, sets the prefix's LogPixels before each start of
# the preselector. It runs the 32-bit programs where they run, else the 64-bit ones.
# Environment: QUINTARO_ARCH, DPI_SHOTS (default build/dpi), JOBS, and those of
# tools/on-wine-desktop.sh. Exits non-zero when a check fails.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"
dpis=${1:-96,144}

arch=$(windows_arch_preferred)
windows_build "$arch" dpi_check e2e_stage standin_shutdown standin_sndvol32
exec "$root/tools/on-wine-desktop.sh" "$(windows_tree "$arch")" "${DPI_SHOTS:-$root/build/dpi}" \
    dpi_check.exe --dpi="$dpis"
