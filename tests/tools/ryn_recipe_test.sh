#!/usr/bin/env bash
# `ryn transfer --save-recipe` and `--recipe`: the recipe file read back by an independent
# reader of the layout the README documents, a replay giving the very same output, a source
# whose fields drifted stopping the replay before the destination is touched (and going on
# with --allow-drift), parts replaced from the command line, and the failure paths.
# Expected values come from Python's csv module and the saved file, never from ryn itself.
# Arguments: ryn (its default engine folder holds the CSV and exchange file libraries).
set -u
ryn=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
codec=$([[ ${RYNFILER_CODEPAGE:-GBK} == GBK ]] && echo gbk || echo utf-8)

fail() {
  failures=$((failures + 1))
  printf 'FAIL: %s\n' "$*"
}

run() {
  out=$("$ryn" "$@" 2>"$work/err"; rc=$?; printf x; exit $rc)
  status=$?
  out=${out%x}
  err=$(cat "$work/err")
}

# The recipe as the README describes it, read apart from ryn: prints the value of KEY or,
# for "fields", one "TYPE<TAB>NAME" line per field. Values are printed exactly (UTF-8).
recipe() {  # FILE KEY
  python3 - "$1" "$2" <<'PY'
import re, sys
path, want = sys.argv[1], sys.argv[2]
ends = {"|": "\r\n", "/": "\n", "<": "\r", ".": ""}
values, fields, key = {}, [], None
for line in open(path, encoding="utf-8", newline="").read().split("\n"):
    line = line.removesuffix("\r")
    if not line.strip() or line.startswith("#"):
        continue
    if line[0] in " \t":
        t = line.lstrip(" \t")
        values[key] += t[2:] + ends[t[0]]
        continue
    key, _, value = line.partition(":")
    key, value = key.strip(), value.strip()
    if key.startswith("field "):
        m = re.fullmatch(r'(-?\d+)\s+"((?:[^"\\]|\\.)*)"', value)
        name = re.sub(r'\\(.)', lambda e: {"r": "\r", "n": "\n"}.get(e.group(1), e.group(1)), m.group(2))
        fields.append(f"{m.group(1)}\t{name}")
    else:
        values[key] = value
if want == "fields":
    print(values["fields"])
    print("\n".join(fields))
else:
    sys.stdout.write(values[want])
PY
}

# Checks the exchange file against Python's csv reading of the source through a plain
# mapping: output column j holds source column MAP[j] of every record.
check_output() {  # WHAT EXCHANGE_FILE SOURCE_CSV MAP(comma-separated source columns)
  python3 - "$2" "$3" "$4" "$codec" <<'PY' || fail "$1: values"
import csv, sys
out, src, mapping, codec = sys.argv[1], sys.argv[2], [int(i) for i in sys.argv[3].split(",")], sys.argv[4]
rows = list(csv.reader(open(src, encoding="utf-8", newline="")))[1:]
lines = open(out, "rb").read().decode(codec).split("\r\n")
assert lines[-1] == "@@", lines[-1]
# A value holding a quote (or a blank, TAB, CR, LF) is written quoted, inner quotes tripled.
unquote = lambda v: v[1:-1].replace('"""', '"') if len(v) > 1 and v[0] == v[-1] == '"' else v
got = [[unquote(v) for v in l.split("\t")[4:]] for l in lines[1:-1]]
want = [[r[i] for i in mapping] for r in rows]
if got != want:
    sys.exit(f"  got {got}\n  want {want}")
PY
}

printf '编号,名称,金额\r\n1,甲公司,10\r\n2,"乙=,""丙""",20.5\r\n' >"$work/in.csv"
from_options="文件名=$work/in.csv;类型推断=1"
printf '单位标识=0001;\r\n年度=2024;\r\n报表类型=Y;\r\n时期=1;\r\n文件名=%s;\r\n数据类型=0;\r\n选择列={\r\n\t甲=A\r\n乙=B\r\n丙=C}' \
  "$work/out.ryn" >"$work/to.txt"

# ---- a run with the host's default mapping saves what it used ----
run transfer --from CSV文件 --to Ryn文件 --from-options "$from_options" --to-options-file "$work/to.txt" \
  --save-recipe "$work/r.txt"
[[ $status == 0 && $out == "2 read, 2 written, 0 filtered, 0 rejected, 0 values changed"$'\n' ]] || fail "save: $status $out $err"
cp "$work/out.ryn" "$work/first.ryn"
[[ $(recipe "$work/r.txt" from) == CSV文件 && $(recipe "$work/r.txt" to) == Ryn文件 ]] || fail "save: engines"
[[ $(recipe "$work/r.txt" from-options) == "$from_options" ]] || fail "save: from-options $(recipe "$work/r.txt" from-options | od -c)"
cmp -s <(recipe "$work/r.txt" to-options) "$work/to.txt" || fail "save: to-options $(recipe "$work/r.txt" to-options | od -c)"
# The script is the default mapping the host made and showed, every line ending in CR LF.
shown=$(sed -n 's/^提示: 默认映射：\(Export([0-9]*)=Import([0-9]*)\)（.*/\1/p' <<<"$err")
[[ $(recipe "$work/r.txt" script) == "$(printf '%s\r\n' $shown)" && -n $shown ]] ||
  fail "save: script $(recipe "$work/r.txt" script | od -c) shown $shown"
map=$(sed 's/Export([0-9]*)=Import(\([0-9]*\))/\1/' <<<"$shown" | paste -sd,)
check_output "first run" "$work/out.ryn" "$work/in.csv" "$map"
fields=$(recipe "$work/r.txt" fields)
names=$(python3 -c 'import csv,sys; print("\n".join(next(csv.reader(open(sys.argv[1], encoding="utf-8")))))' "$work/in.csv")
[[ $(head -n 1 <<<"$fields") == 3 && $(tail -n +2 <<<"$fields" | cut -f2) == "$names" ]] || fail "save: fields $fields"
amount_type=$(sed -n 4p <<<"$fields" | cut -f1)

# ---- the replay: the same output byte for byte, and the same recipe saved again ----
rm "$work/out.ryn"
run transfer --recipe "$work/r.txt" --save-recipe "$work/again.txt" --quiet
[[ $status == 0 && $out == "2 read, 2 written, 0 filtered, 0 rejected, 0 values changed"$'\n' && -z $err ]] || fail "replay: $status $out $err"
cmp -s "$work/out.ryn" "$work/first.ryn" || fail "replay: output differs from the first run's"
cmp -s "$work/r.txt" "$work/again.txt" || fail "replay: the recipe saved again differs"

# ---- drift: the replay stops before the destination is opened, and names the change ----
# Each case: what, the source file, the error lines expected ("+" between them).
drift_cases=(
  "renamed|编号,单位名称,金额\r\n1,甲,10.5\r\n|field 1 \"名称\" renamed to \"单位名称\""
  "added|编号,名称,金额,备注\r\n1,甲,10.5,x\r\n|field count 3 -> 4+field 3 \"备注\" added"
  "removed|编号,金额\r\n1,10.5\r\n|field count 3 -> 2+field 1 \"名称\" removed"
  "retyped|编号,名称,金额\r\n1,甲,十元\r\n|field 2 \"金额\": type $amount_type -> 65"
  "renamed and retyped|编号,名称,总额\r\n1,甲,十元\r\n|field 2 \"金额\" renamed to \"总额\"+field 2 \"总额\": type $amount_type -> 65"
  "reordered|名称,编号,金额\r\n甲,1,10.5\r\n|field 1 \"名称\" moved to 0"
)
for c in "${drift_cases[@]}"; do
  IFS='|' read -r what csv lines <<<"$c"
  printf "$csv" >"$work/in.csv"
  cp "$work/first.ryn" "$work/out.ryn"
  run transfer --recipe "$work/r.txt"
  want="错误: ${lines//+/$'\n'错误: }"$'\n'"ryn transfer: the source's fields are not those of recipe $work/r.txt; the destination was not opened (--allow-drift runs it anyway)"
  [[ $status == 1 && -z $out && $err == "$want" ]] ||
    fail "drift $what: status $status, stdout $out"$'\n'"  stderr $err"$'\n'"  want   $want"
  cmp -s "$work/out.ryn" "$work/first.ryn" || fail "drift $what: the destination changed"
done
# A destination that did not exist is not even created.
rm "$work/out.ryn"
run transfer --recipe "$work/r.txt"
[[ $status == 1 && ! -e $work/out.ryn ]] || fail "drift: the destination was opened ($status)"

# With --allow-drift the same lines are warnings and the run goes on with the recipe's script.
printf '编号,名称,金额,备注\r\n7,"庚,辛",-3.5,x\r\n8,壬,0.25,y\r\n' >"$work/in.csv"
run transfer --recipe "$work/r.txt" --allow-drift --quiet
[[ $status == 0 && $out == "2 read, 2 written, 0 filtered, 0 rejected, 0 values changed"$'\n' ]] || fail "allow drift: $status $out $err"
[[ $err == "警告: field count 3 -> 4"$'\n''警告: field 3 "备注" added' ]] || fail "allow drift: $err"
check_output "allow drift" "$work/out.ryn" "$work/in.csv" "$map"

# ---- parts given on the command line replace the recipe's ----
printf '编号,名称,金额\r\n3,癸,1.5\r\n' >"$work/march.csv"
run transfer --recipe "$work/r.txt" --from-options "文件名=$work/march.csv;类型推断=1" --quiet
[[ $status == 0 ]] || fail "other month: $status $err"
check_output "other month" "$work/out.ryn" "$work/march.csv" "$map"
# --map replaces the whole script (the recipe's other lines are gone: columns 1 and 2 stay empty).
run transfer --recipe "$work/r.txt" --from-options "文件名=$work/march.csv;类型推断=1" --map 'Export(0)=Import(0)' --quiet
[[ $status == 0 ]] || fail "--map: $status $err"
[[ $(tail -c 20 "$work/out.ryn" | iconv -f "$codec" -t UTF-8 | tr -d '\r\n') == *$'\t3\t\t@@' ]] ||
  fail "--map: $(od -c "$work/out.ryn" | tail -3)"

# ---- failures ----
printf '编号,名称,金额\r\n1,甲公司,10.5\r\n' >"$work/in.csv"
run transfer --recipe "$work/missing.txt"
[[ $status == 1 && $err == "ryn transfer: cannot read recipe $work/missing.txt" ]] || fail "missing recipe: $status $err"
sed 's/^script:/scirpt:/' "$work/r.txt" >"$work/bad.txt"
bad_line=$(grep -n '^scirpt:' "$work/bad.txt" | cut -d: -f1)
run transfer --recipe "$work/bad.txt"
[[ $status == 1 && $err == "ryn transfer: recipe $work/bad.txt, line $bad_line: unknown key \"scirpt\"" ]] ||
  fail "malformed recipe: $status $err"
# A recipe that cannot be written stops the run before its first record; nothing is kept.
cp "$work/first.ryn" "$work/out.ryn"
run transfer --recipe "$work/r.txt" --save-recipe "$work/no/such/dir/r.txt" --quiet
[[ $status == 1 && $err == "错误: cannot write recipe $work/no/such/dir/r.txt" ]] || fail "unwritable recipe: $status $err"
[[ $out == "0 read, 0 written, 0 filtered, 0 rejected, 0 values changed; nothing was kept: the destination is as it was"$'\n' ]] || fail "unwritable recipe: $out"
cmp -s "$work/out.ryn" "$work/first.ryn" || fail "unwritable recipe: the destination changed"
# A script that does not compile never started a run: no recipe.
run transfer --recipe "$work/r.txt" --map 'Export(0)=Import(1)+' --save-recipe "$work/never.txt" --quiet
[[ $status == 1 && ! -e $work/never.txt ]] || fail "script that does not compile: $status, $(ls "$work")"

if ((failures > 0)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
