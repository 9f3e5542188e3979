#!/usr/bin/env bash
# Collects seeds for xlsx_sheet_fuzzer from .xlsx/.xlsm workbooks: each
# worksheet part with the workbook's shared strings and styles, split by
# "--part--" lines: xlsx_seeds.sh <seed folder> <workbook or folder>...
set -euo pipefail
seeds=${1:?seed folder}
shift
mkdir -p "$seeds"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
find "$@" -type f \( -iname '*.xlsx' -o -iname '*.xlsm' \) | while read -r book; do
  name=$(basename "$book")
  rm -rf "$tmp/x" && mkdir "$tmp/x"
  unzip -qq -o "$book" 'xl/*' -d "$tmp/x" 2>/dev/null || true
  for sheet in "$tmp"/x/xl/worksheets/*.xml; do
    [ -f "$sheet" ] || continue
    [ "$(stat -c %s "$sheet")" -le 200000 ] || continue  # small seeds fuzz faster
    out="$seeds/${name}__$(basename "$sheet")"
    {
      cat "$sheet"
      printf '\n--part--\n'
      cat "$tmp/x/xl/sharedStrings.xml" 2>/dev/null || true
      printf '\n--part--\n'
      cat "$tmp/x/xl/styles.xml" 2>/dev/null || true
    } >"$out"
  done
done
ls "$seeds" | wc -l
