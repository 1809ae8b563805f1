#!/usr/bin/env bash
# Style and static checks: clang-format on every C++ file, clang-tidy on the portable
# code (the Win32 side is checked by the cross compiler's warnings). Fails on any finding.
#
#   tools/lint.sh [HOST_BUILD_DIR]   (default build/host; it supplies compile_commands.json)
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build/host}
if [ ! -f "$build/compile_commands.json" ]; then
    cmake -S . -B "$build" >/dev/null
fi

mapfile -t all < <(git ls-files '*.cpp' '*.h')
echo "lint: clang-format on ${#all[@]} files"
clang-format --dry-run --Werror "${all[@]}"

mapfile -t portable < <(git ls-files 'common/*.cpp' 'desktop/*.cpp' 'preselector/*.cpp' \
    'launcher/*.cpp' ':(exclude)desktop/win32/*' ':(exclude)*_win32.cpp')
echo "lint: clang-tidy on ${#portable[@]} portable files"
clang-tidy -p "$build" --quiet --warnings-as-errors='*' "${portable[@]}"
echo "lint: clean"
