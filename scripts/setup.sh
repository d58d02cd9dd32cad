#!/bin/bash
# Installs what the build and the tests need; does nothing when all is there. locales holds the sources
# localedef makes the tests' ru_RU.UTF-8 locale from.
set -euo pipefail
need=()
for p in g++-mingw-w64-x86-64-posix cmake ninja-build googletest wine wine64 xvfb x11-utils imagemagick locales; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
