#!/bin/bash
# Runs LogFull.RealFullFileSystem on a really full small file system: a tmpfs of 256 KiB mounted under the
# build folder and filled but for two pages by the file "filler", always unmounted again. Without root, or where mounting is not allowed, the test runs
# without it and skips itself, saying so. Usage: full-disk.sh <build folder> <test program>
set -u
BUILD="$1"
EXE="$2"
FILTER=--gtest_filter=LogFull.RealFullFileSystem
dir="$BUILD/fullfs"
if [ "$(id -u)" != 0 ]; then
  echo "full-disk: not root, no file system to fill"
  exec "$BUILD/wine-run" "$EXE" "$FILTER"
fi
mkdir -p "$dir"
if ! mount -t tmpfs -o size=256k,mode=0777 yd_fullfs "$dir"; then
  echo "full-disk: mounting a tmpfs is not allowed here"
  rmdir "$dir" 2>/dev/null
  exec "$BUILD/wine-run" "$EXE" "$FILTER"
fi
trap 'umount "$dir"; rmdir "$dir"' EXIT
dd if=/dev/zero of="$dir/filler" bs=4096 2>/dev/null
truncate -s -8192 "$dir/filler"
YD_FULL_DIR="Z:$(printf '%s' "$dir" | tr / '\\')" "$BUILD/wine-run" "$EXE" "$FILTER"
