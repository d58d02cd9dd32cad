#!/bin/bash
# Installs what is missing, configures the build folder (build/ or $BUILD) when it has not been, and
# builds the given targets: scripts/build.sh ydsprv demo_grow
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD:-$ROOT/build}"
"$ROOT/scripts/setup.sh"
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja --toolchain "$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$BUILD" -j2 ${1:+--target "$@"}
