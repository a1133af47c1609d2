#!/usr/bin/env bash
# Download cost of HttpDownload against the platform's HTTP client alone and curl, side by side
# in one run, from nginx on 127.0.0.1:18080: one file of 64 MiB, and 200 files of 4 KiB fetched
# one after another. HttpDownload runs as the updater runs it (one task and thread per file,
# progress messages drained by a message loop); "WinINet alone" is a bare loop with a fresh
# session per file and 64 KiB reads. Best of three rounds each. Not a test: prints figures only.
#   scripts/bench-net.sh
# BENCH_BEFORE=<bench_inetfile.exe of another build> adds that build's figures as "before".
set -euo pipefail
# nginx takes the port every worktree's end-to-end tests use.
if [ -z "${HALVENPORT_PORT_LOCKED:-}" ]; then
    export HALVENPORT_PORT_LOCKED=1
    exec flock /tmp/halvenport-18080.lock "$0" "$@"
fi
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
port=18080

if [ -f "$root/win64/build.ninja" ]; then
    cmake --build "$root/win64" -j "${JOBS:-2}" --target bench_inetfile >/dev/null
else
    "$repo/scripts/build.sh" >/dev/null
fi
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"
export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
. "$repo/scripts/update-server.sh"

work="$(mktemp -d)"
cleanup() {
    stop_update_server
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
www="$work/www"
mkdir -p "$www/large" "$www/small"
head -c $((64 * 1024 * 1024)) /dev/urandom >"$www/large/file001.dat"
for i in $(seq -w 1 200); do head -c 4096 /dev/urandom >"$www/small/file$i.dat"; done
start_update_server "$www" "$work/nginx" "$port"

# Warm the wineserver with every stream on /dev/null, so its helpers hold none of ours.
/usr/lib/wine/wineserver -p 2>/dev/null || true
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true

# Wine maps drive Z: to the Unix root.
win() { printf 'Z:%s' "${1//\//\\}"; }
base="http://127.0.0.1:$port"

# <exe> [--wininet] <set> <count>: seconds of one run; the files are checked afterwards.
wine_run() {
    local exe="$1" mode="$2" set="$3" count="$4" out="$work/out"
    rm -rf "$out" && mkdir -p "$out"
    local args=()
    [ "$mode" = wininet ] && args+=(--wininet)
    "$WINE" "$exe" "${args[@]}" "$base/$set/" "$(win "$out")" "$count" \
        </dev/null >"$work/run.out" 2>&1 || { cat "$work/run.out" >&2; exit 1; }
    diff -r -q "$www/$set" "$out" >/dev/null || { echo "$mode: files differ" >&2; exit 1; }
    awk '{print $(NF-3)}' <(grep -E '^(inetfile|wininet) ' "$work/run.out")
}

curl_run() {
    local set="$1" out="$work/out" args=()
    rm -rf "$out" && mkdir -p "$out"
    for f in $(cd "$www/$set" && ls); do args+=("$base/$set/$f" -o "$out/$f"); done
    local start end
    start=$(date +%s.%N)
    curl -s --fail "${args[@]}"
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

best() { # command...: the least of three runs
    local a b c
    a=$("$@") b=$("$@") c=$("$@")
    printf '%s\n%s\n%s\n' "$a" "$b" "$c" | sort -g | head -1
}

exe="$root/win64/bench/net/bench_inetfile.exe"
report() { # label set count
    local label="$1" set="$2" count="$3"
    local ours bare curl_s before=""
    ours=$(best wine_run "$exe" inetfile "$set" "$count")
    bare=$(best wine_run "$exe" wininet "$set" "$count")
    curl_s=$(best curl_run "$set")
    if [ -n "${BENCH_BEFORE:-}" ]; then
        before=$(best wine_run "$BENCH_BEFORE" inetfile "$set" "$count")
    fi
    printf '%-20s HttpDownload %7.3f s   WinINet alone %7.3f s   curl %7.3f s   ratio to WinINet %5.2f x' \
        "$label" "$ours" "$bare" "$curl_s" "$(echo "$ours / $bare" | bc -l)"
    if [ -n "$before" ]; then
        printf '   before %7.3f s (%5.2f x)' "$before" "$(echo "$before / $bare" | bc -l)"
    fi
    printf '\n'
}

echo "Downloads from nginx on $base, best of three (HttpDownload and WinINet under wine64)"
report "one file of 64 MiB" large 1
report "200 files of 4 KiB" small 200
