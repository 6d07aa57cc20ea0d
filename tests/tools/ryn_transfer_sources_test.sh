#!/usr/bin/env bash
# `ryn transfer` from the CSV and SQLite source libraries of the engine folder into the
# exchange file: the exact files (in the process code page), the messages, the statuses,
# and the sample data set read both ways giving the same file.
# Arguments: ryn, the sample folder of the build tree.
set -u
ryn=$(realpath "$1")
sample=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
crlf=$'\r\n'

fail() {
  failures=$((failures + 1))
  printf 'FAIL: %s\n' "$*"
}

native() {
  if [[ ${RYNFILER_CODEPAGE:-GBK} == GBK ]]; then printf '%s' "$1" | iconv -f UTF-8 -t GBK; else printf '%s' "$1"; fi
}

run() {
  out=$("$ryn" "$@" 2>"$work/err"; rc=$?; printf x; exit $rc)
  status=$?
  out=${out%x}
  err=$(cat "$work/err")
}

check_file() {  # WHAT FILE EXPECTED_UTF8
  if ! cmp -s "$2" <(native "$3"); then
    fail "$1: file"
    printf '  got  %q\n  want %q\n' "$(od -An -c "$2" | tr -s ' ')" "$(native "$3" | od -An -c | tr -s ' ')"
  fi
}

to_options() {  # FILE COLUMNS...
  local file=$1 cols="" c
  shift
  for c in "$@"; do cols+=${cols:+${crlf}}$c; done
  printf '单位标识=0001;\r\n年度=2024;\r\n报表类型=N;\r\n时期=1;\r\n文件名=%s;\r\n数据类型=0;\r\n选择列={\r\n\t%s}' \
    "$file" "$cols" >"$work/to.txt"
}
maps=(--map 'Export(0)=Import(0)' --map 'Export(1)=Import(1)' --map 'Export(2)=Import(2)' --map 'Export(3)=Import(3)')

# ---- CSV: byte-order mark, quotes, a line break inside quotes, a short record ----
printf '\xEF\xBB\xBF代码,名称,数量,备注\r\n"A01","甲,乙",12,"说""好""的"\r\nA02,丙,7,"两\r\n行"\r\nA03,丁\r\n' >"$work/in.csv"
to_options "$work/csv.ryn" 代码=DM 名称=MC 数量=SL 备注=BZ
run transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/in.csv" --to-options-file "$work/to.txt" "${maps[@]}"
[[ $status == 0 && $out == "3 read, 3 written, 0 filtered, 0 rejected, 0 values changed"$'\n' ]] || fail "csv: $status $out"
[[ $err == *"CSV文件第3行只有2列，缺少的列读作空值"* ]] || fail "csv: short record warning: $err"
check_file "csv" "$work/csv.ryn" "代码	名称	数量	备注${crlf}\
0001	2024	N	1	A01	甲,乙	12	\"说\"\"\"好\"\"\"的\"${crlf}\
0001	2024	N	1	A02	丙	7	\"两${crlf}行\"${crlf}\
0001	2024	N	1	A03	丁		${crlf}@@"

# A bare LF or CR inside a value is quoted too: a reader that splits lines at either never
# splits the value.
printf 'a,b\r\n"x\ny","p\rq"\r\n' >"$work/lf.csv"
to_options "$work/lf.ryn" A=A B=B
run transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/lf.csv" --to-options-file "$work/to.txt" \
  --map 'Export(0)=Import(0)' --map 'Export(1)=Import(1)'
[[ $status == 0 ]] || fail "bare line ends: $status $err"
check_file "bare line ends" "$work/lf.ryn" "A"$'\t'"B${crlf}0001"$'\t'"2024"$'\t'"N"$'\t'"1"$'\t'"\"x"$'\n'"y\""$'\t'"\"p"$'\r'"q\"${crlf}@@"

# With types: a column of whole numbers computes as numbers; a column with any other value
# within the first records stays text as it was written.
printf 'n,x\n1,2.50\n2,x\n' >"$work/typed.csv"
to_options "$work/typed.ryn" N=N X=X
run transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/typed.csv;类型推断=1" --to-options-file "$work/to.txt" \
  --map 'Export(0)=Import(0)*10' --map 'Export(1)=Import(1)'
[[ $status == 0 ]] || fail "typed csv: $status $err"
check_file "typed csv" "$work/typed.ryn" "N	X${crlf}0001	2024	N	1	10	2.50${crlf}0001	2024	N	1	20	x${crlf}@@"

run transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/missing.csv" --to-options-file "$work/to.txt" "${maps[@]}"
[[ $status == 1 && $err == *"CSV文件“$work/missing.csv”无法读取"* ]] || fail "missing csv: $status $err"

# ---- SQLite: declared types, NULL text, UTF-8 text, a table name that needs quoting ----
sqlite3 "$work/t.db" "CREATE TABLE \"单位 表\"(名称 TEXT, 人数 INTEGER, 收入 REAL, 日期 DATE);
  INSERT INTO \"单位 表\" VALUES('甲公司', 12, 1.25, '2024-03-05'), (NULL, 0, 0.5, '2000-01-01'), ('乙', -3, 1e20, '2024-12-31');"
to_options "$work/db.ryn" 名称=MC 人数=RS 收入=SR 日期=RQ
run transfer --from SQLite数据库 --to Ryn文件 --from-options "数据库=$work/t.db;表=\"单位 表\"" --to-options-file "$work/to.txt" \
  "${maps[@]}"
[[ $status == 0 && $out == "3 read, 3 written, 0 filtered, 0 rejected, 0 values changed"$'\n' ]] || fail "sqlite: $status $out $err"
check_file "sqlite" "$work/db.ryn" "名称	人数	收入	日期${crlf}\
0001	2024	N	1	甲公司	12	1.25	2024-03-05${crlf}\
0001	2024	N	1		0	0.5	2000-01-01${crlf}\
0001	2024	N	1	乙	-3	1E20	2024-12-31${crlf}@@"

run transfer --from SQLite数据库 --to Ryn文件 --from-options "数据库=$work/t.db;查询=SELEC 1" --to-options-file "$work/to.txt" \
  "${maps[@]}"
[[ $status == 1 && $err == *'near "SELEC": syntax error'* ]] || fail "bad sql: $status $err"

# ---- wide records: no column limit on the way (6000 columns, the last ones mapped) ----
python3 -c '
import sys
n = 6000
print(",".join(f"c{i}" for i in range(n)), end="\r\n")
print(",".join(f"v{i}" for i in range(n)), end="\r\n")
' >"$work/wide.csv"
to_options "$work/wide.ryn" A=A B=B
run transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/wide.csv" --to-options-file "$work/to.txt" \
  --map 'Export(0)=Import(4095)' --map 'Export(1)=Import(5999)'
[[ $status == 0 ]] || fail "wide: $status $err"
check_file "wide" "$work/wide.ryn" "A	B${crlf}0001	2024	N	1	v4095	v5999${crlf}@@"

# ---- the sample data set: the CSV and the database made from it give the same file ----
cp "$sample"/* "$work/"
cd "$work" || exit 1
# --quiet: a slow build would also print progress lines, which depend on timing.
run transfer --from CSV文件 --to Ryn文件 --from-options-file csv_source.options --to-options-file ryn_export.options \
  --script report_sample.map --quiet
[[ $status == 0 && $out == "3000 read, 2948 written, 52 filtered, 0 rejected, 0 values changed"$'\n' && -z $err ]] || fail "sample csv: $status $out $err"
mv report_sample.ryn from_csv.ryn
run transfer --from SQLite数据库 --to Ryn文件 --from-options-file sqlite_source.options --to-options-file ryn_export.options \
  --script report_sample.map --quiet
[[ $status == 0 && $out == "3000 read, 2948 written, 52 filtered, 0 rejected, 0 values changed"$'\n' && -z $err ]] || fail "sample sqlite: $status $out $err"
cmp -s from_csv.ryn report_sample.ryn || fail "sample: the CSV and the database give different files"
check_file "sample head" <(head -n 2 report_sample.ryn) "单位代码	单位名称	营业收入(万元)	利润率(%)	从业人数	规模	备注${crlf}\
D00000	2024	N	1	D00001	广东省-广东批发零售集团有限公司	36177.13	3.35	4083	大型	************${crlf}"

if [[ $failures -gt 0 ]]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
