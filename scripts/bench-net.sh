#!/usr/bin/env bash
# Download throughput of HttpDownload against curl: the test HTTP server (as a Windows program under
# wine64) serves a generated 64 MiB file on 127.0.0.1; bench_inetfile (under wine64) and curl
# (native) each download it once to a local file. Not a test: prints figures only.
#   scripts/bench-net.sh [MiB]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
mib="${1:-64}"
bytes=$((mib * 1024 * 1024))

if [ -f "$root/win64/build.ninja" ]; then
    cmake --build "$root/win64" -j 2 --target http_test_server bench_inetfile >/dev/null
else
    "$repo/scripts/build.sh" >/dev/null
fi
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"
export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"

work="$(mktemp -d)"
server_pid=""
cleanup() {
    touch "$work/stop"
    if [ -n "$server_pid" ]; then
        wait "$server_pid" 2>/dev/null || true
    fi
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Warm the wineserver with every stream on /dev/null, so its helpers hold none of ours.
/usr/lib/wine/wineserver -p 2>/dev/null || true # already running is fine
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true

# Wine maps drive Z: to the Unix root.
win() { printf 'Z:%s' "${1//\//\\}"; }
"$WINE" "$root/win64/tests/support/http_test_server.exe" --generated "/bench.bin=$bytes" \
    --port-file "$(win "$work/port")" --stop-file "$(win "$work/stop")" --seconds 300 \
    </dev/null >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 1 300); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
[ -s "$work/port" ] || { echo "server did not start"; cat "$work/server.out"; exit 1; }
url="http://127.0.0.1:$(tr -d '\r\n' <"$work/port")/bench.bin"

"$WINE" "$root/win64/bench/net/bench_inetfile.exe" "$url" "$(win "$work/inetfile.bin")" \
    </dev/null >"$work/inetfile.out" 2>&1 || { cat "$work/inetfile.out"; exit 1; }
inet_line="$(grep '^inetfile' "$work/inetfile.out")"
inet_mibs="$(awk '{print $(NF-1)}' <<<"$inet_line")"

curl_out="$(curl -s -o "$work/curl.bin" -w '%{size_download} %{time_total}' "$url")"
curl_mibs="$(awk '{printf "%.2f", $1 / $2 / 1048576}' <<<"$curl_out")"

[ "$(stat -c %s "$work/inetfile.bin")" = "$bytes" ] || { echo "inetfile size wrong"; exit 1; }
cmp -s "$work/inetfile.bin" "$work/curl.bin" || { echo "downloads differ"; exit 1; }

echo "file:     $mib MiB from $url"
echo "HttpDownload: $inet_mibs MiB/s   ($inet_line)"
echo "curl:      $curl_mibs MiB/s   ($(awk '{printf "%d bytes %.3f s", $1, $2}' <<<"$curl_out"))"
awk -v a="$inet_mibs" -v b="$curl_mibs" \
    'BEGIN {printf "ratio HttpDownload/curl: %.2f\n", a / b}'
