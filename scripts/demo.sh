#!/usr/bin/env bash
# The main job: a real update run. Builds the project, publishes a small demo release with
# publish-manifest on a local nginx (127.0.0.1:18080, where a default build's built-in server
# is), runs Refreshor.exe under Wine in an installation holding older copies, and prints what
# was updated. Running it again reports the installation up to date; --reset starts over.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
"$repo/scripts/prepare.sh"
. "$repo/scripts/update-server.sh"

demo="$root/demo"
www="$demo/www"
release="$www/release"
install="$demo/install"
programs="$root/win64/tools/demo"
port=18080
mkdir -p "$demo"

if [ ! -d "$release" ] || [ "${1:-}" = "--reset" ]; then
    echo "== publishing the demo release in $www"
    rm -rf "$www" && mkdir -p "$release/skins" "$release/tools" "$release/data"
    cp "$programs/GameCore_1_0_0_10.dll" "$release/GameCore.dll"
    cp "$repo/client/ui/res/Background.bmp" "$release/skins/lobby.bmp"
    cp "$programs/StartRecorder.exe" "$release/tools/notice.exe"
    printf 'Halvenport 游戏大厅\r\n本次更新修正了若干问题。\r\n' > "$release/readme.txt"
    # Large enough (and sent slowly enough) that the window is seen at work.
    python3 -c 'import sys; sys.stdout.buffer.write(bytes(i * 7 % 251 for i in range(2500000)))' \
        > "$release/data/cards.pak"
    # Files without a version are judged by time: the release's copies are older than any
    # copy an update run writes, so a second run finds the installation current.
    find "$release" -type f -exec touch -d '2026-01-01 00:00:00 UTC' {} +
    "$repo/out/native/publish-manifest" "$release" \
        --base "http://127.0.0.1:$port/release/" \
        --out "$www/UpDataGame.xml" \
        --sign-key "$repo/keys/demo-manifest-key.pem" \
        --rule "GameCore.dll:Register=YES" \
        --rule "tools/notice.exe:Execute=YES" \
        --rule "tools/notice.exe:ExecutePar=--started-by-update" \
        --server-list "$www/UpdataDll.xml" \
        --server "备用服务器=http://127.0.0.1:$port/UpDataGame.xml"
fi

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
run=("$repo/scripts/run-refreshor.sh" "$install" "http://127.0.0.1:$port/UpdataDll.xml"
     "$demo/refreshor.log" "$demo/screenshot.png")
if [ -n "${DISPLAY:-}" ]; then
    "${run[@]}" || true
else
    xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}" || true
fi

echo
echo "== status lines of the run"
# Wine prints each line as a C string literal of the ANSI (GBK) bytes.
python3 - "$demo/refreshor.log" <<'PY'
import codecs, re, sys
last = None
for raw in open(sys.argv[1], 'rb').read().decode('latin-1').splitlines():
    m = re.search(r'OutputDebugString[AW] "(.*)"$', raw)
    if not m:
        continue
    text = codecs.escape_decode(m.group(1).encode('latin-1'))[0].decode('gbk', 'replace').rstrip('\n')
    if text != last:
        print('  ' + text)
        last = text
PY
echo
echo "== what the run checked"
# The updater installs a file only when its bytes hash to the manifest's Sha256 (otherwise the
# run stops with code 11); this compares the installation with the signed manifest once more.
python3 - "$www/UpDataGame.xml" "$install" "$demo/refreshor.log" <<'PY'
import codecs, hashlib, os, re, sys, xml.etree.ElementTree as tree
manifest, install, log = sys.argv[1:]
lines = [codecs.escape_decode(m.group(1).encode('latin-1'))[0].decode('gbk', 'replace')
         for m in re.finditer(r'OutputDebugString[AW] "(.*)"$',
                              open(log, 'rb').read().decode('latin-1'), re.M)]
verified = any(line.startswith('更新文件列表签名校验成功') for line in lines)
print('  signature of UpDataGame.xml (UpDataGame.xml.sig):',
      'checked and verified by the updater' if verified else 'NOT reported verified')
for f in tree.parse(manifest).getroot().iter('File'):
    parts = [p for p in (f.findtext('LocalPath') or '').split('\\') if p] + [f.findtext('FileName')]
    path = os.path.join(install, *parts)
    have = hashlib.sha256(open(path, 'rb').read()).hexdigest() if os.path.exists(path) else None
    print('  sha256 %-7s %s' % ('matches' if have == f.findtext('Sha256') else 'DIFFERS',
                                '/'.join(parts)))
PY
echo
echo "== requests the update server answered"
awk '/Tessaly_Zelk/ {print "  " $7, $9}' "$demo/nginx-access.log"
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
