#!/bin/bash
# Builds everything and runs every test under Wine (with an Xvfb display of its own).
# BUILD=dir picks another build folder, YD_TARGET=name builds one target (and no zip); arguments go to ctest (-L Log).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD:-$ROOT/build}"
"$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja --toolchain "$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$BUILD" -j2 ${YD_TARGET:+--target $YD_TARGET}
# The release zip from the programs just built; the test ReleaseZip checks it holds the tested ydsprv.exe.
if [ -z "${YD_TARGET:-}" ]; then
  cmake --build "$BUILD" --target package >/dev/null
fi
# The usage box on a real display, with its Russian text (docs/usage-box.png is such a picture).
if [ -z "${YD_TARGET:-}" ]; then
  "$ROOT/scripts/screenshot.sh" "$BUILD/usage-box.png"
fi
YD_DISPLAY=1 . "$ROOT/scripts/wine-env.sh"
cd "$BUILD"
ctest -j2 --output-on-failure --timeout 300 "$@"
# A full run also proves the test kit: its run-tests.cmd under the same Wine and display must agree with CTest.
if [ $# -eq 0 ] && [ -z "${YD_TARGET:-}" ]; then
  "$ROOT/scripts/kit-check.sh" "$BUILD"
fi
