#!/usr/bin/env bash
# Collects seeds for xlsx_package_fuzzer: the corpus's .xlsx and .xlsm
# workbooks up to 100 KB, each also repacked with its parts stored, so that
# mutations reach the XML instead of the deflate stream:
#   xlsx_package_seeds.sh <seed folder> [corpus folder, by default tests/corpus]
# Then, e.g. (TMPDIR in memory: the fuzzer's string tables spill at once):
#   TMPDIR=/dev/shm build-fuzz/tests/fuzz/xlsx_package_fuzzer new-inputs seeds \
#     -max_total_time=600 -malloc_limit_mb=160 -rss_limit_mb=1536
set -euo pipefail
seeds=${1:?seed folder}
corpus=${2:-$(dirname "$0")/../corpus}
mkdir -p "$seeds"
find "$corpus" -type f \( -iname '*.xlsx' -o -iname '*.xlsm' \) -size -100k | while read -r book; do
  name=$(basename "$book")
  cp "$book" "$seeds/$name"
  python3 - "$book" "$seeds/stored__$name" 2>/dev/null <<'PY' || rm -f "$seeds/stored__$name"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as src, zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_STORED) as dst:
    for item in src.infolist():
        dst.writestr(item.filename, src.read(item.filename))
PY
done
ls "$seeds" | wc -l
