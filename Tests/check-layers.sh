#!/bin/bash
# Dependencies point downwards only: no source or header includes a header of a folder above its own.
# Layers from the bottom: Inc and Src/Gen, Src/Lib, Src/Log, Src/GUI, Src/sprv.
set -euo pipefail
root="$1"
layer() {
  case "$1" in
    Inc/* | Src/Gen/* | Gen/*) echo 0 ;;
    Src/Lib/* | Lib/*) echo 1 ;;
    Src/Log/* | Log/*) echo 2 ;;
    Src/GUI/* | GUI/*) echo 3 ;;
    Src/sprv/* | sprv/*) echo 4 ;;
    *) echo "" ;;
  esac
}
bad=0
n=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
cd "$root"
while IFS= read -r file; do
  n=$((n + 1))
  own=$(layer "$file")
  while IFS=: read -r ln inc; do
    hdr=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$inc")
    # Headers are named from Src/ or, for the generic ones, from Inc/.
    if [ -f "Src/$hdr" ]; then
      at="Src/$hdr"
    elif [ -f "Inc/$hdr" ]; then
      at="Inc/$hdr"
    else
      echo "$file:$ln: includes \"$hdr\", which is in no layer"
      bad=1
      continue
    fi
    [ "${file%/*}" != "${at%/*}" ] && echo "${file%/*} -> ${at%/*}" >>"$edges"
    if [ "$(layer "$at")" -gt "$own" ]; then
      echo "$file:$ln: includes $at from a layer above its own"
      bad=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find Inc Src -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
# The graph between folders, for the reader: each arrow with the number of includes along it.
LC_ALL=C sort "$edges" | uniq -c | sed 's/^ */  /'
echo "$n files checked"
[ "$n" -gt 0 ] && [ "$bad" = 0 ]
