#!/bin/bash
# Every program of the build imports system DLLs only (static libstdc++, libgcc and winpthread).
set -euo pipefail
build="$1"
allowed='^(KERNEL32|USER32|ADVAPI32|GDI32|PSAPI|msvcrt|ntdll)\.dll$'
# The resource test reads the version as Explorer does, through version.dll; ydsprv.exe itself does not.
allowed_test_sprv='^(KERNEL32|USER32|ADVAPI32|GDI32|PSAPI|VERSION|msvcrt|ntdll)\.dll$'
bad=0
n=0
while IFS= read -r exe; do
  n=$((n + 1))
  ok="$allowed"
  [ "$(basename "$exe")" = test_sprv.exe ] && ok="$allowed_test_sprv"
  while IFS= read -r dll; do
    if ! [[ "$dll" =~ $ok ]]; then
      echo "$exe imports $dll"
      bad=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print $3}')
done < <(find "$build" -name '*.exe' -not -path '*/wineprefix/*' -not -path '*/CMakeFiles/*')
echo "$n programs checked"
[ "$n" -gt 0 ] && [ "$bad" = 0 ]
