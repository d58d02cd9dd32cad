#!/bin/bash
# Takes a picture of the usage box (Russian text, countdown in the caption) under an Xvfb display of its
# own and keeps it as docs/usage-box.png. Needs a built ydsprv.exe in the build folder.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD="${BUILD:-$ROOT/build}"
OUT="${1:-$ROOT/docs/usage-box.png}"
YD_DISPLAY=1 . "$ROOT/scripts/wine-env.sh"
"$BUILD/wine-run" "$BUILD/ydsprv.exe" </dev/null >/dev/null 2>&1 &
shown=""
for _ in $(seq 1 50); do  # the box appears within about a second
  sleep 0.2
  if xwininfo -root -children 2>/dev/null | grep -q '"Ruriruriv \['; then shown=1; break; fi
done
[ -n "$shown" ] || { echo "usage box did not appear" >&2; exit 1; }
sleep 0.5
mkdir -p "$(dirname "$OUT")"
import -window root png:- | convert png:- -trim +repage "$OUT"
echo "$OUT"
