#!/usr/bin/env bash
# Benchmark of whole update runs (not a test): Refreshor.exe under Wine fetches and installs
# (a) 200 files of 4 KiB and (b) one 64 MiB file from a local nginx; curl fetches the same
# files one after another from the same server in the same run. Prints wall times and ratios.
set -euo pipefail
# The updater's window needs a display.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
"$repo/scripts/prepare.sh" >/dev/null
. "$repo/scripts/update-server.sh"

work="$root/bench-session"
www="$work/www"
port=18080
rm -rf "$work" && mkdir -p "$www"
start_update_server "$www" "$work" "$port"
trap stop_update_server EXIT

export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
/usr/lib/wine/wineserver -p || true
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

# Publishes <release folder> and runs one update into an empty installation; prints seconds.
update_run() {
    local release="$1" install="$work/install"
    "$repo/out/native/publish-manifest" "$www/$release" --base "http://127.0.0.1:$port/$release/" \
        --out "$www/UpDataGame.xml" >/dev/null
    rm -rf "$install" && mkdir -p "$install"
    cp "$repo/out/win64/Refreshor.exe" "$install/"
    cp "$root/win64/tools/demo/StartRecorder.exe" "$install/Halvenport.exe"
    local start end
    start=$(now)
    (cd "$install" && "$WINE" Refreshor.exe "http://127.0.0.1:$port/no-server-list" auto \
        </dev/null >/dev/null 2>&1)
    end=$(now)
    # Every file must have arrived, or the figure means nothing.
    if ! diff -r -q "$www/$release" "$install" -x Refreshor.exe -x Halvenport.exe \
        -x started.log >/dev/null; then
        echo "update run of $release did not install every file" >&2
        exit 1
    fi
    elapsed "$start" "$end"
}

# Fetches every file of <release folder> with one curl, one after another; prints seconds.
curl_run() {
    local release="$1" args=()
    local target="$work/curl" start end
    rm -rf "$target" && mkdir -p "$target"
    while IFS= read -r file; do
        args+=("http://127.0.0.1:$port/$release/$file" -o "$target/$(basename "$file")")
    done < <(cd "$www/$release" && find . -type f | sed 's|^\./||' | sort)
    start=$(now)
    curl -s --fail "${args[@]}"
    end=$(now)
    elapsed "$start" "$end"
}

report() { # label, update seconds, curl seconds, bytes
    printf '%-26s Refreshor %8.2f s   curl %7.3f s   ratio %6.1f x   (%.2f MiB/s vs %.2f MiB/s)\n' \
        "$1" "$2" "$3" "$(echo "$2 / $3" | bc -l)" \
        "$(echo "$4 / 1048576 / $2" | bc -l)" "$(echo "$4 / 1048576 / $3" | bc -l)"
}

mkdir -p "$www/small"
for i in $(seq -w 1 200); do head -c 4096 /dev/urandom > "$www/small/file$i.dat"; done
mkdir -p "$www/large"
head -c $((64 * 1024 * 1024)) /dev/urandom > "$www/large/big.dat"

echo "Update runs against nginx on 127.0.0.1:$port (each Refreshor run includes Wine's start)"
small_update=$(update_run small)
small_curl=$(curl_run small)
large_update=$(update_run large)
large_curl=$(curl_run large)
report "200 files of 4 KiB" "$small_update" "$small_curl" $((200 * 4096))
report "one file of 64 MiB" "$large_update" "$large_curl" $((64 * 1024 * 1024))
/usr/lib/wine/wineserver -k 2>/dev/null || true
