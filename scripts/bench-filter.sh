#!/usr/bin/env bash
# Benchmarks of the filter library, each printing figures measured side by side in one run:
#   1. natively, Google Benchmark: the library against the literal scan and Hyperscan;
#   2. one timing loop of our own (best of many rounds), natively and for the 64-bit DLL under
#      Wine, both built the way the release is built (Release), then the two set side by side;
#   3. taboolex-check on the same lines in GBK and in UTF-8.
# The optimised trees (build/bench-native, build/win64-release) are the benchmarks' own and keep
# their binaries inside them: sharing build/native-release, which ships out/native, would point
# its output away from out/native for later builds. MIN_TIME (seconds per repetition of a
# measurement) trades precision for time.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
jobs="${JOBS:-2}"
min_time="${MIN_TIME:-0.03}"
loop_time="$(awk "BEGIN { print $min_time * 5 }")"

"$repo/scripts/setup.sh"

release="$root/bench-native"
# Configured every time (it is quick), so the tree always has these settings. The benchmarks
# belong to the test build's folders; only the benchmark programs are built.
cmake -S "$repo" -B "$release" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Release -DHALVENPORT_TESTS=ON -DHALVENPORT_SANITIZE=OFF \
    -DHALVENPORT_OUT_DIR="$release/out" >/dev/null
cmake --build "$release" -j "$jobs" --target filter_benchmark filter_timing taboolex-check
"$release/bench/filter/filter_benchmark" --benchmark_min_time="$min_time" --benchmark_color=false
"$release/bench/filter/filter_timing" "$loop_time" "$release/filter_timing.figures"

win64="$root/win64-release"
cmake -S "$repo" -B "$win64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DHALVENPORT_TESTS=ON -DHALVENPORT_OUT_DIR="$win64/out" \
    -DHALVENPORT_WINEPREFIX="$root/wineprefix" >/dev/null
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
(cd "$win64/bench/filter" &&
    "$WINE" filter_timing.exe "$loop_time" filter_timing.figures >"$log" 2>&1 </dev/null) ||
    { cat "$log"; exit 1; }
cat "$log"

echo
echo "The same timing loop, Taboolex.dll (64-bit, Release) under Wine against the native library"
echo "(target: at most 1.3 times the native time per call)"
echo
awk '
    FNR == NR { native[$1 " " $2] = $3; next }
    ($1 " " $2) in native && $1 != "reference" {
        n = native[$1 " " $2]
        printf "%-12s %-22s native %10.1f ns   wine %10.1f ns   wine/native %5.2f\n", $1, $2, n, $3, $3 / n
    }' "$release/filter_timing.figures" "$win64/bench/filter/filter_timing.figures"

# taboolex-check over the same chat lines, as GBK and as UTF-8 (target: UTF-8 at most twice the
# time of GBK). Best of five runs each.
lines="$release/chat-lines"
python3 - "$lines" <<'PY'
import random, sys
phrases = ["大家好", "今天运气不错", "再来一局吧", "快点出牌啊", "这把牌真好", "谢谢老板",
           "我先走了，明天见", "等一下，我去倒杯水", "有人一起打麻将吗", "网络有点卡", "gg", "nice"]
r = random.Random(7)
text = "\n".join("，".join(r.choice(phrases) for _ in range(r.randrange(1, 6)))
                 for _ in range(1000000)) + "\n"
open(sys.argv[1] + ".utf8", "w", encoding="utf-8").write(text)
open(sys.argv[1] + ".gbk", "w", encoding="gbk").write(text)
PY
best_seconds() { # args...
    local best=""
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null || [ $? -eq 1 ]
        end=$(date +%s.%N)
        best=$(awk -v b="$best" -v t="$(awk "BEGIN { print $end - $start }")" \
            'BEGIN { print (b == "" || t < b) ? t : b }')
    done
    echo "$best"
}
check="$release/out/taboolex-check"
gbk=$(best_seconds "$check" "$lines.gbk")
utf8=$(best_seconds "$check" --utf8 "$lines.utf8")
echo
awk -v g="$gbk" -v u="$utf8" -v mib="$(($(stat -c %s "$lines.gbk") / 1048576))" 'BEGIN {
    printf "taboolex-check, 1000000 chat lines (%d MiB as GBK): GBK %.3f s, --utf8 %.3f s, ", mib, g, u
    printf "UTF-8/GBK %.2f (target at most 2)\n", u / g }'
