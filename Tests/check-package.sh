#!/bin/bash
# The release zip (made by the target "package"): exactly the files a Windows admin gets, the ydsprv.exe
# that passed the tests, texts that Notepad opens on any Windows, and a sample parameter file that, renamed
# to ydsprv.wli, traces nothing (and with one filter line added, does: the check sees tracing).
set -euo pipefail
build="$1"
version="$2"
zip="$build/ydsprv-$version-win64.zip"
[ -f "$zip" ] || { echo "$zip missing: cmake --build $build --target package"; exit 1; }
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

listed="$(cmake -E tar tf "$zip" | LC_ALL=C sort | paste -sd ' ')"
want="LICENSE ydsprv-guide-ru.txt ydsprv.exe ydsprv.wli.sample"
[ "$listed" = "$want" ] || fail "zip holds '$listed', want '$want'"

out="$(mktemp -d "$build/zip-check.XXXXXX")"
trap 'rm -rf "$out"' EXIT
(cd "$out" && cmake -E tar xf "$zip")
cmp "$out/ydsprv.exe" "$build/ydsprv.exe" || fail "the zip's ydsprv.exe is not the tested build/ydsprv.exe"

for f in LICENSE ydsprv-guide-ru.txt ydsprv.wli.sample; do
  lf="$(tr -cd '\n' < "$out/$f" | wc -c)"
  crlf="$(grep -c $'\r$' "$out/$f" || true)"
  [ "$lf" -gt 0 ] && [ "$lf" = "$crlf" ] || fail "$f: $crlf of $lf line ends are CR LF"
  grep -q '@[A-Z_]*@' "$out/$f" && fail "$f: a placeholder was not filled in"
done
for f in ydsprv-guide-ru.txt ydsprv.wli.sample; do
  [ "$(head -c3 "$out/$f" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$f: no UTF-8 byte-order mark"
  iconv -f UTF-8 -t UTF-8 "$out/$f" >/dev/null 2>&1 || fail "$f: not valid UTF-8"
done
grep -q "ydsprv.exe $version " "$out/ydsprv-guide-ru.txt" || fail "the guide does not name version $version"

# The sample in place of ydsprv.wli beside the zip's ydsprv.exe, supervising a child that ends with 0.
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
child="$(winepath -w "$build/children/ch_exit.exe" 2>/dev/null)"
traced() {
  rm -f "$out/ydsprv.log"
  local rc=0
  "$build/wine-run" "$out/ydsprv.exe" "$child" 0 </dev/null >/dev/null 2>&1 || rc=$?
  [ "$rc" = 0 ] || fail "ydsprv.exe ended with $rc"
  [ -s "$out/ydsprv.log" ]
}
cp "$out/ydsprv.wli.sample" "$out/ydsprv.wli"
traced && fail "the sample, renamed to ydsprv.wli, switched tracing on"
printf '...=\r\n' >> "$out/ydsprv.wli"
traced || fail "the sample with a filter line under [Evts] traced nothing"
echo "zip checked: $listed ($fails failed)"
[ "$fails" = 0 ]
