#!/usr/bin/env bash
# Runs every test: the host tree's unit tests, lint, the same tests under the address and
# undefined-behaviour sanitizers, a bounded fuzzing run of each fuzz target; then both
# Windows trees (32-bit i686 and 64-bit x86_64) are built and packaged, and for each
# arch this machine can run, the end-to-end suite, a short benchmark run, the DPI check
# and the installer check run under that arch's Wine. Meant for a fresh Debian 12 run as
# root: whatever is missing is installed first.
#
# Some machines refuse 32-bit code; there the 64-bit build alone is proven, and the last
# line says so and why. The run fails when any stage fails, or when no arch could run.
#
# Environment: QUINTARO_ARCH (i686 or x86_64: that arch only), HOST_BUILD_DIR (default
# build/host), ASAN_BUILD_DIR (default build/asan), FUZZ_BUILD_DIR (default build/fuzz),
# FUZZ_SECONDS (per fuzz target, default 60), JOBS (default: the number of processors).
set -uo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"
host_build=${HOST_BUILD_DIR:-$root/build/host}
export JOBS=${JOBS:-$(nproc)}
started=$(date +%s)
failed=()
timings=()

# Runs one stage, timed; a failure is recorded and the run goes on with the next stage.
stage() {
    local name=$1
    shift
    local from
    from=$(date +%s)
    echo "==> [$((from - started)) s] $name"
    local status=0
    "$@" || status=$?
    local took=$(($(date +%s) - from))
    if [ "$status" -eq 0 ]; then
        timings+=("$(printf '%5d s  ok    %s' "$took" "$name")")
        return 0
    fi
    timings+=("$(printf '%5d s  FAIL  %s' "$took" "$name")")
    failed+=("$name")
    echo "==> $name FAILED (exit status $status)" >&2
    return "$status"
}

stage "checking the tools" "$root/tools/install-deps.sh" || exit 1
stage "install-deps against a registry in a bad state" bash "$root/tests/install_deps_test.sh"

# --- Host tree: the portable logic against the simulated desktop.
build_host() {
    cmake -S "$root" -B "$host_build" -DCMAKE_BUILD_TYPE=Debug && cmake --build "$host_build" -j "$JOBS"
}
if stage "building the host tree in $host_build" build_host; then
    stage "running the host tests" ctest --test-dir "$host_build" --output-on-failure -j "$JOBS"
    stage "checking formatting and the portable code's static analysis" \
        "$root/tools/lint.sh" "$host_build"
fi
stage "running the host tests under the sanitizers" "$root/tools/sanitize.sh"
stage "fuzzing each target for ${FUZZ_SECONDS:-60} s" "$root/tools/fuzz.sh"

# The programs, from the unstripped build, function by function; the installer's stub is
# Debian's (its source package cannot be had from the registry here), so its floor and
# that of the plug-ins it carries are reported, not held against the 80486.
instruction_audit() {
    "$root/tools/instruction-audit.sh" || return 1
    local setup=("$root"/build/release/QUINTARO-*-win32-setup.exe)
    [ -f "${setup[0]}" ] || { echo "test: no win32 installer to audit" >&2; return 1; }
    "$root/tools/instruction-audit.sh" --floor-only "${setup[0]}" \
        /usr/share/nsis/Plugins/x86-ansi/{nsDialogs,System,UserInfo}.dll
}

instruction_audit_fails_stock() {
    local stock=$root/build/stock output status=0
    BUILD_ROOT=$stock QUINTARO_STOCK_TOOLCHAIN=1 windows_build i686 sonvik32 2>/dev/null ||
        return 1
    output=$("$root/tools/instruction-audit.sh" "$stock/win32/launcher/sonvik32.exe" 2>&1) ||
        status=$?
    echo "$output" | tail -n 3
    # It must fail, and on the run-time's start-up, which runs before any code of ours.
    [ "$status" -ne 0 ] && echo "$output" | grep -q '___tmainCRTStartup: cmov'
}

# --- Windows trees: every arch builds and packages on any machine. The win32 programs
# are built with a toolchain made for the 80486, the first time from Debian's sources.
toolchain_ok=true
if [[ " $(windows_arches_wanted) " == *" i686 "* ]]; then
    stage "building the 80486 toolchain for the win32 programs (once per machine; cached)" \
        "$root/tools/build-toolchain.sh" || toolchain_ok=false
fi
built=()
for arch in $(windows_arches_wanted); do
    # Without its toolchain the win32 tree would only try to build it again.
    [ "$arch" = i686 ] && ! $toolchain_ok && continue
    if stage "building the $arch tree in $(windows_tree "$arch")" windows_build "$arch"; then
        built+=("$arch")
    fi
done
stage "building the release packages in build/release" "$root/tools/package.sh"
stage "auditing the programs' imports against the oldest Windows of each build" \
    "$root/tools/import-audit.sh"
if [[ " ${built[*]} " == *" i686 "* ]]; then
    stage "auditing the win32 release's instructions against the 80486" instruction_audit
    stage "the instruction audit fails a program built with Debian's stock toolchain" \
        instruction_audit_fails_stock
fi

# --- Under Wine: each arch this machine can run.
proved=()
not_run=()
while read -r line; do
    arch=${line%% *}
    not_run+=("${arch#-} ($(windows_label "${arch#-}")): ${line#* }")
done < <(windows_arches_runnable 2>&1 >/dev/null)

# The end-to-end cases run again in the oldest-Windows mode.
# The launcher's 30-second bounds, slow to run, are held once, in the whole suite.
oldest_cases='Dormello*:*DormelloAnswersEachShape*:*Launcher*:FaultsTest.*-*LauncherWhenTheVolumeControlGoes*:LauncherGivesUp.*'

run_under_wine() {
    local arch=$1 tree
    tree=$(windows_tree "$arch")
    local before=${#failed[@]}
    # The e2e folder holds the suite's test whether or not the top level enables testing.
    stage "$arch: the end-to-end suite under Wine" \
        ctest --test-dir "$tree/e2e" --output-on-failure
    # Every looked-up function absent and the A forms used, as on Windows 95 to ME.
    stage "$arch: the watcher, options and launcher cases in the oldest-Windows mode" \
        env QUINTARO_OLDEST_WINDOWS=1 E2E_RESULTS=e2e-oldest-results "$root/tools/run-e2e.sh" \
        "$tree" --gtest_filter="$oldest_cases"
    # Times and CPU figures are reported, never checked (bench/README.md): only that the
    # harness ran and wrote its table.
    stage "$arch: the benchmark harness briefly (10 openings, 5 s idle; the watcher again in the oldest-Windows mode)" \
        bench_smoke "$arch"
    # The programs' own version checks, in prefixes reporting an old Windows (Wine's
    # 64-bit prefixes take the setting too): on one reporting 98 they take the A forms.
    local version
    for version in win98 nt40 winxp; do
        stage "$arch: the same cases in a prefix reporting $version" \
            env E2E_WINDOWS_VERSION="$version" E2E_RESULTS="e2e-$version-results" \
            "$root/tools/run-e2e.sh" "$tree" --gtest_filter="$oldest_cases"
    done
    stage "$arch: the forms at 96 and 144 DPI" env QUINTARO_ARCH="$arch" \
        DPI_SHOTS="$root/build/dpi/$(windows_label "$arch")" "$root/tools/dpi-screenshots.sh"
    stage "$arch: installing and uninstalling the package under Wine" \
        env QUINTARO_ARCH="$arch" "$root/tools/installer-check.sh"
    [ ${#failed[@]} -eq "$before" ]
}

bench_smoke() {
    local results
    results="$(windows_tree "$1")/bench-smoke"
    QUINTARO_ARCH=$1 BENCH_RESULTS=$results "$root/tools/bench.sh" --openings=10 \
        --idle-seconds=5 --desktop-seconds=3 --shape-openings=2 --launcher-delays=2000 || return 1
    local rows
    rows=$(grep -c -E '^\| (busy loop|sleep 100 ms|dormello32) \|' \
        "$results/bench-table.md" 2>/dev/null || true)
    # dormello32 has a row in the busy-desktop table as well.
    if [ "${rows:-0}" -ne 4 ] || ! grep -q '^| dormello32 ÷ event floor |' \
        "$results/bench-table.md"; then
        echo "test: the benchmark harness wrote no complete table" >&2
        return 1
    fi
    # The watcher once more, in the oldest-Windows mode: no WinEvents, the older wait.
    local oldest
    oldest="$(windows_tree "$1")/bench-oldest"
    QUINTARO_OLDEST_WINDOWS=1 QUINTARO_ARCH=$1 BENCH_RESULTS=$oldest "$root/tools/bench.sh" \
        --watchers=dormello --openings=10 --idle-seconds=5 --desktop-seconds=0 \
        --launcher-delays=2000 || return 1
    if ! grep -E '^\| dormello32 \|' "$oldest/bench-table.md"; then
        echo "test: the oldest-mode benchmark wrote no row for dormello32" >&2
        return 1
    fi
}

for arch in $(windows_arches_runnable 2>/dev/null); do
    if [[ " ${built[*]} " != *" $arch "* ]]; then
        not_run+=("$arch ($(windows_label "$arch")): its tree did not build")
        continue
    fi
    if run_under_wine "$arch"; then
        proved+=("$arch ($(windows_label "$arch"))")
    fi
done

echo
echo "==> stage times"
printf '%s\n' "${timings[@]}"
echo "==> [$(($(date +%s) - started)) s] done"
joined=$(printf ', %s' "${proved[@]}")
summary="test: proved under Wine: ${joined:2}"
[ ${#proved[@]} -eq 0 ] && summary="test: proved under Wine: none"
for line in "${not_run[@]}"; do
    summary+="; not run: $line"
done
echo "$summary"
if [ ${#proved[@]} -eq 0 ] && [ ${#failed[@]} -eq 0 ]; then
    echo "test: FAILED: no Windows arch could run on this machine" >&2
    exit 1
fi
if [ ${#failed[@]} -ne 0 ]; then
    echo "test: FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "test: all tests passed"
