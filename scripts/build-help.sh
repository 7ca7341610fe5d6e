#!/usr/bin/env bash
# Compiles the help file: the help sources (kept in UTF-8) are converted to Shift_JIS with
# CR LF line ends, as HTML Help expects of a Japanese help file, and compiled by chmcmd.
# Usage: build-help.sh SOURCE_DIR OUTPUT_CHM
set -euo pipefail
src=$1
out=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for f in "$src"/*; do
  iconv -f UTF-8 -t CP932 "$f" | sed 's/$/\r/' > "$stage/$(basename "$f")"
done
(cd "$stage" && chmcmd kolvane.hhp >/dev/null 2>&1) || { echo "chmcmd failed" >&2; exit 1; }
mv "$stage/kolvane.chm" "$out"
