#!/usr/bin/env bash
# Checks the documentation (README.md and docs/*.md). Fails when a recipe
# block is not, line for line, a part of one of the files below installer/:
# every ```nsis block must appear in a .nsi template, every ```pascal block
# in an Inno Setup script (.iss), every ```xml block in a Windows Installer
# source (.wxs, the wixl template or the WiX v4/v5 fragment), and each
# language must have at least one block. A ```sh block is a command an
# author types (makensis, installer/build-msi.sh) and is read as prose.
# Fails too when a relative link names no file, or a #fragment no heading
# of the file it points into. Run by scripts/test-static.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

documents=(README.md docs/*.md)
status=0
check() {  # LANGUAGE EXTENSION
  local language=$1 extension=$2 block="" inside=0 count=0 line number start file found document files
  mapfile -t files < <(find installer -type f -name "*.$extension" | LC_ALL=C sort)
  for document in "${documents[@]}"; do
    if [ ! -f "$document" ]; then
      echo "$document: missing" >&2
      status=1
      continue
    fi
    inside=0 number=0
    while IFS= read -r line || [ -n "$line" ]; do
      number=$((number + 1))
      if [ "$inside" = 0 ] && [ "$line" = '```'"$language" ]; then
        inside=1 block="" start=$number
      elif [ "$inside" = 1 ] && [ "$line" = '```' ]; then
        inside=0 count=$((count + 1)) found=0
        for file in "${files[@]}"; do
          [[ $'\n'"$(cat "$file")"$'\n' == *$'\n'"$block"* ]] && found=1
        done
        if [ "$found" = 0 ]; then
          echo "$document:$start: this $language block is not part of any installer/**/*.$extension" >&2
          status=1
        fi
      elif [ "$inside" = 1 ]; then
        block+="$line"$'\n'
      fi
    done <"$document"
    if [ "$inside" = 1 ]; then
      echo "$document:$start: this $language block is never closed" >&2
      status=1
    fi
  done
  if [ "$count" = 0 ]; then
    echo "README.md, docs/*.md: no $language block found" >&2
    status=1
  fi
  echo "recipes: $count $language blocks checked against installer/**/*.$extension"
}

anchors() {  # FILE: the fragment of each heading, as the Markdown renderer makes it
  sed -n 's/^#\{1,6\} //p' "$1" | tr '[:upper:]' '[:lower:]' | sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

links() {  # every relative link outside code blocks names a file (and heading)
  local document target path fragment count=0 number link
  for document in "${documents[@]}"; do
    [ -f "$document" ] || continue
    while IFS=: read -r number link; do
      target=${link#](} target=${target%)}
      case $target in http://* | https://* | mailto:*) continue ;; esac
      count=$((count + 1))
      path=${target%%#*} fragment=
      [[ $target == *'#'* ]] && fragment=${target#*#}
      if [ -z "$path" ]; then
        path=$document
      else
        path=$(dirname "$document")/$path
      fi
      if [ ! -e "$path" ]; then
        echo "$document:$number: $target names no file" >&2
        status=1
      elif [ -n "$fragment" ] && ! anchors "$path" | grep -qxF -- "$fragment"; then
        echo "$document:$number: $target names no heading of $path" >&2
        status=1
      fi
    done < <(awk '/^```/ { fenced = !fenced; next }
      !fenced { rest = $0
        while (match(rest, /\]\([^) ]*\)/)) {
          print NR ":" substr(rest, RSTART, RLENGTH); rest = substr(rest, RSTART + RLENGTH) } }' "$document")
  done
  echo "links: $count relative links checked"
}

check nsis nsi
check pascal iss
check xml wxs
links
exit "$status"
