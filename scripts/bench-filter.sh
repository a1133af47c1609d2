#!/usr/bin/env bash
# Benchmarks of the filter library. Natively: Google Benchmark (with Hyperscan beside it) in an
# optimised tree without sanitizers, build/native-release, whose binaries stay inside it. Then
# the 64-bit Windows build under Wine, with its own timing loop. Each prints the same table of
# ratios measured in one run. MIN_TIME (seconds per repetition of a measurement) trades precision for time.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
jobs="${JOBS:-2}"
min_time="${MIN_TIME:-0.03}"

"$repo/scripts/setup.sh"

release="$root/native-release"
# Configured every time (it is quick), so the tree always has these settings. The benchmarks
# belong to the test build's folders; only the benchmark program is built.
cmake -S "$repo" -B "$release" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Release -DHALVENPORT_TESTS=ON -DHALVENPORT_SANITIZE=OFF \
    -DHALVENPORT_OUT_DIR="$release/out" >/dev/null
cmake --build "$release" -j "$jobs" --target filter_benchmark
"$release/bench/filter/filter_benchmark" --benchmark_min_time="$min_time" --benchmark_color=false

win64="$root/win64"
if [ ! -f "$win64/build.ninja" ]; then
    cmake -S "$repo" -B "$win64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVENPORT_WINEPREFIX="$root/wineprefix" >/dev/null
fi
cmake --build "$win64" -j "$jobs" --target filter_timing
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"
export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
# A persistent server, warmed with everything on /dev/null (see scripts/test.sh); it may be
# running already.
/usr/lib/wine/wineserver -p 2>/dev/null || true
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
# Through a file: Wine's helper processes would keep a pipe open.
log="$win64/bench/filter/filter_timing.log"
(cd "$win64/bench/filter" && "$WINE" filter_timing.exe "$(awk "BEGIN { print $min_time * 5 }")" >"$log" 2>&1 </dev/null) ||
    { cat "$log"; exit 1; }
cat "$log"
