#!/usr/bin/env bash
# The main job: a real update run. Builds the project, publishes a small demo release with
# publish-manifest on a local nginx (127.0.0.1:18080, where a default build's built-in server
# is), runs Refreshor.exe under Wine in an installation holding older copies, and prints what
# was updated. Running it again reports the installation up to date; --reset starts over.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
"$repo/scripts/setup.sh"
"$repo/scripts/build.sh"
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"
. "$repo/scripts/update-server.sh"

demo="$root/demo"
www="$demo/www"
release="$www/release"
install="$demo/install"
programs="$root/win64/tools/demo"
port=18080
mkdir -p "$demo"

echo "== publishing the demo release"
rm -rf "$www" && mkdir -p "$release/skins" "$release/tools" "$release/data"
cp "$programs/GameCore_1_0_0_10.dll" "$release/GameCore.dll"
cp "$repo/client/ui/res/Background.bmp" "$release/skins/lobby.bmp"
cp "$programs/StartRecorder.exe" "$release/tools/notice.exe"
printf 'Halvenport 游戏大厅\r\n本次更新修正了若干问题。\r\n' > "$release/readme.txt"
# Large enough (and sent slowly enough) that the window is seen at work.
head -c 2500000 /dev/urandom > "$release/data/cards.pak"
"$repo/out/native/publish-manifest" "$release" \
    --base "http://127.0.0.1:$port/release/" \
    --out "$www/UpDataGame.xml" \
    --rule "GameCore.dll:Register=YES" \
    --rule "tools/notice.exe:Execute=YES" \
    --rule "tools/notice.exe:ExecutePar=--started-by-update" \
    --server-list "$www/UpdataDll.xml" \
    --server "备用服务器=http://127.0.0.1:$port/UpDataGame.xml"

if [ ! -d "$install" ] || [ "${1:-}" = "--reset" ]; then
    echo "== making an installation with older copies in $install"
    rm -rf "$install" && mkdir -p "$install"
    cp "$programs/GameCore_1_0_0_9.dll" "$install/GameCore.dll"
    cp "$programs/StartRecorder.exe" "$install/Halvenport.exe"
    printf 'old readme\r\n' > "$install/readme.txt"
    touch -d '2025-06-01 00:00:00 UTC' "$install/readme.txt"
fi
cp "$repo/out/win64/Refreshor.exe" "$install/Refreshor.exe"
rm -f "$install/started.log" "$install/tools/started.log" "$install/registered.log"

start_update_server "$www" "$demo"
trap stop_update_server EXIT

echo "== running Refreshor.exe under Wine"
export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
# Status lines go to the debugger output channel, which Wine prints with this channel on.
export WINEDEBUG="-all,warn+debugstr"
run_updater() {
    /usr/lib/wine/wineserver -p || true
    "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
    cd "$install"
    "$WINE" Refreshor.exe "http://127.0.0.1:$port/UpdataDll.xml" auto \
        </dev/null >/dev/null 2>"$demo/refreshor.log" &
    local pid=$!
    sleep 2.5
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 500 -height 160 |
        pnmtopng > "$demo/screenshot.png" 2>/dev/null || true
    wait "$pid" || true
    /usr/lib/wine/wineserver -k 2>/dev/null || true
}
export -f run_updater
export WINE install port demo
if [ -n "${DISPLAY:-}" ]; then
    run_updater
else
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c run_updater
fi

echo
echo "== status lines of the run"
grep -a 'OutputDebugString' "$demo/refreshor.log" | grep -av -e '"OnPaint' -e '"asdfasdf' |
    sed -e 's/.*OutputDebugString[AW] "//' -e 's/\\n"$//' -e 's/"$//' |
    iconv -f GBK -t UTF-8 -c | uniq | sed 's/^/  /'
echo
echo "== requests the update server answered"
awk '{print "  " $7, $9}' "$demo/nginx-access.log"
echo
echo "== programs the run started"
for log in "$install/tools/started.log" "$install/started.log"; do
    [ -f "$log" ] && sed 's/^/  /' "$log" | tr -d '\r'
done
if [ -f "$install/registered.log" ]; then
    echo "  regsvr32 registered GameCore.dll"
fi
echo
echo "== the installation now"
(cd "$install" && find . -type f ! -name '*.log' | sort | sed 's/^\.\//  /')
echo
echo "Screenshot taken during the run: $demo/screenshot.png"
