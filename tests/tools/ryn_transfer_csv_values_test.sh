#!/usr/bin/env bash
# `ryn transfer` from CSV files with awkward values into the exchange file: every field must
# be what Python's csv module reads from the source, converted to the process code page by
# Python's codecs ("?" for a character the code page lacks or a byte that is no character),
# and every such replacement, an unclosed quote and a value that does not fit its column
# must be reported. Values hold no TAB, blank, quote or line break, so that the exchange
# file's lines split at TAB without unquoting.
# Arguments: ryn.
set -u
ryn=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
codepage=${RYNFILER_CODEPAGE:-GBK}

fail() {
  failures=$((failures + 1))
  printf 'FAIL: %s\n' "$*"
}

# The source files, and for each its encoding as Python should read it.
python3 - "$work" <<'EOF'
import sys
work = sys.argv[1]
files = {
    # Leading zeros, signs, exponents, trailing zeros, -0, 20-digit ids, long decimals,
    # empty cells, dates: with inference on, each must arrive as written.
    "awkward.csv": ("utf-8", "\ufeffid,num,dec,date\r\n000123,+5,12E3,2024-02-29\r\n"
                    "12345678901234567890,-0,3.10,1899-12-30\r\n42,,123456789.123456789,\r\n"
                    "0.1,1E20,-0.0,2000-01-01\r\n"),
    # Characters GBK lacks: an emoji, one beyond the plane, Korean, n-tilde, NBSP.
    "lacking.csv": ("utf-8", "a,b,c,d\n\U0001F600x,\U00020000,\ud55c\uad6d,se\u00f1or\n\u00a0y,ok,\u4e2d,\u00e9\n"),
    "utf16le.csv": ("utf-16", "\ufeff名称,值,c,d\r\n甲公司,1,,乙\r\n"),
    "utf16be.csv": ("utf-16-be", "\ufeff名称,值,c,d\n丙,2,x,丁戊\n"),
    "unclosed.csv": ("utf-8", "a,b,c,d\n1,2,3,4\n5,6,7,\"open,end"),
}
for name, (enc, text) in files.items():
    with open(f"{work}/{name}", "wb") as f:
        f.write(text.encode(enc))
    with open(f"{work}/{name}.enc", "w") as f:
        f.write("utf-16" if enc.startswith("utf-16") else enc)
# A UTF-8 file with one stray byte among many good characters.
with open(f"{work}/stray.csv", "wb") as f:
    f.write("名称,值,c,d\n甲乙丙,丁,1,2\n单位,戊己".encode() + b"\xff" + "庚,3,4\n".encode())
with open(f"{work}/stray.csv.enc", "w") as f:
    f.write("utf-8")
# A value beyond the type sample that does not fit the column's type keeps its text.
with open(f"{work}/late.csv", "w") as f:
    f.write("n,m,c,d\n" + "".join(f"{i},{i}.5,x,y\n" for i in range(1000)) + "12x,2.5,x,y\n")
with open(f"{work}/late.csv.enc", "w") as f:
    f.write("utf-8")
EOF

crlf=$'\r\n'
printf '单位标识=0001;\r\n年度=2024;\r\n报表类型=N;\r\n时期=1;\r\n文件名=%s;\r\n数据类型=0;\r\n选择列={\r\n\tA=A\r\nB=B\r\nC=C\r\nD=D}' \
  "$work/out.ryn" >"$work/to.txt"
maps=(--map 'Export(0)=Import(0)' --map 'Export(1)=Import(1)' --map 'Export(2)=Import(2)' --map 'Export(3)=Import(3)')

# Compares the exchange file with what Python's csv module reads from the source.
compare() {  # NAME
  python3 - "$work/$1" "$(cat "$work/$1.enc")" "$work/out.ryn" "$codepage" <<'EOF'
import csv, io, sys
source, encoding, out, codepage = sys.argv[1:5]
def replace_bad(e):
    return ("?", e.end)
import codecs
codecs.register_error("question", replace_bad)
text = open(source, "rb").read().decode(encoding, errors="question")
if text.startswith("\ufeff"):
    text = text[1:]
rows = [r for r in csv.reader(io.StringIO(text, newline="")) if r][1:]
want = [[f.encode(codepage, errors="replace") for f in r] for r in rows]
lines = open(out, "rb").read().split(b"\r\n")
got = [l.split(b"\t")[4:] for l in lines[1:] if l != b"@@"]
bad = 0
if len(got) != len(want):
    print(f"  {len(got)} records, want {len(want)}")
    bad = 1
for i, (g, w) in enumerate(zip(got, want)):
    for j, (gf, wf) in enumerate(zip(g, w)):
        if gf != wf:
            print(f"  record {i + 1} column {j}: got {gf!r} want {wf!r}")
            bad = 1
sys.exit(bad)
EOF
}

# A replaced character is an error: by default the run fails and writes nothing; with
# --lossy it writes every record and its status (3) says that something was lost.
transfer() {  # NAME EXPECTED_STATUS [ryn options]
  local name=$1 want=$2
  shift 2
  rm -f "$work/out.ryn"
  "$ryn" transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/$name;类型推断=1" \
    --to-options-file "$work/to.txt" "${maps[@]}" "$@" >"$work/out" 2>"$work/err"
  status=$?
  err=$(cat "$work/err")
  [[ $status == "$want" ]] || fail "$name: status $status, want $want: $err"
  if [[ $status == 1 ]]; then
    [[ ! -e $work/out.ryn ]] || fail "$name: a failed run left a file"
  else
    compare "$name" || fail "$name: fields differ from Python's reading"
  fi
}

transfer awkward.csv 0
[[ -z $err ]] || fail "awkward.csv: unexpected messages: $err"

transfer lacking.csv "$([[ $codepage == GBK ]] && echo 1 || echo 0)"
transfer lacking.csv "$([[ $codepage == GBK ]] && echo 3 || echo 0)" --lossy
if [[ $codepage == GBK ]]; then
  [[ $err == *'列0“a”有2个值含有代码页没有的字符'*'第一个在第1行'* ]] || fail "lacking.csv column 0: $err"
  [[ $err == *'列2“c”有1个值含有代码页没有的字符'* ]] || fail "lacking.csv column 2 (中 is in GBK): $err"
  [[ $err == *'列3“d”有1个值含有代码页没有的字符'* ]] || fail "lacking.csv column 3 (é is in GBK): $err"
else
  [[ -z $err ]] || fail "lacking.csv: nothing is lost under $codepage: $err"
fi

transfer utf16le.csv 0
[[ -z $err ]] || fail "utf16le.csv: $err"
transfer utf16be.csv 0
[[ -z $err ]] || fail "utf16be.csv: $err"

transfer stray.csv 1
transfer stray.csv 3 --lossy
[[ $err == *'列1“值”有1个值含有无效的字节序列'*'第一个在第2行'* ]] || fail "stray.csv: $err"

transfer unclosed.csv 0
[[ $err == *'CSV文件第2行的引号没有闭合'* ]] || fail "unclosed.csv: $err"

transfer late.csv 0
[[ $err == *'列0“n”有1个值不符合列的类型'*'第一个在第1001行：12x'* ]] || fail "late.csv: $err"

# Typed columns: an empty cell copied stays empty (never 0 or a time); a date a formula
# computes is written in its date form, day 0 (1899-12-30) included.
printf 'n,d\n7,1899-12-30\n,\n-3,2024-02-29\n' >"$work/typed.csv"
rm -f "$work/out.ryn"
"$ryn" transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/typed.csv;类型推断=1" --to-options-file "$work/to.txt" \
  --map 'Export(0)=Import(0)' --map 'Export(1)=Import(1)' --map 'Export(2)=DATEVALUE("1899-12-30")' \
  --map 'Export(3)=Import(0)*10' >/dev/null 2>"$work/err"
status=$?
got=$(tr -d '\r' <"$work/out.ryn" | cut -f5- | sed -n '2,4p' | tr '\t\n' ',;')
want='7,1899-12-30,1899-12-30,70;,,1899-12-30,0;-3,2024-02-29,1899-12-30,-30;'
[[ $status == 0 && $got == "$want" ]] || fail "typed.csv: status $status, got $got, want $want: $(cat "$work/err")"

# A delimiter ";" written without quotes is refused with the way to write it.
"$ryn" transfer --from CSV文件 --to Ryn文件 --from-options "文件名=$work/late.csv;分隔符=;" --to-options-file "$work/to.txt" \
  "${maps[@]}" >/dev/null 2>"$work/err"
status=$?
[[ $status != 0 && $(cat "$work/err") == *'分隔符=";"'* ]] || fail "empty delimiter: $status $(cat "$work/err")"

if [[ $failures -gt 0 ]]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
