#!/usr/bin/env bash
# Runs the end-to-end suite under Wine on a private virtual X display.
#
#   tools/run-e2e.sh BUILD_DIR [gtest options...]
#
# BUILD_DIR is a Windows-tree build folder; its e2e-bin/ holds e2e_tests.exe, the
# stand-ins and the programs under test. Writes
#   BUILD_DIR/e2e-results.xml      the gtest report
#   BUILD_DIR/e2e-screenshots/     PNG pictures the tests took (failures included)
# See tools/on-wine-desktop.sh for the display, the prefix and the environment.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [gtest options...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
shift
# E2E_RESULTS names the report (default e2e-results), for a second run beside the first.
results="$build/${E2E_RESULTS:-e2e-results}.xml"
rm -f "$results"
results_win="Z:${results//\//\\}"
status=0
"$(dirname "$0")/on-wine-desktop.sh" "$build" "$build/e2e-screenshots" e2e_tests.exe \
    --gtest_output="xml:$results_win" "$@" || status=$?

# A long run's log is often cut in the middle where it is kept, so the failures' own
# messages are repeated last, where a shortened log still shows them.
if [ "$status" -ne 0 ] && [ -f "$results" ]; then
    echo "run-e2e: the failures, from $results:"
    awk '/<testcase /{test=$0} /<failure /{print test; inside=1} inside{print} /<\/failure>/{inside=0}' \
        "$results" | head -n 200
fi
exit "$status"
