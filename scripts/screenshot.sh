#!/bin/bash
# Shows the usage box of ydsprv.exe (started without parameters) on a private Xvfb display and saves a
# screenshot of the screen: scripts/screenshot.sh [out.png]   (default docs/usage-box.png)
# Build folder build/ or $BUILD; the box is closed by stopping the private prefix's Wine server.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD="${BUILD:-$ROOT/build}"
out="$(realpath -m "${1:-$ROOT/docs/usage-box.png}")"
BOX_WAIT_S=30  # the box appears within a second; a cold prefix takes longer

"$ROOT/scripts/build.sh" ydsprv >/dev/null
YD_DISPLAY=1 . "$ROOT/scripts/wine-env.sh"

wine "$BUILD/ydsprv.exe" </dev/null >/dev/null 2>&1 &
sprv=$!
shown=""
for _ in $(seq 1 $((BOX_WAIT_S * 10))); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Ruriruriv'; then shown=1; break; fi
  sleep 0.1
done
if [ -z "$shown" ]; then
  echo "screenshot: no usage box within ${BOX_WAIT_S} s" >&2
  exit 1
fi
sleep 1  # let the box finish painting and the countdown write its caption
mkdir -p "$(dirname "$out")"
import -window root -trim +repage "$out"  # the black desktop around the box is cut away
# The private prefix's server ends every process of the prefix, the box included.
wineserver -k >/dev/null 2>&1 || true
wait "$sprv" 2>/dev/null || true
echo "screenshot: $out"
