#!/usr/bin/env bash
# Benchmark of whole update runs (not a test). Refreshor.exe runs under Wine against a local nginx:
#   - nothing to update (a one-file manifest whose file is current): window, manifest, game hall;
#   - 200 files of 4 KiB, and one file of 64 MiB, into an empty installation;
#   - 10,000 current files with version resources: the first run (no install index yet) and a
#     run after the updater itself installed them (with its index);
#   - a manifest of 100,000 current entries, while a watcher measures how long the window goes
#     without answering (it repaints from a 100 ms timer of the same message loop);
#   - what the manifest's signature and the files' digests add: the small and large runs also by
#     an updater built with REFRESHOR_MANIFEST_KEYS=NONE, from a manifest without and with
#     Sha256 elements (median of BENCH_ROUNDS runs, 3).
# Beside them in the same run: a bare WinINet loop under the same Wine over the same files
# (64 KiB reads, a fresh session per file) and curl. Each figure is the best of three. Prints the
# times and the ratios the targets are stated in: (update run - nothing-to-update run) / WinINet.
#   REFRESHOR=<other Refreshor.exe> compares another build (e.g. an older one) on the same files.
#   Wrap it in `flock /tmp/halvenport-18080.lock`: it serves on 127.0.0.1:18080.
set -euo pipefail
# The updater's window needs a display.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
"$repo/scripts/setup.sh" >/dev/null
if [ ! -f "$root/win64/build.ninja" ] || [ ! -f "$root/native-release/build.ninja" ]; then
    "$repo/scripts/build.sh" >/dev/null
fi
cmake --build "$root/win64" -j "${JOBS:-2}" --target Refreshor StartRecorder bench_bare_wininet \
    bench_window_watch bench_versioned >/dev/null
cmake --build "$root/native-release" -j "${JOBS:-2}" --target publish-manifest >/dev/null
"$repo/scripts/wine-prefix.sh" "$root/wineprefix" >/dev/null
refreshor="${REFRESHOR:-$repo/out/win64/Refreshor.exe}"
wininet="$root/win64/bench/session/bench_bare_wininet.exe"
watcher="$root/win64/bench/session/bench_window_watch.exe"
versioned="$root/win64/bench/manifest/bench_versioned.dll"
. "$repo/scripts/update-server.sh"

work="$root/bench-session"
www="$work/www"
port=18080
rm -rf "$work" && mkdir -p "$www"
start_update_server "$www" "$work" "$port"

export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
/usr/lib/wine/wineserver -p || true
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true
trap 'stop_update_server; /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT

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
calc() { echo "$1" | bc -l; }

# Publishes <release folder> as <checks> asks (signed: signed, with digests; digests: unsigned,
# with digests; none: unsigned, without digests) and runs one update with <updater> into an
# empty installation; prints seconds.
checked_update_run() {
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
        -x started.log -x 'Refreshor.index*' >/dev/null; then
        echo "update run of $release ($checks) did not install every file" >&2
        exit 1
    fi
    calc "$end - $start"
}

# The median of <rounds> update runs; the three kinds of run take turns, so that a slow moment
# of the machine does not fall on one kind only. Prints "none digests signed" seconds.
checked_update_runs() {
    local release="$1" none=() digests=() signed=()
    for _ in $(seq "$rounds"); do
        none+=("$(checked_update_run "$release" none "$unsigned_updater")")
        digests+=("$(checked_update_run "$release" digests "$unsigned_updater")")
        signed+=("$(checked_update_run "$release" signed "$signed_updater")")
    done
    echo "$(median "${none[@]}") $(median "${digests[@]}") $(median "${signed[@]}")"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

checks_report() { # label, none, digests, signed seconds
    printf '%-26s unchecked %6.2f s   + digests %6.2f s (%+5.1f %%)   + signature %6.2f s (%+5.1f %%)\n' \
        "$1" "$2" "$3" "$(echo "($3 - $2) * 100 / $2" | bc -l)" \
        "$4" "$(echo "($4 - $2) * 100 / $2" | bc -l)"
}
best() { printf '%s\n' "$@" | sort -g | head -1; }

publish() { # release folder; signed with the demo key, which a default build trusts
    "$repo/out/native/publish-manifest" "$www/$1" --base "http://127.0.0.1:$port/$1/" \
        --out "$www/UpDataGame.xml" --sign-key "$repo/keys/demo-manifest-key.pem" >/dev/null
}

fresh_install() { # installation folder
    # The game hall of the previous run may still be writing its log: retry the removal.
    rm -rf "$1" 2>/dev/null || { sleep 1; rm -rf "$1"; }
    mkdir -p "$1"
    cp "$refreshor" "$1/Refreshor.exe"
    cp "$root/win64/tools/demo/StartRecorder.exe" "$1/Halvenport.exe"
}

# One Refreshor run in <installation folder>; prints seconds.
refreshor_run() {
    local start end
    start=$(now)
    (cd "$1" && "$WINE" Refreshor.exe "http://127.0.0.1:$port/no-server-list" auto \
        </dev/null >/dev/null 2>&1)
    end=$(now)
    calc "$end - $start"
}

# Every file of <release> must be in <installation>, or the figure means nothing.
check_installed() { # release, installation folder
    if ! diff -r -q "$www/$1" "$2" -x Refreshor.exe -x Halvenport.exe -x started.log \
        -x 'Refreshor.index*' >/dev/null; then
        echo "update run of $1 did not install every file" >&2
        exit 1
    fi
}

# Best of three runs into an empty installation; prints seconds.
update_run() { # release
    local install="$work/install" times=() i
    publish "$1"
    for i in 1 2 3; do
        fresh_install "$install"
        times+=("$(refreshor_run "$install")")
        check_installed "$1" "$install"
    done
    best "${times[@]}"
}

# Best of three bare WinINet loops over the files of <release>; prints seconds (the loop alone).
wininet_run() { # release
    local list="$work/wininet.list" target="$work/wininet" times=() i
    (cd "$www/$1" && find . -type f | sed 's|^\./||' | sort) |
        sed "s|^|http://127.0.0.1:$port/$1/|" >"$list"
    for i in 1 2 3; do
        rm -rf "$target" && mkdir -p "$target"
        times+=("$("$WINE" "$wininet" "$list" "$target" </dev/null 2>/dev/null |
            awk '/^wininet/ { print $6 }')")
    done
    best "${times[@]}"
}

# Best of three: every file of <release> with one curl, one after another; prints seconds.
curl_run() { # release
    local args=() target="$work/curl" times=() i start end
    while IFS= read -r file; do
        args+=("http://127.0.0.1:$port/$1/$file" -o "$target/$(basename "$file")")
    done < <(cd "$www/$1" && find . -type f | sed 's|^\./||' | sort)
    for i in 1 2 3; do
        rm -rf "$target" && mkdir -p "$target"
        start=$(now)
        curl -s --fail "${args[@]}"
        end=$(now)
        times+=("$(calc "$end - $start")")
    done
    best "${times[@]}"
}

# Best of three runs that find every file of the installation current; prints seconds.
current_run() { # installation folder, keep the install index (yes/no)
    local times=() i
    for i in 1 2 3; do
        [ "$2" = yes ] || rm -f "$1/Refreshor.index"
        times+=("$(refreshor_run "$1")")
    done
    best "${times[@]}"
}

transfer_report() { # label, update, nothing, wininet, curl, bytes, target ratio
    local beyond ratio
    beyond=$(calc "$2 - $3")
    ratio=$(calc "$beyond / $4")
    printf '%-20s Refreshor %7.2f s (%6.2f s beyond nothing)  WinINet %6.3f s  curl %6.3f s\n' \
        "$1" "$2" "$beyond" "$4" "$5"
    printf '%-20s   beyond / WinINet %5.2f x (target <= %s x)   %.1f MiB/s vs WinINet %.1f MiB/s\n' \
        "" "$ratio" "$7" "$(calc "$6 / 1048576 / $beyond")" "$(calc "$6 / 1048576 / $4")"
}

mkdir -p "$www/one" "$www/small" "$www/large" "$www/many"
head -c 4096 /dev/urandom >"$www/one/only.dat"
for i in $(seq -w 1 200); do head -c 4096 /dev/urandom >"$www/small/file$i.dat"; done
head -c $((64 * 1024 * 1024)) /dev/urandom >"$www/large/big.dat"
for i in $(seq -w 1 10000); do cp -p "$versioned" "$www/many/lib$i.dll"; done

echo "Update runs against nginx on 127.0.0.1:$port, best of three each (Refreshor runs include Wine's start)"
echo "Refreshor: $refreshor"

# Nothing to update: the one file is already in place, as current as the manifest says.
publish one
nothing_times=()
for i in 1 2 3; do
    fresh_install "$work/install"
    cp -p "$www/one/only.dat" "$work/install/"
    nothing_times+=("$(refreshor_run "$work/install")")
done
nothing=$(best "${nothing_times[@]}")
printf '%-20s Refreshor %7.2f s\n' "nothing to update" "$nothing"

small_update=$(update_run small)
small_wininet=$(wininet_run small)
small_curl=$(curl_run small)
transfer_report "200 files of 4 KiB" "$small_update" "$nothing" "$small_wininet" "$small_curl" \
    $((200 * 4096)) 1.5

large_update=$(update_run large)
large_wininet=$(wininet_run large)
large_curl=$(curl_run large)
transfer_report "one file of 64 MiB" "$large_update" "$nothing" "$large_wininet" "$large_curl" \
    $((64 * 1024 * 1024)) 2

# 10,000 current files: copies of the release (same versions), then the updater's own install of
# them, after which its index knows every file.
publish many
many="$work/many"
fresh_install "$many"
cp -p "$www/many/"*.dll "$many/"
first=$(current_run "$many" no)
fresh_install "$many"
install_time=$(refreshor_run "$many")
check_installed many "$many"
later=$(current_run "$many" yes)
records=$(grep -c '\.DLL$' "$many/Refreshor.index" 2>/dev/null || true)
printf '%-20s first run (no index) %6.2f s   later run %6.2f s (index of %s files; target < 2 s)\n' \
    "10,000 current files" "$first" "$later" "${records:-0}"
printf '%-20s (the install run that made the index took %.2f s)\n' "" "$install_time"

# The same files ten times over (hard links in ten folders): 100,000 entries, all current,
# published and signed like any release.
for d in 0 1 2 3 4 5 6 7 8 9; do
    mkdir -p "$www/huge/d$d" "$many/d$d"
    cp -al "$www/many/." "$www/huge/d$d/"
    cp -al "$www/many/." "$many/d$d/"
done
publish huge
watch=$(cd "$many" && "$WINE" "$watcher" Refreshor.exe "http://127.0.0.1:$port/no-server-list" \
    auto </dev/null 2>/dev/null)
printf '%-20s run %6.2f s   longest the window went unanswered %5.0f ms (target <= 200 ms)\n' \
    "100,000 entries" "$(echo "$watch" | awk '{ print $2 }')" "$(echo "$watch" | awk '{ print $7 }')"

echo
echo "What the checks add (median of $rounds runs each; signed runs also check every digest)"
runs=$(checked_update_runs small)
read -r small_none small_digests small_signed <<<"$runs"
runs=$(checked_update_runs large)
read -r large_none large_digests large_signed <<<"$runs"
checks_report "200 files of 4 KiB" "$small_none" "$small_digests" "$small_signed"
checks_report "one file of 64 MiB" "$large_none" "$large_digests" "$large_signed"
