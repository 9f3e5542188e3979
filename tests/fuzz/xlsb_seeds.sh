#!/usr/bin/env bash
# Collects the binary parts of the corpus's .xlsb workbooks as seeds for
# xlsb_record_fuzzer: xlsb_seeds.sh <seed folder> [corpus folder, by default
# tests/corpus]. Then, e.g.:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUORVEL_FUZZ=ON -DBUILD_TESTING=OFF
#   ninja -C build-fuzz xlsb_record_fuzzer
#   build-fuzz/tests/fuzz/xlsb_record_fuzzer new-inputs seeds -max_total_time=300 -malloc_limit_mb=256
set -euo pipefail
seeds=${1:?seed folder}
corpus=${2:-$(dirname "$0")/../corpus}
mkdir -p "$seeds"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for book in "$corpus"/xlsb/*.xlsb; do
  name=$(basename "$book" .xlsb)
  rm -rf "$tmp/x" && mkdir "$tmp/x"
  unzip -qq -o "$book" '*.bin' -d "$tmp/x" 2>/dev/null || true
  find "$tmp/x" -name '*.bin' | while read -r bin; do
    cp "$bin" "$seeds/${name}__$(echo "${bin#"$tmp"/x/}" | tr '/' '_')"
  done
done
ls "$seeds" | wc -l
