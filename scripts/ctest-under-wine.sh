#!/usr/bin/env bash
# Runs ctest in the current folder with a warm wineserver for the test prefix. Run inside the X
# display the tests use.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${BUILD_ROOT:?}/wineprefix"
. "$repo/scripts/wine-env.sh"
# Wine's first process starts helper processes (services, and the desktop process of this
# display) that inherit and hold open whatever output it had; starting them here, with
# everything on /dev/null, keeps them away from ctest's pipes.
/usr/lib/wine/wineserver -p || true
"$WINE" wineboot </dev/null >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
ctest --output-on-failure --timeout 300 -j "${JOBS:-2}" "$@"
