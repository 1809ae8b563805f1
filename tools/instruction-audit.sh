#!/usr/bin/env bash
# Checks that 32-bit Windows programs hold no instruction newer than the 80486, the
# oldest processor Windows 95, 98 and NT 4.0 run on: a Pentium or 486 meets a Pentium Pro
# instruction (CMOVcc, FCOMI, ...) with an invalid-opcode fault, and Windows ends the
# program. Prints, per exe, the oldest processor it runs on; fails naming the function and
# the instruction of each find.
#
#   instruction-audit.sh [--floor-only] EXE...
#
# With no EXE, the two programs of build/win32 (unstripped: their symbols name the
# functions). Only code is read, function by function: MinGW's linker puts the
# constructor lists and the exception tables (.gcc_except_table) in .text after the code,
# at ___CTOR_LIST__, and a disassembler decodes those bytes as anything. An exe without
# symbols is read as one stretch of .text. CPUID counts as a Pentium instruction unless
# its function first tries the EFLAGS ID bit, the way to learn whether there is one.
#
# --floor-only reports the floor without failing on it: for a part that this project
# cannot build itself.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/lib/windows.sh
source "$root/tools/lib/windows.sh"
objdump=i686-w64-mingw32-objdump

floor_only=0
if [ "${1:-}" = --floor-only ]; then
    floor_only=1
    shift
fi
exes=("$@")
if [ ${#exes[@]} -eq 0 ]; then
    for program in dormello32 sonvik32; do
        exes+=("$(windows_tree i686)/e2e-bin/$program.exe")
    done
fi

# The end of the code in .text: the constructor list's address, when the exe has symbols.
code_end() {
    i686-w64-mingw32-nm "$1" 2>/dev/null | awk '$3 == "___CTOR_LIST__" { print "0x" $1; exit }'
}

failed=0
for exe in "${exes[@]}"; do
    if [ ! -f "$exe" ]; then
        echo "instruction-audit: $exe: no such file" >&2
        failed=1
        continue
    fi
    if [ "$(pe_arch "$exe")" != i686 ]; then
        echo "instruction-audit: $exe is no 32-bit program" >&2
        failed=1
        continue
    fi
    end=$(code_end "$exe")
    range=()
    [ -n "$end" ] && range=(--stop-address="$end")
    "$objdump" -d -w --no-show-raw-insn -j .text "${range[@]}" "$exe" | awk \
        -v exe="$(basename "$exe")" -v symbols="$([ -n "$end" ] && echo 1 || echo 0)" \
        -v floor_only="$floor_only" '
        BEGIN {
            split("80386,80486,Pentium,Pentium MMX,Pentium Pro,Pentium II,Pentium III," \
                  "Pentium 4 or later", cpu, ",")
            split("lock rep repz repnz repe repne data16 addr16 data32 addr32 cs ds es fs gs ss" \
                  " notrack bnd xacquire xrelease", p, " ")
            for (i in p) prefix[p[i]] = 1
            fn = "(no symbols)"; worst = 1; functions = 0
        }
        # The level (an index into cpu) that an instruction needs.
        function level(m, operands) {
            if (operands ~ /%[xyz]mm[0-9]/) return 7
            if (operands ~ /%mm[0-7]/ || m == "emms") return 4
            if (m ~ /^f?cmov/ || m ~ /^fu?comip?$/ || m ~ /^nop[wl]$/ || m == "rdpmc") return 5
            if (m ~ /^(sysenter|sysexit|fxsave|fxrstor)$/) return 6
            if (m ~ /^prefetch/ || m ~ /^(sfence|ldmxcsr|stmxcsr)$/) return 7
            if (m ~ /^(rdtsc|cmpxchg8b|rdmsr|wrmsr|rsm)$/) return 3
            if (m == "cpuid") return guarded ? 1 : 3
            if (m ~ /^(lfence|mfence|clflush|movnti|fisttpl?l?|popcnt|lzcnt|tzcnt|movbe|crc32.*|rdrand|rdseed|rdtscp|xgetbv|xsave.*|xrstor.*|endbr32|syscall|sysret|andn|bextr|bls.*|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|adcx|adox)$/)
                return 8
            if (m ~ /^(bswap|cmpxchg|xadd|invd|wbinvd|invlpg)$/) return 2
            return 1
        }
        /^[0-9a-f]+ <.*>:$/ {
            fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn)
            functions++; guarded = 0; idflag = 0
            next
        }
        /^ *[0-9a-f]+:\t/ {
            split($0, f, "\t")
            n = split(f[2], w, " ")
            i = 1
            while (i < n && (w[i] in prefix)) i++
            m = w[i]
            if (m == "" || m == "(bad)") next
            operands = f[2]
            # The way to test for CPUID: toggle EFLAGS.ID (bit 21) through popf, read it back.
            if (operands ~ /\$0x200000/) idflag = 1
            if (idflag && m ~ /^popf/) guarded = 1
            l = level(m, operands)
            if (l > worst) worst = l
            if (l > 2) {
                key = fn SUBSEP m
                if (!(key in seen)) { order[++finds] = key; lv[key] = l }
                seen[key]++
            }
        }
        END {
            counted = symbols ? functions " functions" : "no symbols, .text read whole"
            bad = worst > 2
            if (!functions && symbols) { printf "%s: nothing was disassembled: FAIL\n", exe; exit 1 }
            for (k = 1; k <= finds && k <= 40; k++) {
                split(order[k], kf, SUBSEP)
                printf "  %s: %s: %s x%d (%s)\n", exe, kf[1], kf[2], seen[order[k]], cpu[lv[order[k]]]
            }
            if (finds > 40) printf "  %s: ... and %d more finds\n", exe, finds - 40
            verdict = !bad ? "ok" : floor_only ? "newer than the 80486 (reported, not built here)" : "newer than the 80486: FAIL"
            printf "%s: %s; oldest processor it runs on: %s: %s\n", exe, counted, cpu[worst], verdict
            exit bad && !floor_only ? 1 : 0
        }' || failed=1
done
exit "$failed"
