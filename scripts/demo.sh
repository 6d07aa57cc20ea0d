#!/usr/bin/env bash
# Installs what is missing, builds what the example needs, and moves the sample report
# (examples/sample/report_sample.csv) into an exchange file with `ryn transfer`, using the
# sample's options texts and mapping script. Prints where the file is and its first lines.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DRYNFILER_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc 2>/dev/null || echo 2)" --target ryn rynfiler rynfiler_csv rynfiler_sqlite sample_database

sample=build/demo/examples/sample
out=$(realpath "$sample")/report_sample.ryn
rm -f "$out"
(cd "$sample" && RYNFILER_CODEPAGE=GBK ../../bin/ryn transfer --from CSV文件 --to Ryn文件 \
  --from-options-file csv_source.options --to-options-file ryn_export.options --script report_sample.map)
echo "Exchange file: $out (GBK)"
head -n 6 "$out" | iconv -f GBK -t UTF-8
