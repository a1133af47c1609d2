#!/usr/bin/env bash
# Runs <install>/Refreshor.exe under Wine in the current X display, from <install>, with the
# given server-list address, and waits for it to end. Wine's debug channel with the updater's
# status lines goes to <log>; with <screenshot>, the top-left 500 x 160 of the display (where the
# window sits) is captured every half second and the last capture that shows the window is
# kept. WINEPREFIX must be set.
#   run-refreshor.sh <install> <server-list address> <log> [<screenshot>]
set -uo pipefail
install="$1" address="$2" log="$3" screenshot="${4:-}"
repo="$(cd "$(dirname "$0")/.." && pwd)"
. "$repo/scripts/wine-env.sh"
# Status lines go to the debugger output channel, which Wine prints with this channel on.
export WINEDEBUG="-all,warn+seh,warn+debugstr"
# Persistent for a moment only, so that waiting for it below ends once the programs have.
/usr/lib/wine/wineserver -p2 || true
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true
cd "$install"
"$WINE" Refreshor.exe "$address" auto </dev/null >/dev/null 2>"$log" &
pid=$!
if [ -n "$screenshot" ]; then
    capture="$screenshot.part"
    while kill -0 "$pid" 2>/dev/null; do
        sleep 0.5
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 500 -height 160 |
            pnmtopng > "$capture" 2>/dev/null
        # An empty (black) screen compresses to almost nothing; the skin does not.
        if [ "$(stat -c %s "$capture" 2>/dev/null || echo 0)" -gt 8000 ]; then
            mv "$capture" "$screenshot"
        fi
    done
    rm -f "$capture"
fi
wait "$pid"
status=$?
# The game hall and any file the run started are still running: wait for them, not kill them.
/usr/lib/wine/wineserver -w 2>/dev/null || true
exit $status
