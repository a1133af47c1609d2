#!/usr/bin/env bash
# Benchmark of whole update runs (not a test): Refreshor.exe under Wine fetches and installs
# (a) 200 files of 4 KiB and (b) one 64 MiB file from a local nginx; curl fetches the same
# files one after another from the same server in the same run. Prints wall times and ratios,
# and what the manifest's signature and the files' digests add to a run: the same release is
# also installed by an updater built with REFRESHOR_MANIFEST_KEYS=NONE, from a manifest with
# and without Sha256 elements. Each update figure is the median of BENCH_ROUNDS runs (3).
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

# The updater as it was before signing, from the same sources: checks no signature.
unsigned_tree="$root/win64-unsigned"
if [ ! -f "$unsigned_tree/build.ninja" ]; then
    cmake -S "$repo" -B "$unsigned_tree" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVENPORT_TESTS=OFF -DREFRESHOR_MANIFEST_KEYS=NONE \
        -DHALVENPORT_OUT_DIR="$unsigned_tree/out" >/dev/null 2>&1
fi
cmake --build "$unsigned_tree" --target Refreshor -j "${JOBS:-2}" >/dev/null
signed_updater="$repo/out/win64/Refreshor.exe"
unsigned_updater="$unsigned_tree/out/Refreshor.exe"
rounds="${BENCH_ROUNDS:-3}"

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }

# Publishes <release folder> as <checks> asks (signed: signed, with digests; digests: unsigned,
# with digests; none: unsigned, without digests) and runs one update with <updater> into an
# empty installation; prints seconds.
update_run() {
    local release="$1" checks="$2" updater="$3" install
    # A folder of its own: the stand-in game hall of the last run may still be writing its log.
    install=$(mktemp -d "$work/install.XXXXXX")
    local sign=()
    [ "$checks" = signed ] && sign=(--sign-key "$repo/keys/demo-manifest-key.pem")
    rm -f "$www/UpDataGame.xml.sig"
    "$repo/out/native/publish-manifest" "$www/$release" --base "http://127.0.0.1:$port/$release/" \
        --out "$www/UpDataGame.xml" "${sign[@]}" >/dev/null
    [ "$checks" = none ] && sed -i '/<Sha256>/d' "$www/UpDataGame.xml"
    cp "$updater" "$install/Refreshor.exe"
    cp "$root/win64/tools/demo/StartRecorder.exe" "$install/Halvenport.exe"
    local start end
    start=$(now)
    (cd "$install" && "$WINE" Refreshor.exe "http://127.0.0.1:$port/no-server-list" auto \
        </dev/null >/dev/null 2>&1)
    end=$(now)
    # Every file must have arrived, or the figure means nothing.
    if ! diff -r -q "$www/$release" "$install" -x Refreshor.exe -x Halvenport.exe \
        -x started.log >/dev/null; then
        echo "update run of $release ($checks) did not install every file" >&2
        exit 1
    fi
    elapsed "$start" "$end"
}

# The median of <rounds> update runs; the three kinds of run take turns, so that a slow moment
# of the machine does not fall on one kind only. Prints "none digests signed" seconds.
update_runs() {
    local release="$1" none=() digests=() signed=()
    for _ in $(seq "$rounds"); do
        none+=("$(update_run "$release" none "$unsigned_updater")")
        digests+=("$(update_run "$release" digests "$unsigned_updater")")
        signed+=("$(update_run "$release" signed "$signed_updater")")
    done
    echo "$(median "${none[@]}") $(median "${digests[@]}") $(median "${signed[@]}")"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

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

checks_report() { # label, none, digests, signed seconds
    printf '%-26s unchecked %6.2f s   + digests %6.2f s (%+5.1f %%)   + signature %6.2f s (%+5.1f %%)\n' \
        "$1" "$2" "$3" "$(echo "($3 - $2) * 100 / $2" | bc -l)" \
        "$4" "$(echo "($4 - $2) * 100 / $2" | bc -l)"
}

echo "Update runs against nginx on 127.0.0.1:$port (each Refreshor run includes Wine's start)"
runs=$(update_runs small)
read -r small_none small_digests small_signed <<<"$runs"
small_curl=$(curl_run small)
runs=$(update_runs large)
read -r large_none large_digests large_signed <<<"$runs"
large_curl=$(curl_run large)
report "200 files of 4 KiB" "$small_signed" "$small_curl" $((200 * 4096))
report "one file of 64 MiB" "$large_signed" "$large_curl" $((64 * 1024 * 1024))
echo
echo "What the checks add (median of $rounds runs each; signed runs also check every digest)"
checks_report "200 files of 4 KiB" "$small_none" "$small_digests" "$small_signed"
checks_report "one file of 64 MiB" "$large_none" "$large_digests" "$large_signed"
/usr/lib/wine/wineserver -k 2>/dev/null || true
