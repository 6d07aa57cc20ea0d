#!/usr/bin/env bash
# Runs `ryn` with a table of arguments and compares the exit status, standard output and
# standard error byte for byte (usage errors: the status and the first line only).
set -u
ryn=$1
errfile=$(mktemp)
trap 'rm -f "$errfile"' EXIT
failures=0
mem_limit=""

# ryn under the memory limit mem_limit (KiB of address space) when it is set.
run_ryn() {
  if [[ -n $mem_limit ]]; then
    (ulimit -v "$mem_limit" && exec "$ryn" "$@")
  else
    "$ryn" "$@"
  fi
}

# expect STATUS STDOUT STDERR ARGS...
expect() {
  local status=$1 out=$2 err=$3
  shift 3
  local got_out got_err got_status
  # The trailing "x" keeps trailing line feeds, which $(...) would drop.
  got_out=$(run_ryn "$@" 2>"$errfile"; rc=$?; printf x; exit $rc)
  got_status=$?
  got_out=${got_out%x}
  got_err=$(cat "$errfile"; printf x)
  got_err=${got_err%x}
  if [[ $got_status != "$status" || $got_out != "$out" || $got_err != "$err" ]]; then
    failures=$((failures + 1))
    printf 'FAIL: ryn %s\n  status %s (want %s)\n  stdout %q (want %q)\n  stderr %q (want %q)\n' \
      "$*" "$got_status" "$status" "$got_out" "$out" "$got_err" "$err"
  fi
}

# expect_usage STATUS STREAM FIRST_LINE ARGS...
expect_usage() {
  local status=$1 stream=$2 first=$3
  shift 3
  local got_status got_line
  if [[ $stream == out ]]; then
    got_line=$("$ryn" "$@" 2>/dev/null | head -n 1)
  else
    got_line=$("$ryn" "$@" 2>&1 >/dev/null | head -n 1)
  fi
  "$ryn" "$@" >/dev/null 2>&1
  got_status=$?
  if [[ $got_status != "$status" || $got_line != "$first" ]]; then
    failures=$((failures + 1))
    printf 'FAIL: ryn %s\n  status %s (want %s)\n  first line %q (want %q)\n' \
      "$*" "$got_status" "$status" "$got_line" "$first"
  fi
}

tab=$'\t'
expect 0 "int${tab}3"$'\n' "" eval "1+2"
expect 0 "double${tab}3.5"$'\n' "" eval "7/2"
expect 0 "int${tab}-1"$'\n' "" eval -- -1
expect 0 "int${tab}-1"$'\n' "" eval -1
expect 0 "void${tab}"$'\n' "" eval ""
expect 0 "bool${tab}1"$'\n' "" eval --condition "1=1 and 2<3"
expect 0 "bool${tab}1"$'\n' "" eval --condition "// nothing"
expect 0 "string${tab}乙"$'\n''如果 1=2 则 "甲" 否则 "乙"'$'\n' "" \
  eval --describe 'IF 1=2 THEN "甲" ELSE "乙"'
expect 1 "" 'error 101: 存在多余的字符'$'\n''1=1=1'$'\n''   !'$'\n' eval "1=1=1"
expect 1 "" 'error 19: 缺少布尔值'$'\n''1+2'$'\n''   !'$'\n' eval --condition "1+2"
expect 1 "" 'error 19: 缺少布尔值'$'\n''IF 1 THEN 2'$'\n''     !'$'\n' eval "IF 1 THEN 2"
expect 1 "" 'error 1: 未知语法或语法不支持'$'\n''ABS'$'\n''   !'$'\n' eval --describe "abs"
# The caret counts bytes of the process code page: a Chinese character is 2 in GBK, 3 in UTF-8.
if [[ ${RYNFILER_CODEPAGE:-GBK} == GBK ]]; then pad='      '; else pad='       '; fi
expect 1 "" 'error 152: 数据类型不匹配'$'\n''"表"+1'$'\n'"$pad"'!'$'\n' eval '"表"+1'

# Built-in functions: the common ones are global, the text ones belong to the parser.
expect 0 "double${tab}3"$'\n' "" eval "ROUND(2.5)"
expect 0 "string${tab}000ab"$'\n' "" eval 'FillLeft(2+3,"ab","0")'
expect 0 "TDataTime${tab}2003-03-03"$'\n' "" eval "DATEADD(DATE(2003,1,31),0,1)"
expect 0 "double${tab}-3"$'\n''四舍五入取整(-2.5)'$'\n' "" eval --describe "round(-2.5)"
expect 1 "" 'error 202: 函数的参数不正确'$'\n''L$("A")'$'\n''      !'$'\n' eval 'L$("A")'

# Compiled evaluation: every number is a double, strings compare ignoring case, a false
# condition without ELSE is the condition itself.
expect 0 "double${tab}3.5"$'\n' "" eval --compiled "7/2"
expect 0 "double${tab}0"$'\n' "" eval --compiled "5/0"
expect 0 "double${tab}2"$'\n' "" eval --compiled "6/3"
expect 0 "double${tab}0"$'\n' "" eval --compiled ""
expect 0 "bool${tab}1"$'\n' "" eval --compiled --condition '"A"="a"'
expect 0 "bool${tab}0"$'\n' "" eval --condition '"A"="a"'
expect 0 "bool${tab}0"$'\n' "" eval --compiled "IF 1>2 THEN 3"
expect 0 "string${tab}ab"$'\n' "" eval --compiled 'IF 1<2 THEN Trim(" ab ") ELSE "x"'
expect 0 "double${tab}1.23"$'\n' "" eval --compiled "ROUND(1.234*1,2)"
expect 1 "" 'error 19: 缺少布尔值'$'\n''1+2'$'\n''   !'$'\n' eval --compiled --condition "1+2"

# Texts a formula computes are bounded; memory that runs out is an error, never an abort.
# (AddressSanitizer reserves more address space than any such limit allows.)
if [[ -z ${RYN_TEST_NO_ULIMIT:-} ]]; then
  mem_limit=40000
  expect 1 "" 'error 202: 函数的参数不正确'$'\n''FILLLEFT(2147483647,"a")'$'\n''                       !'$'\n' \
    eval 'FillLeft(2147483647,"a")'
  expect 1 "" 'error: 函数“FILLRIGHT”出错：函数的参数不正确'$'\n' eval --compiled 'FillRight(2147483647,"a")'
  expect 1 "" 'error 165: 内存不足'$'\n''LEN(FILLLEFT(67108864,"a"))'$'\n''                         !'$'\n' \
    eval 'LEN(FillLeft(67108864,"a"))'
  expect 1 "" 'error: 函数“FILLLEFT”出错：内存不足'$'\n' eval --compiled 'LEN(FillLeft(67108864,"a"))'
  mem_limit=""
fi
expect 1 "" 'error 164: 文本长度超出上限（64MB）'$'\n''FILLLEFT(67108864,"a")+"b"'$'\n''                          !'$'\n' \
  eval 'FillLeft(67108864,"a")+"b"'

expect_usage 0 out "Usage: ryn COMMAND [ARGUMENTS]" --help
expect_usage 0 out "Usage: ryn eval [--condition] [--describe] [--compiled] [--] FORMULA" eval --help
expect_usage 2 err "Usage: ryn COMMAND [ARGUMENTS]"
expect_usage 2 err "ryn: unknown command frob" frob
expect_usage 2 err "ryn eval: missing FORMULA" eval
expect_usage 2 err "ryn eval: missing FORMULA" eval --condition
expect_usage 2 err "ryn eval: unknown option --bogus" eval --bogus 1
expect_usage 2 err "ryn eval: more than one FORMULA" eval 1 2

if ((failures > 0)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
