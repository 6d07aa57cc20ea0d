#!/usr/bin/env bash
# `ryn engines` and `ryn transfer` over an engine folder holding the exchange file library
# and the in-memory test source library: the exact output files (in the process code
# page), the messages, the exit statuses, and Ctrl-C in the middle of a transfer.
# Arguments: ryn, librynfiler.so, the test source library.
set -u
ryn=$1
rynlib=$2
memlib=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
engines=$work/engines
mkdir -p "$engines" "$work/out"
ln -s "$rynlib" "$engines/librynfiler.so"
ln -s "$memlib" "$engines/libmemsource.so"
failures=0

fail() {
  failures=$((failures + 1))
  printf 'FAIL: %s\n' "$*"
}

# Text of the system as the process code page writes it.
native() {
  if [[ ${RYNFILER_CODEPAGE:-GBK} == GBK ]]; then printf '%s' "$1" | iconv -f UTF-8 -t GBK; else printf '%s' "$1"; fi
}

# run ARGS...: sets status, out and err.
run() {
  out=$("$ryn" "$@" 2>"$work/err"; rc=$?; printf x; exit $rc)
  status=$?
  out=${out%x}
  err=$(cat "$work/err"; printf x)
  err=${err%x}
}

# check WHAT STATUS STDOUT STDERR
check() {
  if [[ $status != "$2" || $out != "$3" || $err != "$4" ]]; then
    fail "$1"
    printf '  status %s (want %s)\n  stdout %q (want %q)\n  stderr %q (want %q)\n' "$status" "$2" "$out" "$3" "$err" "$4"
  fi
}

# check_file WHAT FILE EXPECTED_UTF8
check_file() {
  if ! cmp -s "$2" <(native "$3"); then
    fail "$1: file"
    printf '  got  %q\n  want %q\n' "$(od -An -c "$2" | tr -s ' ')" "$(native "$3" | od -An -c | tr -s ' ')"
  fi
}

crlf=$'\r\n'
tab=$'\t'
# The exchange file engine's options (UTF-8, as a user writes them).
to_options() {  # FILE DATATYPE COLUMNS...
  local file=$1 type=$2
  shift 2
  local cols="" c
  for c in "$@"; do cols+=${cols:+$'\r\n'}$c; done
  printf '单位标识=0001;\r\n年度=2023;\r\n报表类型=Y;\r\n时期=12;\r\n文件名=%s;\r\n数据类型=%s;\r\n选择列={\r\n\t%s}' \
    "$file" "$type" "$cols" >"$work/to.txt"
}

# ---- ryn engines ----
run engines --dir "$engines"
check "engines --dir" 0 "MemSource${tab}source${tab}内存表${tab}$engines/libmemsource.so"$'\n'"Ryn文件${tab}destination${tab}网络表Ryn数据文件${tab}$engines/librynfiler.so"$'\n' ""
out=$(RYNFILER_PLUGIN_DIR=$engines "$ryn" engines | cut -f1 | tr '\n' ' ')
[[ $out == "MemSource Ryn文件 " ]] || fail "RYNFILER_PLUGIN_DIR: $out"
# By default: lib/rynfiler beside the executable's folder, which holds the libraries we build.
out=$(env -u RYNFILER_PLUGIN_DIR "$ryn" engines | cut -f1,2)
[[ $out == "CSV文件${tab}source"$'\n'"Excel文件${tab}source"$'\n'"ODBC数据源${tab}source"$'\n'"Ryn文件${tab}destination"$'\n'"SQLite数据库${tab}source" ]] ||
  fail "default engine folder: $out"
mkdir "$work/nothing"
run engines --dir "$work/nothing"
check "empty folder" 0 "" "ryn engines: no engine libraries in $work/nothing"$'\n'
# A folder that is missing or cannot be listed is an error, never an empty list: whichever
# way it was named, the command says which folder and why, and prints no engines.
touch "$work/plain-file"
mkdir -p "$work/locked" && chmod 000 "$work/locked"
unreadable_cases=("missing|--dir|$work/no-such-folder|No such file or directory"
                  "a file|--dir|$work/plain-file|Not a directory"
                  "missing, from the environment|env|$work/no-such-folder|No such file or directory")
# root reads any folder whatever its mode.
[[ $(id -u) != 0 ]] && unreadable_cases+=("mode 000|--dir|$work/locked|Permission denied")
for case in "${unreadable_cases[@]}"; do
  IFS='|' read -r what how dir reason <<<"$case"
  # The reason is the system's text: untranslated in the C locale.
  if [[ $how == env ]]; then
    LC_ALL=C RYNFILER_PLUGIN_DIR=$dir run engines
  else
    LC_ALL=C run engines --dir "$dir"
  fi
  check "engines on $what folder" 1 "" "ryn engines: cannot read the engine folder $dir: $reason"$'\n'
done
chmod 700 "$work/locked"
run engines --dir
[[ $status == 2 && $err == "ryn engines: missing value of --dir"* ]] || fail "engines --dir without value: $status $err"

# ---- a transfer with mappings and a filter, byte for byte ----
to_options "$work/out/report.ryn" 1 "编号=a" "金额=b" "宽=c" "日期=d" "x=e"
run transfer --dir "$engines" --from memsource --to RYN文件 --from-options "rows=3" --to-options-file "$work/to.txt" \
  --map 'Export(0)=Import(15)' --map 'Export(1)=Import(5)*2' --map 'Export(2)=Import(16)' \
  --map 'Export(3)=Import(13)' --map 'Export(4)=Import(9)' --filter 'Import(3)<>-101' --quiet
check "transfer" 0 "3 read, 2 written, 1 filtered, 0 rejected, 0 values changed"$'\n' ""
check_file "transfer" "$work/out/report.ryn" \
  "@${crlf}编号${tab}金额${tab}宽${tab}日期${tab}x${crlf}0001${tab}2023${tab}Y${tab}12${tab}row0${tab}-4000000000${tab}宽0${tab}2023-03-15${tab}0.1${crlf}0001${tab}2023${tab}Y${tab}12${tab}row2${tab}-3999999996${tab}宽2${tab}2023-03-17${tab}2.1${crlf}@@"

# ---- every number type of a source without texts of its own, into text ----
# Row 1 is empty: nothing is written for it, never a 0. The largest of each type keeps
# every digit (an int64 of 19 digits, a longword above 2^31).
to_options "$work/out/numbers.ryn" 0 "A=a" "B=b" "C=c" "D=d" "E=e" "F=f" "G=g" "H=h" "I=i" "J=j"
maps=()
for i in 0 1 2 3 4 5 6 7 8 9; do maps+=(--map "Export($i)=Import($i)"); done
run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options $'rows=3;\r\nempty=1' \
  --to-options-file "$work/to.txt" "${maps[@]}" --quiet
check "numbers into text" 0 "3 read, 3 written, 0 filtered, 0 rejected, 0 values changed"$'\n' ""
numbers="A${tab}B${tab}C${tab}D${tab}E${tab}F${tab}G${tab}H${tab}I${tab}J${crlf}"
for row in "200 60000 4000000000 -100 -30000 -2000000000 9000000000000000000 0 1.5 0.1" "         " \
    "202 60002 4000000002 -102 -30002 -1999999998 9000000000000000002 0 3.5 2.1"; do
  numbers+="0001${tab}2023${tab}Y${tab}12${tab}${row// /$tab}${crlf}"
done
check_file "numbers into text" "$work/out/numbers.ryn" "${numbers}@@"

# ---- the default script: text first, then the first compatible fields ----
to_options "$work/out/default.ryn" 0 "A=a" "B=b" "C=c"
run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=2" --to-options-file "$work/to.txt"
# The mapping the host made is shown, with the fields' names, before anything is trusted.
check "default script" 0 "2 read, 2 written, 0 filtered, 0 rejected, 0 values changed"$'\n' \
  "提示: 默认映射：Export(0)=Import(15)（a ← text）"$'\n'"提示: 默认映射：Export(1)=Import(0)（b ← byte）"$'\n'"提示: 默认映射：Export(2)=Import(1)（c ← word）"$'\n'
check_file "default script" "$work/out/default.ryn" \
  "A${tab}B${tab}C${crlf}0001${tab}2023${tab}Y${tab}12${tab}row0${tab}200${tab}60000${crlf}0001${tab}2023${tab}Y${tab}12${tab}row1${tab}201${tab}60001${crlf}@@"

# ---- a script file (UTF-8) with warnings: an invalid line, a failing mapping ----
to_options "$work/out/script.ryn" 0 "A=a" "B=b"
printf 'Export(0)="甲"+Import(18)\r\nExp(1)=2\r\nExport(1)=FillLeft(Import(7)*-2147483647+2,"x")\n' >"$work/script.txt"
# A mapping that fails for a record fails the run: the value cannot be carried.
printf 'last month\r\n@@' >"$work/out/script.ryn"
run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=2" --to-options-file "$work/to.txt" \
  --script "$work/script.txt"
failing='第2条记录，字段1“b”（Export(1)=FillLeft(Import(7)*-2147483647+2,"x")）：函数“FILLLEFT”出错：函数的参数不正确'
check "script file, strict" 1 "2 read, 2 written, 0 filtered, 0 rejected, 1 value changed (1 conversion); nothing was kept: the destination is as it was"$'\n' \
  "警告: <Exp(1)=2>表达式无效！"$'\n'"警告: 在2行2列处有错误发生！函数“FILLLEFT”出错：函数的参数不正确"$'\n'"错误: $failing"$'\n'
check_file "script file, strict" "$work/out/script.ryn" "last month${crlf}@@"
# With --lossy the record is written without the value, and the status says so.
run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=2" --to-options-file "$work/to.txt" \
  --script "$work/script.txt" --lossy
check "script file" 3 "2 read, 2 written, 0 filtered, 0 rejected, 1 value changed (1 conversion)"$'\n' \
  "警告: <Exp(1)=2>表达式无效！"$'\n'"警告: 在2行2列处有错误发生！函数“FILLLEFT”出错：函数的参数不正确"$'\n'"警告: $failing"$'\n'
check_file "script file" "$work/out/script.ryn" \
  "A${tab}B${crlf}0001${tab}2023${tab}Y${tab}12${tab}甲u0${tab}\" x\"${crlf}0001${tab}2023${tab}Y${tab}12${tab}甲u1${tab}${crlf}@@"

# ---- text functions cut in whole characters: a cut character becomes blanks ----
# Checked apart from our writer: the file must decode strictly in the code page (iconv for
# GBK) and every value must keep its byte width.
to_options "$work/out/cut.ryn" 0 "A=a" "B=b" "C=c" "D=d"
run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=2" --to-options-file "$work/to.txt" \
  --map 'Export(0)=FillRight(5,"统计局报表","*")' --map 'Export(1)=M$("统计局报表",2,4)' \
  --map 'Export(2)=R$("统计局报表",3)' --map 'Export(3)=FillLeft(6,Import(16),"中")' --quiet
check "whole characters" 0 "2 read, 2 written, 0 filtered, 0 rejected, 0 values changed"$'\n' ""
if [[ ${RYNFILER_CODEPAGE:-GBK} == GBK ]]; then
  iconv -f GBK -t UTF-8 "$work/out/cut.ryn" >/dev/null 2>&1 || fail "whole characters: iconv -f GBK rejects the file"
  codec=gbk want='["统计 ", " 计 ", " 表", " 中宽"]'
else
  codec=utf-8 want='["统  ", "    ", "表", "  宽"]'
fi
python3 - "$work/out/cut.ryn" "$codec" "$want" <<'PY' || fail "whole characters: values"
import csv, io, json, sys
path, codec, want = sys.argv[1], sys.argv[2], json.loads(sys.argv[3])
text = open(path, "rb").read().decode(codec)  # strict: half a character raises
rows = list(csv.reader(io.StringIO(text.removesuffix("@@"), newline=""), delimiter="\t"))
widths = [5, 4, 3, 6]
for n, row in enumerate(rows[1:]):
    values, expected = row[4:], want[:3] + [want[3] + str(n)]  # Import(16) is 宽n
    got = [len(v.encode(codec)) for v in values]
    if got != widths or values != expected:
        sys.exit(f"values {values!r} widths {got}, want {expected!r} widths {widths}")
PY

# ---- failures ----
run transfer --dir "$engines" --from MemSource --to Ryn文件 --to-options "数据类型=1"
check "refused options" 1 "" "ryn transfer: engine Ryn文件 refused its options (code 0x10001003)"$'\n'
to_options "$work/out/bad.ryn" 0 "A=a"
printf 'last month\r\n@@' >"$work/out/bad.ryn"
run transfer --dir "$engines" --from MemSource --to Ryn文件 --to-options-file "$work/to.txt" --map 'Export(0)=Import(1)+"a"'
[[ $(cat "$work/out/bad.ryn") == $'last month\r\n@@' ]] || fail "script that does not compile: the file changed"
check "script that does not compile" 1 "0 read, 0 written, 0 filtered, 0 rejected, 0 values changed; nothing was kept: the destination is as it was"$'\n' \
  "错误: 数据类型不匹配"$'\n'"Import(1)+\"a\""$'\n'"             !"$'\n'"错误: 脚本语法检查出现错误"$'\n'
run transfer --dir "$engines" --from MemSource --to Ryn文件 --to-options-file "$work/to.txt" --map 'Export(1)=Import(19)'
check "an index beyond the fields" 1 "0 read, 0 written, 0 filtered, 0 rejected, 0 values changed; nothing was kept: the destination is as it was"$'\n' \
  "错误: 字段序号1超出范围 (0-0)"$'\n'"Export(1)=Import(19)"$'\n'"       !"$'\n'"错误: 脚本语法检查出现错误"$'\n'
run transfer --dir "$engines" --from Nope --to Ryn文件
check "unknown engine" 1 "" "ryn transfer: no engine named Nope in $engines"$'\n'
run transfer --dir "$engines" --from Ryn文件 --to MemSource
check "wrong direction" 1 "" "ryn transfer: engine Ryn文件 cannot be a source"$'\n'
run transfer --dir "$engines" --from MemSource --to Ryn文件 --to-options-file "$work/missing.txt"
check "missing options file" 1 "" "ryn transfer: cannot read $work/missing.txt"$'\n'
for args in "--to x" "--from x" "--from x --to y --script s --map m" "--from x --to y --bogus" \
  "--from x --to y --to-options a --to-options-file b" "--from x --to y --map"; do
  # shellcheck disable=SC2086
  run transfer $args
  [[ $status == 2 && $err == "ryn transfer: "* && $err == *"Usage: ryn transfer"* ]] || fail "usage: $args -> $status $err"
done

# ---- a full disk: one error, status 1, and the previous file as it was ----
# Files may grow to 64 KiB; a write past that fails with EFBIG (SIGXFSZ ignored). The
# messages leave through a pipe, which the limit does not touch.
for type in 0 1; do
  printf 'previous\r\n@@' >"$work/out/full.ryn"
  to_options "$work/out/full.ryn" "$type" "A=a"
  err=$( (trap '' XFSZ; ulimit -f 64; exec "$ryn" transfer --dir "$engines" --from MemSource --to Ryn文件 \
    --from-options "rows=100000" --to-options-file "$work/to.txt" --map 'Export(0)=Import(5)' --quiet) 2>&1 >/dev/null)
  status=$?
  [[ $status == 1 && $err == "错误: 存储文件写入失败!" ]] || fail "full disk, data type $type: status $status, $(printf %q "$err")"
  [[ $(cat "$work/out/full.ryn") == $'previous\r\n@@' ]] || fail "full disk, data type $type: the file changed"
  [[ $(ls "$work/out" | grep -c full) == 1 ]] || fail "full disk, data type $type: $(ls "$work/out")"
done

# ---- a source that fails midway: the error, status 1, and the previous file as it was ----
to_options "$work/out/failed.ryn" 0 "A=a"
printf 'previous\r\n@@' >"$work/out/failed.ryn"
run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=10;failat=4" \
  --to-options-file "$work/to.txt" --map 'Export(0)=Import(5)' --quiet
check "a source that fails midway" 1 "4 read, 4 written, 0 filtered, 0 rejected, 0 values changed; nothing was kept: the destination is as it was"$'\n' \
  "错误: row 4 cannot be read"$'\n'
check_file "a source that fails midway" "$work/out/failed.ryn" "previous${crlf}@@"
for type in 1 2; do
  to_options "$work/out/failed$type.ryn" $type "A=a"
  printf 'previous\r\n@@' >"$work/out/failed$type.ryn"
  run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=10;failat=4" \
    --to-options-file "$work/to.txt" --map 'Export(0)=Import(5)' --quiet
  [[ $status == 1 ]] || fail "fails midway, data type $type: status $status"
  check_file "fails midway, data type $type: no partial section" "$work/out/failed$type.ryn" "previous${crlf}@@"
done
# With --keep-partial what was read is kept, closed with its end marker.
to_options "$work/out/part.ryn" 0 "A=a"
run transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=10;failat=2" \
  --to-options-file "$work/to.txt" --map 'Export(0)=Import(5)' --quiet --keep-partial
check "kept partial" 1 "2 read, 2 written, 0 filtered, 0 rejected, 0 values changed; the partial output was kept"$'\n' "错误: row 2 cannot be read"$'\n'
check_file "kept partial" "$work/out/part.ryn" \
  "A${crlf}0001${tab}2023${tab}Y${tab}12${tab}-2000000000${crlf}0001${tab}2023${tab}Y${tab}12${tab}-1999999999${crlf}@@"

# ---- Ctrl-C: the transfer stops at a record; the file there before stays as it was, and
# with --keep-partial what was written is closed properly ----
to_options "$work/out/stopped.ryn" 0 "A=a"
printf 'previous\r\n@@' >"$work/out/stopped.ryn"
interrupt() {  # extra arguments of ryn transfer
  # The last run's messages must not pass for this one's progress.
  rm -f "$work/stop.out" "$work/stop.err"
  "$ryn" transfer --dir "$engines" --from MemSource --to Ryn文件 --from-options "rows=100000000" \
  --to-options-file "$work/to.txt" --map 'Export(0)=Import(5)' "$@" >"$work/stop.out" 2>"$work/stop.err" &
  pid=$!
  # Progress lines come once a second; the first one shows the records are moving.
  for _ in $(seq 600); do
    [[ -s $work/stop.err ]] && break
    sleep 0.1
  done
  kill -INT $pid
  wait $pid
  status=$?
  read -r n _ m _ <"$work/stop.out"
}
interrupt
[[ $status == 130 ]] || fail "Ctrl-C: status $status"
[[ $(cat "$work/out/stopped.ryn") == $'previous\r\n@@' ]] || fail "Ctrl-C: the previous file changed"
[[ $(ls "$work/out" | grep -c stopped) == 1 ]] || fail "Ctrl-C: $(ls "$work/out")"
interrupt --keep-partial
[[ $status == 130 ]] || fail "Ctrl-C: status $status"
[[ $(tail -n 1 "$work/stop.err") == "ryn transfer: stopped by the user" ]] || fail "Ctrl-C: $(cat "$work/stop.err")"
[[ $n == "$m" && $n -gt 0 && $n -lt 100000000 ]] || fail "Ctrl-C: $(cat "$work/stop.out")"
[[ $(cat "$work/stop.out") == *"; the partial output was kept" ]] || fail "Ctrl-C: $(cat "$work/stop.out")"
[[ $(tail -c 4 "$work/out/stopped.ryn" | od -An -c | tr -d ' ') == '\r\n@@' ]] || fail "Ctrl-C: no end marker"
lines=$(tr -cd '\n' <"$work/out/stopped.ryn" | wc -c)
[[ $lines == $((n + 1)) ]] || fail "Ctrl-C: $lines line breaks for $n records"
# Data types 1 and 2 append a section: a stopped run cuts the file back to what it was.
for type in 1 2; do
  to_options "$work/out/stopped.ryn" $type "A=a"
  printf 'previous\r\n@@' >"$work/out/stopped.ryn"
  interrupt
  [[ $status == 130 ]] || fail "Ctrl-C, data type $type: status $status"
  [[ $(cat "$work/out/stopped.ryn") == $'previous\r\n@@' ]] || fail "Ctrl-C, data type $type: the previous file changed"
done

if ((failures > 0)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
