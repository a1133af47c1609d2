#!/usr/bin/env bash
# Makes the Wine prefix the tests and the demo run in, once: a private zh_CN.UTF-8 locale beside
# it (so the system's locales stay untouched) and the X11 setting that makes closing windows
# cheap without a window manager.
set -euo pipefail
prefix="$1"
root="$(dirname "$prefix")"
mkdir -p "$root"
if [ ! -d "$root/locale/zh_CN.UTF-8" ]; then
    mkdir -p "$root/locale"
    localedef -i zh_CN -f UTF-8 "$root/locale/zh_CN.UTF-8" 2>/dev/null ||
        [ -d "$root/locale/zh_CN.UTF-8" ]
fi
if [ -f "$prefix/.halvenport-ready" ]; then
    exit 0
fi
export WINEPREFIX="$prefix"
. "$(dirname "$0")/wine-env.sh"
echo "Making Wine prefix $prefix"
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
# Without a window manager every hide or destroy of a top-level window costs ~2 s unless Wine
# manages no windows itself.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$prefix/.halvenport-ready"
