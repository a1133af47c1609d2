#!/usr/bin/env bash
# What the banned-word filter catches and what it wrongly flags, measured with the native
# library through out/native/taboolex-check (built first if missing), on GBK copies of the texts.
#
#   scripts/filter-coverage.sh [-v]      (-v also lists every flagged clean line and every miss)
#   TABOOLEX_CHECK=other/taboolex-check scripts/filter-coverage.sh    (another build or table)
#
# Caught: the share of the entries of two public banned-word lists that are independent of the
# table's sources, the Chinese and the English list of the npm package naughty-words (CC BY 4.0).
# Wrongly flagged: words of an English dictionary (Debian wamerican; its own vulgar words, those
# of the English list and their inflections, do not count), lines of the 300 Tang and
# 100 Song poems (Debian fortunes-zh) and Chinese lines of a technical text (the Simplified
# Chinese Debian Reference, Debian debian-reference-zh-cn). Targets: at least 85 % and 60 %
# caught, fewer than 20 words, at most 4 poem lines and fewer than 10 technical lines flagged.
# Exit status 0 when every target is met, 1 otherwise.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
verbose=0
[[ "${1:-}" == "-v" ]] && verbose=1
cache="${FILTER_COVERAGE_CACHE:-$repo/build/filter-coverage}"
check="${TABOOLEX_CHECK:-$repo/out/native/taboolex-check}"

need=()
[ -f /usr/share/dict/american-english ] || need+=(wamerican)
[ -f /usr/share/games/fortunes/tang300.u8 ] || need+=(fortunes-zh)
[ -f /usr/share/debian-reference/debian-reference.zh-cn.txt.gz ] || need+=(debian-reference-zh-cn)
command -v npm >/dev/null || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
    echo "== installing ${need[*]}"
    $( [ "$(id -u)" = 0 ] || echo sudo ) env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q "${need[@]}" >/dev/null
fi
mkdir -p "$cache"
if [ ! -f "$cache/npm/node_modules/naughty-words/zh.json" ]; then
    echo "== installing naughty-words from npm"
    npm install --silent --no-audit --no-fund --prefix "$cache/npm" naughty-words@1.2.0 >/dev/null
fi
if [ ! -x "$check" ]; then
    echo "== building taboolex-check"
    root="${BUILD_ROOT:-$repo/build}/coverage-native"
    cmake -S "$repo" -B "$root" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root" --target taboolex-check -j "${JOBS:-2}" >/dev/null
fi

python3 "$repo/scripts/filter_coverage_inputs.py" "$cache" "$cache/npm/node_modules/naughty-words"

# flagged NAME: the lines of NAME.txt the filter flags, one per line, into NAME.flagged.
flagged() {
    local status=0
    "$check" "$cache/$1.txt" >"$cache/$1.flagged" 2>"$cache/$1.errors" || status=$?
    if [ "$status" -gt 1 ]; then
        cat "$cache/$1.errors" >&2
        exit 2
    fi
    wc -l <"$cache/$1.flagged"
}
lines() { wc -l <"$cache/$1.txt"; }
utf8() { iconv -f GBK -t UTF-8; }

failed=0
# report LABEL NAME KIND LIMIT: KIND "caught" needs share >= LIMIT %, "flagged" count < LIMIT.
report() {
    local label="$1" name="$2" kind="$3" limit="$4" n total
    n=$(flagged "$name")
    total=$(lines "$name")
    if [ "$kind" = caught ]; then
        local permille=$((n * 1000 / total))
        printf '%-44s %5d of %5d  %3d.%d %%   (target >= %d %%)\n' "$label" "$n" "$total" \
            $((permille / 10)) $((permille % 10)) "$limit"
        [ $((n * 100)) -ge $((limit * total)) ] || failed=1
        if [ "$verbose" = 1 ]; then
            echo "  missed:"
            cut -d: -f2- "$cache/$name.flagged" | sed 's/^ //' | LC_ALL=C sort >"$cache/$name.hit"
            LC_ALL=C sort "$cache/$name.txt" | LC_ALL=C comm -23 - "$cache/$name.hit" | utf8 |
                sed 's/^/    /'
        fi
    else
        printf '%-44s %5d of %5d lines   (target < %d)\n' "$label" "$n" "$total" "$limit"
        [ "$n" -lt "$limit" ] || failed=1
        [ "$verbose" = 1 ] && utf8 <"$cache/$name.flagged" | sed 's/^/    /'
    fi
    return 0
}

report "Chinese list caught (naughty-words zh)" zh-list caught 85
report "English list caught (naughty-words en)" en-list caught 60
report "English dictionary words flagged" dictionary flagged 20
report "Tang and Song poem lines flagged" poems flagged 5
report "Chinese technical text lines flagged" technical flagged 10
exit "$failed"
