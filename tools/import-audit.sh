#!/usr/bin/env bash
# Checks each program's imports against docs/windows-functions.md: every imported
# function must be in the table and exported by its build's oldest Windows (win32:
# Windows 95 and NT 4.0 SP6; win64: XP x64), from a DLL that Windows has. Prints, per exe,
# the oldest Windows it meets. With no arguments, the four programs of build/win32 and
# build/win64 that exist. Fails when any import is above its floor or unknown.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"
table="$root/docs/windows-functions.md"

exes=("$@")
if [ ${#exes[@]} -eq 0 ]; then
    for arch in "${windows_arches[@]}"; do
        for program in dormello32 sonvik32; do
            exe="$(windows_tree "$arch")/e2e-bin/$program.exe"
            [ -f "$exe" ] && exes+=("$exe")
        done
    done
fi
[ ${#exes[@]} -gt 0 ] || { echo "import-audit: no programs to audit" >&2; exit 1; }

# "dll function" for each import of a PE file.
imports() {
    x86_64-w64-mingw32-objdump -p "$1" | awk -F'\t' '
        /^\tDLL Name: / { split($2, a, ": "); dll = tolower(a[2]); inlist = 0; next }
        /^\tvma:/ { inlist = 1; next }
        inlist && NF >= 3 { split($3, b, " "); print dll, b[2]; next }
        /^$/ { inlist = 0 }'
}

failed=0
for exe in "${exes[@]}"; do
    arch=$(pe_arch "$exe") || { failed=1; continue; }
    imports "$exe" | awk -v exe="$(basename "$exe") ($arch)" -v arch="$arch" -v table="$table" '
        # Releases as comparable numbers; 9999 for "none".
        function rank9x(v) { return v == "95" ? 400 : v == "98" ? 410 : v == "ME" ? 490 : 9999 }
        function ranknt(v) {
            if (v == "3.1") return 310; if (v == "3.5") return 350; if (v == "3.51") return 351
            if (v == "4.0") return 400; if (v == "4.0 SP3") return 403
            if (v == "4.0 SP4") return 404; if (v == "4.0 SP6") return 406
            if (v == "2000") return 500; if (v == "XP") return 501; if (v == "XP SP1") return 502
            if (v == "XP x64") return 520; if (v == "Vista") return 600; if (v == "7") return 601
            if (v == "8") return 602
            return 9999
        }
        BEGIN {
            FS = "|"
            while ((getline line < table) > 0) {
                if (line !~ /^\| `/) continue
                split(line, f, "|")
                name = f[2]; gsub(/[ `]/, "", name)
                dll = f[3]; gsub(/ /, "", dll)
                nine = f[4]; gsub(/^ +| +$/, "", nine)
                nt = f[5]; gsub(/^ +| +$/, "", nt)
                known[name] = dll ".dll"; first9x[name] = nine; firstnt[name] = nt
            }
            FS = " "
            # The oldest Windows of each build.
            if (arch == "i686") { floor9x = rank9x("95"); floornt = ranknt("4.0 SP6") }
            else { floor9x = 0; floornt = ranknt("XP x64") }
            worst9x = 0; worstnt = 0; count = 0; bad = 0
        }
        {
            dll = $1; fn = $2; count++
            if (!(fn in known)) { print "  " fn " (" dll "): not in docs/windows-functions.md"; bad++; next }
            if (known[fn] != dll) { print "  " fn ": imported from " dll ", listed in " known[fn]; bad++ }
            r9 = rank9x(first9x[fn]); rn = ranknt(firstnt[fn])
            if (r9 > worst9x) { worst9x = r9; name9x = first9x[fn]; why9x = fn }
            if (rn > worstnt) { worstnt = rn; nament = firstnt[fn]; whynt = fn }
            if ((floor9x && r9 > floor9x) || rn > floornt) {
                print "  " fn " (" dll "): first in 9x " first9x[fn] ", NT " firstnt[fn] ": newer than the floor"
                bad++
            }
        }
        END {
            nine = arch == "i686" ? (worst9x == 9999 ? "no Windows 9x (" why9x ")" : "Windows " name9x) : ""
            nt = "NT " nament " (" whynt ")"
            meets = arch == "i686" ? nine " and " nt : "x64 Windows from " nament " (" whynt ")"
            printf "%s: %d imports; oldest Windows it starts on: %s: %s\n", exe, count,
                meets, bad ? bad " above the floor or unknown: FAIL" : "ok"
            exit bad ? 1 : 0
        }' || failed=1
done
exit "$failed"
