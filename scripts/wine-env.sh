# Sourced by the scripts: a private Wine prefix in the build folder, a persistent Wine server
# (so test runs do not wait for Wine's helpers) and, with YD_DISPLAY=1, an Xvfb of our own.
# Both are stopped by their own process ids when the calling script exits.
: "${BUILD:?}"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine maps Cyrillic file names only through a glibc UTF-8 locale; a fresh machine has none, so the build
# folder gets one of its own (no root needed), made once.
export LOCPATH="$BUILD/locale"
if [ ! -d "$LOCPATH/ru_RU.UTF-8" ]; then
  echo "locale: making ru_RU.UTF-8 in $LOCPATH"
  rm -rf "$LOCPATH/ru_RU.UTF-8.part"
  mkdir -p "$LOCPATH"
  localedef -i ru_RU -f UTF-8 "$LOCPATH/ru_RU.UTF-8.part"
  mv "$LOCPATH/ru_RU.UTF-8.part" "$LOCPATH/ru_RU.UTF-8"
fi
# Wine takes code page 1251 from these even where glibc has no ru_RU locale (bash would warn).
{ export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8; } 2>/dev/null

YD_XVFB_PID=""
YD_WINESERVER_PID=""
yd_env_stop() {
  if [ -n "$YD_WINESERVER_PID" ]; then
    wineserver -k >/dev/null 2>&1 || true
    kill "$YD_WINESERVER_PID" 2>/dev/null || true
    wait "$YD_WINESERVER_PID" 2>/dev/null || true
  fi
  if [ -n "$YD_XVFB_PID" ]; then
    kill "$YD_XVFB_PID" 2>/dev/null || true
    wait "$YD_XVFB_PID" 2>/dev/null || true
  fi
}
trap yd_env_stop EXIT

if [ "${YD_DISPLAY:-0}" = 1 ]; then
  dfile="$(mktemp)"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$dfile" >/dev/null 2>&1 &
  YD_XVFB_PID=$!
  for _ in $(seq 1 100); do [ -s "$dfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$dfile")"
  rm -f "$dfile"
fi

wineserver -k >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: creating prefix $WINEPREFIX"
  wine wineboot -i </dev/null >/dev/null 2>&1
  # Dialogs close in 0.2 s instead of 2 s without a window manager.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
fi
# A crashing program ends at once instead of waiting behind Wine's crash dialog (as it would behind Windows
# Error Reporting's); an existing prefix gets the value too.
if ! grep -qs '^"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg"; then
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
fi
wineserver -w
wineserver -f -p </dev/null >/dev/null 2>&1 &
YD_WINESERVER_PID=$!
# Start Wine's own helper processes now, with stdio on /dev/null, so that they do not hold the
# output pipes of the first test program (CTest would wait for them).
wine wineboot </dev/null >/dev/null 2>&1 || true
