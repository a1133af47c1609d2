# Sourced: the Wine settings every run of the project's Windows programs uses.
# WINEPREFIX must already be set.
WINE=/usr/lib/wine/wine64
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# Skip the .NET and browser-engine installer prompts and the desktop-menu helper.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The ANSI code page follows LC_ALL at each process start: zh_CN gives 936 (GBK), as on the
# machines the updater serves. The locale is generated privately (see wine-prefix.sh) because
# without it Wine cannot create files whose names are not ASCII.
if [ -d "$WINEPREFIX/../locale/zh_CN.UTF-8" ]; then
    LOCPATH="$(cd "$WINEPREFIX/../locale" && pwd)"
    export LOCPATH
fi
# (bash itself cannot load the private locale and would warn about it; the programs can.)
{ export LC_ALL=zh_CN.UTF-8; } 2>/dev/null
