#!/usr/bin/env bash
# The main job: a real update run. Builds the project, publishes a small demo release with the
# publishing tool on a local nginx (127.0.0.1:18080, the default address the updater is built
# with), runs Refreshor.exe under Wine against an installation holding older copies, and prints
# what was updated. Running it again reports the installation up to date.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
"$repo/scripts/setup.sh"
"$repo/scripts/build.sh"
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"

demo="$root/demo"
www="$demo/www"
install="$demo/install"
bin64="$root/win64"
port=18080
mkdir -p "$demo"

# --- the release, as its publisher has it ------------------------------------------------------
rm -rf "$www" && mkdir -p "$www/release/skins" "$www/release/tools" "$www/release/data"
cp "$bin64/tools/demo/GameCore_1_0_0_10.dll" "$www/release/GameCore.dll"
cp "$repo/client/ui/res/Background.bmp" "$www/release/skins/lobby.bmp"
cp "$bin64/tools/demo/StartRecorder.exe" "$www/release/tools/notice.exe"
printf 'Halvenport 游戏大厅\r\n版本说明: 本次更新修正了若干问题。\r\n' > "$www/release/readme.txt"
# Large enough that the window is seen at work (nginx sends it at a limited rate, below).
head -c 3000000 /dev/urandom > "$www/release/data/cards.pak"
touch -d '2026-01-01 00:00:00 UTC' "$www/release"/readme.txt "$www/release"/data/cards.pak

"$repo/out/native/publish-manifest" "$www/release" \
    --base "http://127.0.0.1:$port/release/" \
    --out "$www/UpDataGame.xml" \
    --rule "GameCore.dll:Register=YES" \
    --rule "tools/notice.exe:Execute=YES" \
    --rule "tools/notice.exe:ExecutePar=--updated-by-refreshor" \
    --server-list "$www/UpdataDll.xml" \
    --server "备用服务器=http://127.0.0.1:$port/UpDataGame.xml"

# --- the installation, on first use holding older copies ---------------------------------------
if [ ! -d "$install" ] || [ "${1:-}" = "--reset" ]; then
    rm -rf "$install" && mkdir -p "$install"
    cp "$bin64/tools/demo/GameCore_1_0_0_9.dll" "$install/GameCore.dll"
    cp "$bin64/tools/demo/StartRecorder.exe" "$install/Halvenport.exe"
    printf 'old readme\r\n' > "$install/readme.txt"
    touch -d '2025-06-01 00:00:00 UTC' "$install/readme.txt"
fi
cp "$repo/out/win64/Refreshor.exe" "$install/Refreshor.exe"
rm -f "$install/started.log" "$install/tools/started.log" "$install/registered.log"

# --- the update server -------------------------------------------------------------------------
cat > "$demo/nginx.conf" <<CONF
user root;
daemon off;
worker_processes 1;
pid $demo/nginx.pid;
error_log $demo/nginx-error.log;
events { worker_connections 64; }
http {
    access_log $demo/nginx-access.log;
    types { text/xml xml; application/octet-stream dll exe pak bmp; text/plain txt; }
    server {
        listen 127.0.0.1:$port;
        root $www;
        location /release/data/ { limit_rate 1m; }
    }
}
CONF
: > "$demo/nginx-access.log"
nginx -c "$demo/nginx.conf" -p "$demo" &
nginx_pid=$!
cleanup() { kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/UpDataGame.xml" && break; sleep 0.1; done

# --- the run -----------------------------------------------------------------------------------
export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
# Status lines go to the debugger output channel; Wine prints it with this channel on.
export WINEDEBUG="-all,warn+debugstr"
run_updater() {
    cd "$install"
    "$WINE" Refreshor.exe "http://127.0.0.1:$port/UpdataDll.xml" auto 2> "$demo/refreshor.log" &
    local pid=$!
    sleep 1.5
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 500 -height 160 |
        pnmtopng > "$demo/screenshot.png" 2>/dev/null || true
    wait "$pid"
}
export -f run_updater
export WINE install port demo
/usr/lib/wine/wineserver -p
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true
if [ -n "${DISPLAY:-}" ]; then run_updater; else
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c run_updater; fi
/usr/lib/wine/wineserver -k 2>/dev/null || true

# --- what happened -----------------------------------------------------------------------------
echo
echo "== status lines of the run"
grep -a 'OutputDebugString' "$demo/refreshor.log" | grep -av -e '"OnPaint"' -e '"asdfasdf"' |
    sed -e 's/.*OutputDebugString[AW] "//' -e 's/"$//' | iconv -f GBK -t UTF-8 -c | uniq
echo
echo "== files fetched from the server"
awk '{print $7, $9}' "$demo/nginx-access.log"
echo
echo "== started by the run"
cat "$install/tools/started.log" "$install/started.log" 2>/dev/null | sed 's/^/  /' || true
[ -f "$install/registered.log" ] && echo "  regsvr32 registered GameCore.dll"
echo
echo "== installation now"
(cd "$install" && find . -type f ! -name '*.log' | sort | sed 's/^/  /')
echo
echo "Screenshot of the window during the run: $demo/screenshot.png"
