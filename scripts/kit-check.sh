#!/bin/bash
# Builds the test kit, unpacks it into a fresh folder under the build folder and runs its run-tests.cmd under
# Wine, with the caller's Wine prefix, server and display (scripts/test.sh sources wine-env.sh first). Passes
# when the kit passes and ran the same GoogleTest cases as the CTest run just before, skipping the same ones.
set -euo pipefail
BUILD="$(cd "${1:?build folder}" && pwd)"
cmake --build "$BUILD" --target testkit >/dev/null
zips=("$BUILD"/ydsprv-*-win64-tests.zip)
[ ${#zips[@]} = 1 ] || { echo "kit: expected one test kit zip in $BUILD, found: ${zips[*]}"; exit 1; }
run="$BUILD/kit-run"
rm -rf "$run"
mkdir -p "$run"
# CTest's log of the run just before, taken now: any later ctest call (ctest -N below) writes it anew.
cp "$BUILD/Testing/Temporary/LastTest.log" "$run/ctest-last.log"
(cd "$run" && cmake -E tar xf "${zips[0]}")
kit="$(echo "$run"/ydsprv-*-win64-tests)"
echo "kit: $(basename "${zips[0]}") under Wine: wine cmd /c run-tests.cmd"
# The build's own programs are out of reach meanwhile: a test that still looks for them fails here.
hidden="$BUILD/kit-hidden"
rm -rf "$hidden"
mkdir -p "$hidden"
unhide() { mv "$hidden/ydsprv.exe" "$hidden/children" "$BUILD/" 2>/dev/null || true; }
trap unhide EXIT
mv "$BUILD/ydsprv.exe" "$BUILD/children" "$hidden/"
rc=0
(cd "$kit" && wine cmd /c run-tests.cmd </dev/null) | tr -d '\r' | tee "$run/run-tests.out" || rc=$?
unhide
[ "$rc" = 0 ] || { echo "kit: run-tests.cmd failed (status $rc); see $kit/results"; exit 1; }

# "Suite.Name status" of every test case in the kit's results, and of the same programs' cases in CTest.
sed -n 's/.*<testcase name="\([^"]*\)".* result="\([a-z]*\)".* classname="\([^"]*\)".*/\3.\1 \2/p' \
  "$kit"/results/*.xml | sort >"$run/kit-tests.txt"
areas="$(cd "$kit" && ls test_*.exe | sed 's/^test_//; s/\.exe$//' | paste -sd'|')"
(cd "$BUILD" && ctest -N -L "^($areas)\$") | sed -n 's/^ *Test *#[0-9]*: \([^ ]*\).*/\1/p' | sort >"$run/ctest-names.txt"
# CTest's skipped cases: its log names each test before its output, the skip mark is in the output.
awk '/^[0-9]+\/[0-9]+ Test: /{name=$3} /\[  SKIPPED \]/{if (name != "") print name; name=""}' \
  "$run/ctest-last.log" | sort -u >"$run/ctest-skipped.txt"
# Sorted again without the status: a collating locale orders "A x" and "AB x" otherwise than "A" and "AB".
sed 's/ .*//' "$run/kit-tests.txt" | sort >"$run/kit-names.txt"
sed -n 's/ skipped$//p' "$run/kit-tests.txt" | sort >"$run/kit-skipped.txt"
comm -12 "$run/ctest-skipped.txt" "$run/ctest-names.txt" >"$run/ctest-skipped-kit.txt"
ok=1
if ! diff -u "$run/ctest-names.txt" "$run/kit-names.txt" >"$run/names.diff"; then
  echo "kit: the kit's test cases differ from CTest's (- CTest only, + kit only):"; cat "$run/names.diff"; ok=0
fi
if ! diff -u "$run/ctest-skipped-kit.txt" "$run/kit-skipped.txt" >"$run/skipped.diff"; then
  echo "kit: the kit skipped other cases than CTest (- CTest only, + kit only):"; cat "$run/skipped.diff"; ok=0
fi
[ $ok = 1 ] || exit 1
echo "kit: agrees with CTest: $(wc -l <"$run/kit-names.txt") test cases, $(wc -l <"$run/kit-skipped.txt") skipped"
