#!/usr/bin/env bash
# The export tables of both Taboolex.dll builds: the seven entries of old at ordinals 1-7, the
# members under the names the Microsoft C++ compiler gives them and the plain functions
# undecorated, then the calls with a length at 8 and 9, and nothing else. The expected names come from that compiler's ABI twice over: written out here,
# and produced by clang for the Microsoft targets from the shipped Taboolex.h, whose references
# must then link against the shipped Taboolex.lib. On x86 the member shims must also pop their
# stack argument (__thiscall) and the plain function must not (__cdecl).
#   check-exports.sh <out dir> <work dir>
set -euo pipefail
# The tools' messages are parsed: no translations.
export LC_ALL=C
out="$1"
work="$2"
mkdir -p "$work"
fail=0
complain() { echo "FAIL: $*"; fail=1; }

declare -A expected
expected[win32]='??0CDirtyString@@QAE@XZ
??1CDirtyString@@QAE@XZ
??4CDirtyString@@QAEAAV0@ABV0@@Z
?IsTaboolex@CDirtyString@@QAE_NPBD@Z
IsTaboolex
IsTaboolex2
IsTaboolex3
TaboolexFind
TaboolexMask'
expected[win64]='??0CDirtyString@@QEAA@XZ
??1CDirtyString@@QEAA@XZ
??4CDirtyString@@QEAAAEAV0@AEBV0@@Z
?IsTaboolex@CDirtyString@@QEAA_NPEBD@Z
IsTaboolex
IsTaboolex2
IsTaboolex3
TaboolexFind
TaboolexMask'

cat > "$work/probe.cpp" <<'CPP'
#include "Taboolex.h"
bool Probe(CDirtyString& a, const CDirtyString& b, const char* text) {
    CDirtyString c;
    c = b;
    char out[8];
    size_t n = 0;
    return a.IsTaboolex(text) && IsTaboolex(text) && IsTaboolex2() && IsTaboolex3() &&
           TaboolexFind(text, 1, 0, nullptr) && TaboolexMask(text, 1, 0, out, &n);
}
CPP

# Export name of each ordinal, in ordinal order, from objdump's export table.
exports_by_ordinal() { # objdump, dll
    "$1" -p "$2" | awk '
        /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
        /^Export Address Table --/ { rvas = 1; next }
        names && /^\t\[ *[0-9]+\]/ { match($0, /\] /); n[$2 + 0] = substr($0, RSTART + 2); next }
        names { names = 0 }
        rvas && /Export RVA/ { count++; next }
        rvas && /^$/ { rvas = 0 }
        END { for (i = 0; i < count; i++) print (i in n ? n[i] : "<no name>") }' |
        tr -d '\r' | sed 's/\[ *\([0-9]*\)\]//'
}

for arch in win32 win64; do
    if [ "$arch" = win32 ]; then
        triple=i686; objdump=i686-w64-mingw32-objdump; machine=x86
    else
        triple=x86_64; objdump=x86_64-w64-mingw32-objdump; machine=x64
    fi
    dll="$out/$arch/Taboolex.dll"
    [ -f "$dll" ] || { complain "missing $dll"; continue; }

    actual=$(exports_by_ordinal "$objdump" "$dll")
    if [ "$actual" != "${expected[$arch]}" ]; then
        complain "$arch exports, by ordinal 1-$(echo "$actual" | wc -l):"; echo "$actual"
    fi
    base=$("$objdump" -p "$dll" | sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\)/\1/p')
    [ "$base" = 1 ] || complain "$arch ordinal base is '$base', not 1"

    for f in Taboolex.h Taboolex.lib libTaboolex.dll.a; do
        [ -f "$out/$arch/$f" ] || complain "$arch lacks $f"
    done

    # What code of the Microsoft compiler imports through the shipped header.
    clang++ --target=$triple-pc-windows-msvc -fno-exceptions -c -I"$out/$arch" \
        "$work/probe.cpp" -o "$work/probe-$arch.obj"
    imported=$(llvm-nm "$work/probe-$arch.obj" | sed -n 's/^ *U __imp_//p' | sort)
    ours=$(echo "${expected[$arch]}" | sed -n '/^?/p')
    plain=$(echo "${expected[$arch]}" | sed -n '/^[^?]/p')
    # x86 C names carry a leading underscore at the symbol level.
    [ "$arch" = win32 ] && plain=$(echo "$plain" | sed 's/^/_/')
    want=$(printf '%s\n%s\n' "$ours" "$plain" | sort)
    [ "$imported" = "$want" ] || { complain "$arch header imports differ:"; echo "$imported"; }
    if command -v lld-link >/dev/null; then
        lld-link /nologo /dll /noentry /nodefaultlib /machine:$machine \
            /out:"$work/probe-$arch.dll" "$work/probe-$arch.obj" "$out/$arch/Taboolex.lib" ||
            complain "$arch: a Microsoft-ABI module does not link against Taboolex.lib"
    fi

    if [ "$arch" = win32 ]; then
        image=$("$objdump" -p "$dll" | sed -n 's/^ImageBase[[:space:]]*//p')
        first_ret() { # ordinal
            local rva
            rva=$("$objdump" -p "$dll" | sed -n "s/^\t\[ *[0-9]*\] +base\[ *$1\] \([0-9a-f]*\) Export RVA/\1/p")
            local start=$((0x$image + 0x$rva))
            "$objdump" -d --start-address=$start --stop-address=$((start + 96)) "$dll" |
                grep -m1 -E '\sret' | sed 's/.*\(ret[^#]*\).*/\1/' | tr -s ' \t' ' '
        }
        for ordinal in 3 4; do
            r=$(first_ret $ordinal)
            [[ "$r" == "ret \$0x4"* ]] || complain "win32 ordinal $ordinal returns with '$r', not ret \$0x4"
        done
        for ordinal in 1 5; do
            r=$(first_ret $ordinal)
            [[ "$r" == "ret "* || "$r" == "ret" ]] && [[ "$r" != *'$'* ]] ||
                complain "win32 ordinal $ordinal returns with '$r', not a plain ret"
        done
    fi
done
exit $fail
