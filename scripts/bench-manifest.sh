#!/usr/bin/env bash
# Times LoadManifest + KeepOutdated for a manifest whose local files all exist and are current.
# Builds the 64-bit tree if needed and runs the benchmark under Wine. Arguments: [entries] [rounds]
# (default 10000 entries, 1 round). The local copies stay in the build tree for later runs.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
if [ ! -f "$root/win64/build.ninja" ]; then
    cmake -S "$repo" -B "$root/win64" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVENPORT_WINEPREFIX="$root/wineprefix" >/dev/null
fi
cmake --build "$root/win64" -j "${JOBS:-2}" --target manifest_bench >/dev/null
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"

export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
/usr/lib/wine/wineserver -p 2>/dev/null || true # may already be running
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
# Through a file: Wine's helper processes would hold a pipe open after the program ends.
out="$root/win64/bench/manifest/result.txt"
(cd "$root/win64/bench/manifest" && "$WINE" manifest_bench.exe "$@" >"$out" 2>&1 </dev/null)
cat "$out"
