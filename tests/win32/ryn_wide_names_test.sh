#!/usr/bin/env bash
# ryn.exe's own files under names outside the process code page (a Korean folder, Chinese
# file names, under GBK): the reject file and the saved recipe are written there, each
# replacing the file of a run before in one step, nothing left beside them, and read back
# by --recipe and --from-rejects. Arguments: the Wine loader, ryn.exe.
set -u
wine=$1 ryn=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

folder=폴더
mkdir "$folder"
printf 'id,name,width\n1,甲,3\n2,乙,1E12\n3,丙,2\n' >in.csv
printf '单位标识=0001;\r\n年度=2023;\r\n报表类型=Y;\r\n时期=12;\r\n文件名=out.ryn;\r\n数据类型=0;\r\n选择列={\r\n\tA=a\r\nB=b\r\nC=c}' >to.txt
printf 'from an earlier run' >"$folder/拒绝.csv"
printf 'from an earlier run' >"$folder/方案.txt"
run() {
  "$wine" "$ryn" transfer "$@" --quiet >out.txt 2>err.txt
  status=$?
}
maps=(--map 'Export(0)=Import(0)' --map 'Export(1)=Import(1)' --map 'Export(2)=FillLeft(VAL(Import(2)),"x")')

run --from CSV文件 --to Ryn文件 --from-options "文件名=in.csv" --to-options-file to.txt "${maps[@]}" \
  --rejects "$folder/拒绝.csv" --save-recipe "$folder/方案.txt"
[[ $status == 3 ]] || fail "rejects: status $status: $(cat out.txt err.txt)"
python3 - "$folder" <<'PY' || fail "rejects: the files"
import csv, sys
folder = sys.argv[1]
raw = open(f"{folder}/拒绝.csv", "rb").read()
assert raw.startswith(b"\xef\xbb\xbf"), raw[:40]
rows = list(csv.reader(open(f"{folder}/拒绝.csv", encoding="utf-8-sig", newline="")))
assert rows[0] == ["记录", "目标字段", "映射", "问题", "id", "name", "width"], rows[0]
assert [r[0] for r in rows[1:]] == ["2"] and rows[1][4:] == ["2", "乙", "1E12"], rows
recipe = open(f"{folder}/方案.txt", "rb").read()
assert recipe and recipe != b"from an earlier run", recipe[:80]
PY
[[ $(ls "$folder" | sort) == $'拒绝.csv\n方案.txt' ]] || fail "rejects: left in the folder: $(ls "$folder" | tr '\n' ' ')"

# The recipe read back, and of the source only the rejected record passed on again.
printf 'from an earlier run' >"$folder/again.csv"
run --recipe "$folder/方案.txt" --from-rejects "$folder/拒绝.csv" --rejects "$folder/again.csv"
[[ $status == 3 ]] || fail "again: status $status: $(cat out.txt err.txt)"
[[ $(cat out.txt) == "3 read, 0 written, 0 filtered, 1 rejected, "* ]] || fail "again: $(cat out.txt)"
cmp -s "$folder/拒绝.csv" "$folder/again.csv" || fail "again: the rejects differ"

if [[ $failures -gt 0 ]]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
