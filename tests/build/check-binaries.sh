#!/usr/bin/env bash
# The shipped programs must be PE32 (i686) and PE32+ (x86_64) images that import nothing but
# system DLLs, so that each runs alone on a clean Windows. Nothing in out/ carries debug
# sections, and the Linux tools there are optimised builds without the tests' sanitizers.
set -euo pipefail
# Tool output is matched below: keep it in English whatever locale the test run uses.
export LC_ALL=C
out="$1"
fail=0
check() { # file, objdump, expected format
    local file="$1" objdump="$2" format="$3"
    if [ ! -f "$file" ]; then
        echo "missing: $file"; fail=1; return
    fi
    local header
    header=$("$objdump" -f "$file")
    if [[ "$header" != *"file format $format"* ]]; then
        echo "$file is not $format"; fail=1
    fi
    local dlls
    dlls=$("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
    for dll in $dlls; do
        case "$dll" in
            libstdc++*|libgcc*|libwinpthread*) echo "$file needs $dll"; fail=1 ;;
        esac
    done
    no_debug_sections "$file" "$objdump"
}
no_debug_sections() { # file, objdump
    if "$2" -h "$1" | grep -q '\.debug_'; then
        echo "$1 carries debug sections"; fail=1
    fi
}
for f in "$out"/win32/*.exe "$out"/win32/*.dll; do
    [ -e "$f" ] && check "$f" i686-w64-mingw32-objdump pei-i386
done
for f in "$out"/win64/*.exe "$out"/win64/*.dll; do
    [ -e "$f" ] && check "$f" x86_64-w64-mingw32-objdump pei-x86-64
done
for f in "$out"/native/publish-manifest "$out"/native/taboolex-check "$out"/native/libtaboolex.so; do
    if [ ! -f "$f" ]; then
        echo "missing: $f"; fail=1; continue
    fi
    no_debug_sections "$f" objdump
    if nm -D "$f" | grep -q '__asan\|__ubsan'; then
        echo "$f is a sanitizer build"; fail=1
    fi
done
check "$out/win32/Refreshor.exe" i686-w64-mingw32-objdump pei-i386
check "$out/win64/Refreshor.exe" x86_64-w64-mingw32-objdump pei-x86-64
exit $fail
