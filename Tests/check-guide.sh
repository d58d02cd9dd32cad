#!/bin/bash
# Runs every example of the user's guide under Wine, as written there: each block of lines indented by
# four blanks is looked up in the table below by its first line and exercised; a block the table does not
# know, or a table entry the guide no longer has, fails the test. The examples name C:\Tools\ydsprv.exe,
# "C:\Program Files\App\app.exe" and C:\Logs, so those folders are made in the build's Wine prefix
# (and removed again); app.exe is the child ch_app, steered through the environment it inherits.
set -euo pipefail
build="$1"
guide="$build/pkg/ydsprv-guide-ru.txt"
wr="$build/wine-run"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
# The usage box of a parameter error must not wait for a click: without a display it returns at once.
unset DISPLAY
drive="$WINEPREFIX/drive_c"
ours=("$drive/Tools" "$drive/Apps" "$drive/Logs" "$drive/Program Files/App" "$drive/Program Files (x86)/App32")
work="$(mktemp -d "$build/guide-check.XXXXXX")"
cleanup() { rm -rf "$work" "${ours[@]}"; }
trap cleanup EXIT
rm -rf "${ours[@]}"
mkdir -p "${ours[@]}"
cp "$build/ydsprv.exe" "$drive/Tools/"
for d in "$drive/Apps" "$drive/Program Files/App" "$drive/Program Files (x86)/App32"; do
  cp "$build/children/ch_app.exe" "$d/app.exe"
done

# Windows form of a Unix path through drive Z: (no winepath run: one that fails under load gives no path).
win() { printf 'Z:%s' "$1" | tr / '\\'; }
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
utf() { iconv -f CP1251 -t UTF-8 "$1" | tr -d '\r'; }
export YD_APP_ARGS
YD_APP_ARGS="$(win "$work/args.txt")"

# run <command line> [<VAR=value> ...]: the line as a shortcut would start it (no shell), the 32-bit status.
run() {
  local line="$1"
  shift
  printf '%s\r\n' "$line" | iconv -f UTF-8 -t CP1251 > "$work/cmd.txt"
  rm -f "$work/args.txt"
  env "$@" "$wr" "$build/children/cl_run.exe" "$(win "$work/cmd.txt")" </dev/null 2>/dev/null \
    | tr -d '\r' | sed -n 's/^exit status: //p;s/^\(timeout\|launch failed.*\)$/\1/p'
}
# expect <status> <command line> [<VAR=value> ...]
expect() {
  local want="$1" line="$2" got
  shift 2
  got="$(run "$line" "$@")" || true
  [ "$got" = "$want" ] || fail "status ${got:-none}, want $want: $line"
}
args() { tr -d '\r' < "$work/args.txt" 2>/dev/null || true; }  # what app.exe got in the last run
# has <file> <text>: the file (code page 1251) holds a line containing the text.
has() { [ -f "$1" ] && utf "$1" | grep -qF -- "$2" || fail "$1 lacks '$2'"; }
# batch <block> <expected output> [<VAR=value> ...]: the block as a .cmd file run by cmd.exe (lines typed at
# the prompt echo nothing there either).
batch() {
  local block="$1" want="$2" got
  shift 2
  [ "${block%%$'\n'*}" = "@echo off" ] || block="@echo off"$'\n'"$block"
  printf '%s\n' "$block" | sed 's/$/\r/' > "$work/run-app.cmd"
  got="$(env "$@" "$wr" cmd /c "$(win "$work/run-app.cmd")" </dev/null 2>/dev/null | tr -d '\r')" || true
  [ "$got" = "$want" ] || fail "batch printed '$got', want '$want'"
}
evlog="$drive/Logs/app.log"
fresh() { rm -f "$drive/Logs/"* "$drive/Tools/"*.log "$drive/Tools/ydsprv.wli"; }
sample() { cat "$build/pkg/ydsprv.wli.sample"; }

# The guide's blocks, without their indent.
mapfile -t lines < <(sed '1s/^\xEF\xBB\xBF//' "$guide" | tr -d '\r')
blocks=()
cur=""
for l in "${lines[@]}" ""; do
  if [[ "$l" =~ ^\ \ \ \ [^\ ] ]]; then
    cur+="${l:4}"$'\n'
  elif [ -n "$cur" ]; then
    blocks+=("${cur%$'\n'}")
    cur=""
  fi
done

declare -A seen=()
for b in "${blocks[@]}"; do
  first="${b%%$'\n'*}"
  key="$first"
  [ "$first" = "[Evts]" ] && key="$(printf '%s\n' "$b" | head -n2 | paste -sd '|')"
  [[ "$first" =~ ^[0-9.]{10}\ [0-9:]{8}\ Запуск\.$ ]] && key=excerpt
  seen["$key"]=1
  fresh
  case "$key" in
  'C:\Tools\ydsprv.exe "C:\Program Files\App\app.exe"')
    expect 0 "$b" YD_APP_EXIT=0
    expect 0 "$b" YD_APP_EXIT=1223 ;;
  'C:\Tools\ydsprv.exe -m:200M -p:15s -s:1m -r:12h -l:C:\Logs\app.log "%ProgramFiles%\App\app.exe" --port 80')
    expect 0 "$b" YD_APP_EXIT=0
    has "$evlog" "Запуск."
    has "$evlog" "Завершение: код 0"
    grep -qF 'app.exe" --port 80' "$work/args.txt" || fail "app.exe did not get --port 80" ;;
  'C:\Tools\ydsprv.exe "C:\Apps\app.exe --port 80"')
    # One quoted word goes to the system as written; the second line's empty argument reaches app.exe.
    expect 0 "$b" YD_APP_EXIT=0
    [ "$(args)" = 'C:\Apps\app.exe --port 80' ] || fail "one-word command line got: $(args)"
    second="$(printf '%s' "$b" | sed -n 2p)"
    [ "$second" = 'C:\Tools\ydsprv.exe C:\Apps\app.exe --name "" --port 80' ] || fail "unknown second line: $second"
    expect 0 "$second" YD_APP_EXIT=0
    [ "$(args)" = 'C:\Apps\app.exe --name "" --port 80' ] || fail "empty argument: $(args)" ;;
  'C:\Tools\ydsprv.exe -hung:2 -time:30 -handles:5000 -g:3000 -l:C:\Logs\app.log "C:\Program Files\App\app.exe"')
    expect 0 "$b" YD_APP_EXIT=0 YD_APP_MS=500
    has "$evlog" "Завершение: код 0" ;;
  'C:\Tools\ydsprv.exe -rc:0,3 -a:5 -p:30s "C:\Program Files\App\app.exe"')
    expect 0 "$b" YD_APP_EXIT=3 ;;
  'C:\Tools\ydsprv.exe -p:30s -l:%StartPath%app-events.log "C:\Program Files\App\app.exe"')
    expect 0 "$b" YD_APP_EXIT=0
    has "$drive/Tools/app-events.log" "Завершение: exit code=0"
    # The second line of that block: a log file name with a blank.
    second="$(printf '%s' "$b" | sed -n 2p)"
    if [ -n "$second" ]; then
      [ "$second" = 'C:\Tools\ydsprv.exe -p:30s -l:"C:\Logs\App events.log" "C:\Program Files\App\app.exe"' ] ||
        fail "unknown second line: $second"
      expect 0 "$second" YD_APP_EXIT=0
      has "$drive/Logs/App events.log" "Запуск."
    fi ;;
  'C:\Tools\ydsprv.exe -a:1 -r:8ч "C:\Program Files\App\app.exe"')
    # Read as 8 ms, the limit would stop the child and the one attempt would give 0x800401F7.
    expect 0 "$b" YD_APP_EXIT=0 YD_APP_MS=1500 ;;
  'C:\Tools\ydsprv.exe "%ProgramFiles(x86)%\App32\app.exe"')
    expect 0 "$b" YD_APP_EXIT=0
    grep -qF 'App32\app.exe' "$work/args.txt" || fail "the 32-bit folder's app.exe did not run" ;;
  'C:\Tools\ydsprv.exe -l:C:\Logs\app.log C:\Apps\missing.exe')
    expect 2 "$b"
    has "$evlog" "Ошибка запуска. " ;;
  'C:\Tools\ydsprv.exe -a:0 "C:\Program Files\App\app.exe"')
    expect 87 "$b" ;;
  '@echo off')
    batch "$b" "app.exe finished normally" YD_APP_EXIT=0
    batch "$b" "app.exe did not succeed in 3 launches (-2147221001), see C:\Logs\app.log" YD_APP_EXIT=5
    has "$evlog" "Завершение по числу перезапусков 3/3."
    mv "$drive/Program Files/App/app.exe" "$work/app.exe"
    batch "$b" "ydsprv.exe error 2"
    mv "$work/app.exe" "$drive/Program Files/App/app.exe" ;;
  'start "" /wait C:\Tools\ydsprv.exe -a:1 "C:\Program Files\App\app.exe"')
    batch "$b" "0" YD_APP_EXIT=0
    batch "$b" "-2147221001" YD_APP_EXIT=4 ;;
  schtasks\ /create\ *)
    # Wine's schtasks cannot register a logon task (it answers 1): the options are checked here, and the
    # command the Task Scheduler would start is run as it would start it.
    for o in '/sc onlogon' '/it' '/rl LIMITED' '/tn "ydsprv app"' '/ru %USERDOMAIN%\%USERNAME%'; do
      [[ "$b" == *" $o "* ]] || fail "schtasks example lacks $o"
    done
    tr="$(printf '%s' "$b" | sed -n 's/.* \/tr "\(.*\)"$/\1/p')"
    [ -n "$tr" ] && [ "${#tr}" -le 261 ] || fail "/tr missing or longer than 261 characters: $tr"
    expect 0 "$tr" YD_APP_EXIT=0
    has "$evlog" "Запуск."
    grep -qF 'C:\Apps\app.exe --port 80' "$work/args.txt" || fail "the task's app.exe did not get --port 80" ;;
  '[Evts]|...=')
    # Switched on while running: the sample (re-read every second) traces nothing until the lines come.
    sample | sed 's/^PrmsRd=60\r$/PrmsRd=1\r/' > "$drive/Tools/ydsprv.wli"
    printf '%s\r\n' 'C:\Tools\ydsprv.exe "C:\Program Files\App\app.exe"' > "$work/cmd.txt"
    YD_APP_MS=6000 "$wr" "$build/children/cl_run.exe" "$(win "$work/cmd.txt")" </dev/null >/dev/null 2>&1 &
    runner=$!
    sleep 2
    [ -s "$drive/Tools/ydsprv.log" ] && fail "the sample traced before the lines were added"
    printf '%s\n' "$b" | sed 1d | sed 's/$/\r/' >> "$drive/Tools/ydsprv.wli"
    wait "$runner" || true
    grep -q '^WP\. ' "$drive/Tools/ydsprv.log" 2>/dev/null || fail "nothing traced after the lines were added" ;;
  '[Evts]|WP.=')
    { sample; printf '%s\n' "$b" | sed 1d; } | sed 's/\r\?$/\r/' > "$drive/Tools/ydsprv.wli"
    expect 0 'C:\Tools\ydsprv.exe "C:\Program Files\App\app.exe"' YD_APP_EXIT=0
    grep -q '^WP\. ' "$drive/Tools/ydsprv.log" 2>/dev/null || fail "no WP. line traced"
    grep -qv '^WP\. ' "$drive/Tools/ydsprv.log" 2>/dev/null && fail "lines of other types traced" ;;
  excerpt)
    # The guide's excerpt is the demo's run: the same run again, digits masked, gives the same lines.
    cp "$build/demo/demo_grow.exe" "$drive/Apps/"
    expect 0 "C:\\Tools\\ydsprv.exe -m:32M -time:1 -p:2s -s:1s -a:5 -l:C:\\Logs\\app.log C:\\Apps\\demo_grow.exe $(win "$work/runs.txt")"
    rm -f "$drive/Apps/demo_grow.exe"
    want="$(printf '%s\n' "$b" | sed 's/[0-9]\+/N/g')"
    got="$(utf "$evlog" | sed 's/[0-9]\+/N/g; s/ $//')"
    [ "$got" = "$want" ] || fail "the demo's event log differs from the guide's excerpt:"$'\n'"$got" ;;
  *)
    fail "a guide example no test runs: $first" ;;
  esac
done

# Every entry of the table must still be in the guide.
for k in 'C:\Tools\ydsprv.exe "C:\Program Files\App\app.exe"' '@echo off' excerpt '[Evts]|...=' '[Evts]|WP.=' \
         'C:\Tools\ydsprv.exe -a:0 "C:\Program Files\App\app.exe"' 'C:\Tools\ydsprv.exe -l:C:\Logs\app.log C:\Apps\missing.exe'; do
  [ -n "${seen[$k]:-}" ] || fail "the guide lost the example: $k"
done
echo "${#blocks[@]} guide examples run, $fails failed"
[ "${#blocks[@]}" -gt 10 ] && [ "$fails" = 0 ]
