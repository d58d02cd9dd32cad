#!/bin/bash
# Runs ydsprv.exe under Wine on the bundled demo child: a program that outgrows a 32 MiB memory limit on
# its first two runs (the supervisor stops and relaunches it) and ends with exit code 0 on the third.
# Installs what is missing and builds when needed (build folder build/ or $BUILD); prints the event log
# and the supervisor's exit status at the end.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD="${BUILD:-$ROOT/build}"
"$ROOT/scripts/build.sh" ydsprv demo_grow demo_status

# No display: the usage box only appears on a parameter error, and then it returns at once.
unset DISPLAY
. "$ROOT/scripts/wine-env.sh"

work="$BUILD/demo/run"
rm -rf "$work"
mkdir -p "$work"
log="$work/events.log"
counter="$work/runs.txt"
win() { winepath -w "$1" 2>/dev/null; }

cmd=("$(win "$BUILD/ydsprv.exe")" -m:32M -time:1 -p:2s -s:1s -a:5 -l:"$(win "$log")"
     "$(win "$BUILD/demo/demo_grow.exe")" "$(win "$counter")")
echo "demo: ydsprv.exe ${cmd[*]:1}"
set +e
wine "$BUILD/demo/demo_status.exe" "${cmd[@]}" | tr -d '\r' > "$work/status.txt"
set -e
grep -v '^exit status' "$work/status.txt" || true

echo
echo "event log ($log):"
if [ -f "$log" ]; then
  iconv -f CP1251 -t UTF-8 "$log" | tr -d '\r' | sed 's/^/  /'
else
  echo "  (none written)"
fi
echo
if ! grep -h '^exit status' "$work/status.txt"; then
  echo "exit status: unknown (the launcher did not report)"
  exit 1
fi
grep -q '^exit status: 0 ' "$work/status.txt"
