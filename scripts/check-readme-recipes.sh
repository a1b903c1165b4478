#!/usr/bin/env bash
# Fails when a recipe block of the README is not, line for line, a part of
# one of the files in installer/: every ```nsis block must appear in a
# .nsi template, every ```pascal block in an Inno Setup script (.iss). Run
# by scripts/test-static.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

status=0
check() {  # LANGUAGE EXTENSION
  local language=$1 extension=$2 block="" inside=0 count=0 line number=0 start=0 file found
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    if [ "$inside" = 0 ] && [ "$line" = '```'"$language" ]; then
      inside=1 block="" start=$number
    elif [ "$inside" = 1 ] && [ "$line" = '```' ]; then
      inside=0 count=$((count + 1)) found=0
      for file in installer/*."$extension"; do
        [ -f "$file" ] && [[ $'\n'"$(cat "$file")"$'\n' == *$'\n'"$block"* ]] && found=1
      done
      if [ "$found" = 0 ]; then
        echo "README.md:$start: this $language block is not part of any installer/*.$extension" >&2
        status=1
      fi
    elif [ "$inside" = 1 ]; then
      block+="$line"$'\n'
    fi
  done <README.md
  if [ "$count" = 0 ]; then
    echo "README.md: no $language block found" >&2
    status=1
  fi
  echo "readme: $count $language blocks checked against installer/*.$extension"
}
check nsis nsi
check pascal iss
exit "$status"
