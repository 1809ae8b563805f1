#!/usr/bin/env bash
# tools/install-deps.sh against a registry in a bad state, played by stand-ins for
# apt-get and dpkg-query first on PATH: `update` reports an index that failed to
# download, and installing any :i386 package fails as apt does when the i386 lists are
# out of step with the amd64 ones. Everything else goes to the real commands.
#   1. wine32 missing: install-deps goes on, names wine32 and apt's reason, and the
#      tools then say why the 32-bit build is not run.
#   2. a required package that cannot be installed: install-deps fails and names it.
# Needs root, as install-deps does; exits 77 (skipped) otherwise.
# With --standins DIR it only writes the stand-ins into DIR/bin, for trying any tool
# against such a registry: PATH=DIR/bin:$PATH tools/demo.sh
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --standins ]; then
    work=$2
else
    [ "$(id -u)" -eq 0 ] || { echo "install_deps_test: needs root; skipped"; exit 77; }
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
failures=0

check() {
    if eval "$2"; then
        echo "ok    $1"
    else
        echo "FAIL  $1"
        failures=$((failures + 1))
    fi
}

mkdir -p "$work/bin"
real_apt=$(command -v apt-get)
real_query=$(command -v dpkg-query)
cat >"$work/bin/apt-get" <<EOF
#!/usr/bin/env bash
# Stand-in apt-get. STANDIN_REFUSE: packages, besides any :i386 one, it will not install.
if [ "\$1" = update ]; then
    echo "Err:6 http://registry.invalid/debian-security bookworm-security/main i386 Packages"
    echo "E: Failed to fetch http://registry.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
fi
if [ "\$1" = install ]; then
    for package in "\$@"; do
        case " \${STANDIN_REFUSE:-} " in *" \$package "*)
            echo "E: Package '\$package' has no installation candidate"; exit 100 ;;
        esac
        case "\$package" in *:i386)
            echo "Some packages could not be installed."
            echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
        esac
    done
fi
exec "$real_apt" "\$@"
EOF
cat >"$work/bin/dpkg-query" <<EOF
#!/usr/bin/env bash
# Stand-in dpkg-query: wine32 and the packages in STANDIN_REFUSE read as not installed.
for package in "\$@"; do :; done
case " wine32:i386 \${STANDIN_REFUSE:-} " in *" \$package "*)
    echo "dpkg-query: no packages found matching \$package" >&2; exit 1 ;;
esac
exec "$real_query" "\$@"
EOF
chmod +x "$work/bin/apt-get" "$work/bin/dpkg-query"
[ "${1:-}" = --standins ] && exit 0

run_install_deps() {
    env PATH="$work/bin:$PATH" QUINTARO_STATE_DIR="$work/state" INSTALL_DEPS_TRIES=2 \
        INSTALL_DEPS_PAUSE=0 "$@" "$root/tools/install-deps.sh" >"$work/out" 2>&1
    echo $? >"$work/status"
    sed 's/^/    | /' "$work/out"
}

# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"

echo "== 1. the i386 index failed, so wine32 cannot be installed"
run_install_deps
check "install-deps succeeds" '[ "$(cat "$work/status")" -eq 0 ]'
check "it says the update did not complete and goes on" \
    'grep -q "apt-get update did not complete (Failed to fetch .*Mirror sync in progress?)" "$work/out"'
check "it tried the update again" 'grep -q "apt-get update failed (.*); trying again" "$work/out"'
if probe_32bit_code >/dev/null; then
    check "it names wine32 and apt's reason" \
        'grep -q "wine32 could not be installed (Unable to correct problems, you have held broken packages.)" "$work/out"'
    if [ ! -x /usr/lib/wine/wine ]; then
        check "the tools then say why the 32-bit build is not run" \
            '[ "$(QUINTARO_STATE_DIR="$work/state" windows_arch_runs i686)" = "wine32 could not be installed: Unable to correct problems, you have held broken packages." ]'
    fi
else
    check "on this machine, which refuses 32-bit code, it says so instead" \
        'grep -q "refuses 32-bit code" "$work/out"'
fi

echo "== 2. a required package cannot be installed"
run_install_deps STANDIN_REFUSE=nsis
check "install-deps fails" '[ "$(cat "$work/status")" -ne 0 ]'
check "it names the package and apt's reason" \
    'grep -q "^  nsis: Package .nsis. has no installation candidate" "$work/out"'

echo "install_deps_test: $failures failed"
[ "$failures" -eq 0 ]
