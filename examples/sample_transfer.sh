#!/usr/bin/env bash
# The README's main command: `ryn transfer` of the sample CSV into an exchange file, run in
# a folder of its own that holds the sample's files. Arguments: the sample folder, the
# output folder, then the ryn program (after the program that runs it, e.g. wine). The
# summary goes to summary.txt, the messages to messages.txt; the status is ryn's.
set -u
sample=$1
out=$2
shift 2
rm -rf "$out"
mkdir -p "$out"
cp "$sample"/report_sample.csv "$sample"/report_sample.map "$sample"/csv_source.options "$sample"/ryn_export.options "$out"/
cd "$out" || exit 2
"$@" transfer --from CSV文件 --from-options-file csv_source.options --script report_sample.map \
  --to Ryn文件 --to-options-file ryn_export.options --quiet >summary.txt 2>messages.txt
status=$?
cat summary.txt messages.txt
exit $status
