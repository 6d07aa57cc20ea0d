#!/usr/bin/env bash
# The README's transfer from the sample database: report_sample.db written by Python's
# sqlite3 (report_sample.sql's table, the CSV's rows inserted as the sqlite3 shell's .import
# does: as text, to the columns' affinities), then `ryn transfer` of its table into an
# exchange file, in a folder of its own. Arguments: the sample folder, the output folder,
# then the ryn program (after the program that runs it, e.g. wine). The summary goes to
# summary.txt, the messages to messages.txt; the status is ryn's.
set -u
sample=$1
out=$2
shift 2
rm -rf "$out"
mkdir -p "$out"
cp "$sample"/report_sample.map "$sample"/sqlite_source.options "$sample"/ryn_export.options "$out"/
python3 - "$sample" "$out/report_sample.db" <<'PYTHON' || exit 2
import csv, re, sqlite3, sys
sample, path = sys.argv[1], sys.argv[2]
script = open(f"{sample}/report_sample.sql", encoding="utf-8").read()
before, after = re.split(r"^\.import .*$", script, maxsplit=1, flags=re.M)
with open(f"{sample}/report_sample.csv", newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f))[1:]
db = sqlite3.connect(path)
db.executescript(before)
db.executemany(f"INSERT INTO report VALUES({','.join('?' * len(rows[0]))})", rows)
db.executescript(after)
db.commit()
db.close()
PYTHON
cd "$out" || exit 2
"$@" transfer --from SQLite数据库 --from-options-file sqlite_source.options --script report_sample.map \
  --to Ryn文件 --to-options-file ryn_export.options --quiet >summary.txt 2>messages.txt
status=$?
cat summary.txt messages.txt
exit $status
