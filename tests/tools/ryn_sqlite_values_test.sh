#!/usr/bin/env bash
# `ryn transfer` from a SQLite table of awkward values into the exchange file: every field
# of the file against what Python's sqlite3 reads from the same database, its text worked
# out here on its own (integers in digits, reals as Python's shortest round-trip form,
# BLOBs in hex, text in the process code page with "?" for what it lacks); values that do
# not fit their declared column are named per column on stderr. The rows are read in two
# orders: a column's values must not depend on the first row.
# Arguments: ryn.
set -u
export PYTHONPATH="$(dirname "$(realpath "$0")")${PYTHONPATH:+:$PYTHONPATH}"
ryn=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

python3 - "$ryn" <<'PYTHON'
import os, re, sqlite3, subprocess, sys

ryn = sys.argv[1]
codepage = os.environ.get("RYNFILER_CODEPAGE", "GBK")
failures = []

columns = ["id", "u", "code", "i", "r", "d", "dt", "b"]
db = sqlite3.connect("v.db")
db.execute("CREATE TABLE v(id INTEGER, u, code TEXT, i INTEGER, r REAL, d DATE, dt DATETIME, b BLOB)")
rows = [
    # u: no declared type, every storage class in turn
    (1, 2.75, "007", 9223372036854775807, 0.1 + 0.2, "1899-12-30", "1899-12-30 00:00:00", b"\x00\xff"),
    (2, "", "0001", -9223372036854775808, 1e300, "2024-02-29", "2024-03-05 06:07:08", b""),
    (3, 9223372036854775807, " lead space", 0, 2.75, "9999-12-31", "2024-03-05T06:07:08.5Z", None),
    (4, -9223372036854775808, "tab\there", 3.7, 5e-324, "31/01/2024", "2024-03-05", b"\x12\x34\xab"),
    (5, 0.1 + 0.2, 'say "hi"', "abc", "n/a", 45000, 2.5, "text in a blob column"),
    (6, 1e300, "two\r\nlines", None, 1.7976931348623157e308, "", None, None),
    (7, None, "😀 𠀀", 1e19, -0.5, None, None, None),
    (8, 5e-324, "한국 ñ\u00a0x", None, None, None, None, None),
    (9, "text", "中文", None, None, None, None, None),
    (10, b"\x00\xff", "ctrl\u0001char", None, None, None, None, None),
    (11, 42, None, None, None, None, None, None),
]
db.executemany("INSERT INTO v VALUES(?,?,?,?,?,?,?,?)", rows)
# Bytes that are no UTF-8, stored as text (SQLite does not check).
db.execute("INSERT INTO v(id, code) VALUES(12, CAST(X'41FF42' AS TEXT))")
db.commit()

# What the declared type of each column admits (SQLite's affinity has already turned
# numeric-looking text into numbers on the way in).
ISO_DAY = r"\d{4}-\d\d-\d\d"
ISO_TIME = r"[ T]\d\d:\d\d(:\d\d(\.\d+)?)?Z?"

def fits(column, kind, value):
    if column == "i":
        return kind == "integer" or (kind == "real" and value.is_integer() and -2**63 <= value < 2**63) or (
            kind == "text" and re.fullmatch(rb"-?\d+", value) is not None and str(int(value)).encode() == value
            and -2**63 <= int(value) < 2**63)
    if column == "r":
        return kind == "real" or (kind == "integer" and float(value) == value) or (
            kind == "text" and re.fullmatch(rb"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?", value) is not None)
    if column == "d":
        return kind == "text" and re.fullmatch(ISO_DAY + r"( 00:00(:00)?)?", value.decode()) is not None
    if column == "dt":
        return kind == "text" and re.fullmatch(ISO_DAY + "(" + ISO_TIME + ")?", value.decode()) is not None
    return True

def native(text):
    # The process code page; a character it lacks becomes one "?".
    text = text.replace("\ufffd", "?")
    return text.encode("gbk" if codepage == "GBK" else "utf-8", errors="replace")

def digits(number_text):
    mantissa = re.split("[eE]", number_text.lstrip("-"))[0].replace(".", "")
    return mantissa.strip("0") or "0"

def check_real(where, got, value):
    text = got.decode("ascii", errors="replace")
    if not re.fullmatch(r"-?\d+(\.\d+)?(E-?\d+)?", text) or float(text) != value \
            or digits(text) != digits(repr(value)):
        failures.append(f"{where}: {text!r} is not the shortest text of {value!r}")

from exchange_file import read_exchange

with open("to.txt", "w", encoding="utf-8", newline="") as f:
    f.write("单位标识=0001;\r\n年度=2024;\r\n报表类型=N;\r\n时期=1;\r\n文件名=out.ryn;\r\n数据类型=0;\r\n选择列={\r\n\t"
            + "\r\n".join(f"{c.upper()}={c.upper()}" for c in columns) + "}")

for order in ("ASC", "DESC"):
    query = f"SELECT * FROM v ORDER BY id {order}"
    if os.path.exists("out.ryn"):
        os.remove("out.ryn")
    args = [ryn, "transfer", "--from", "SQLite数据库", "--to", "Ryn文件", "--from-options",
            f"数据库={os.path.abspath('v.db')};查询=\"{query}; -- every row\"", "--to-options-file", "to.txt",
            "--quiet", "--lossy"]
    for j in range(len(columns)):
        args += ["--map", f"Export({j})=Import({j})"]
    run = subprocess.run(args, capture_output=True)
    out, err = run.stdout.decode("utf-8", "replace"), run.stderr.decode("utf-8", "replace")
    # Bytes that are no UTF-8 are always a value lost; under GBK so are the emoji, 𠀀,
    # Korean, ñ and NBSP: with --lossy the run writes them replaced and says so (3).
    want_status = 3
    # Two values hold characters GBK lacks; one holds bytes that are no UTF-8.
    changed = "3 values changed (2 code page, 1 bad bytes)" if codepage == "GBK" else "1 value changed (1 bad bytes)"
    if run.returncode != want_status or out != f"12 read, 12 written, 0 filtered, 0 rejected, {changed}\n":
        failures.append(f"{order}: status {run.returncode}, out {out!r}, err {err!r}")
    if not os.path.exists("out.ryn"):
        failures.append(f"{order}: no file")
        continue
    data = open("out.ryn", "rb").read()
    if not data.endswith(b"\r\n@@"):
        failures.append(f"{order}: file end {data[-10:]!r}")
    records = read_exchange(data[:-2])
    if records[0] != [c.upper().encode() for c in columns]:
        failures.append(f"{order}: heading {records[0]!r}")

    db.text_factory = bytes
    kinds = ", ".join(f"typeof({c})" for c in columns)
    expected = db.execute(f"SELECT *, {kinds} FROM v ORDER BY id {order}").fetchall()
    if len(records) - 1 != len(expected):
        failures.append(f"{order}: {len(records) - 1} records, {len(expected)} expected")
    problems = {}  # column: [count, first record, first text]
    for recno, (record, row) in enumerate(zip(records[1:], expected), start=1):
        if record[:4] != [b"0001", b"2024", b"N", b"1"]:
            failures.append(f"{order}: identity {record[:4]!r}")
        got = record[4:]
        if len(got) != len(columns):
            failures.append(f"{order}: record {recno}: {len(got)} fields")
            continue
        for col, name in enumerate(columns):
            value, kind = row[col], row[len(columns) + col].decode()
            where = f"{order} id {row[0]} column {name}"
            if kind == "null":
                text = b""
            elif kind == "integer":
                text = str(value).encode()
            elif kind == "real":
                text = repr(value).encode()
            elif kind == "blob":
                text = value.hex().upper().encode()
            else:
                text = native(value.decode("utf-8", errors="replace"))
            if kind != "null" and not (kind == "text" and value == b"" and name in ("d", "dt")) \
                    and not fits(name, kind, value):
                p = problems.setdefault(col, [0, recno, value if kind == "real" else text])
                p[0] += 1  # read as empty by its type, the warning names it; its text arrives
            if kind == "real" and text:
                check_real(where, got[col], value)
            elif got[col] != text:
                failures.append(f"{where}: got {got[col]!r}, want {text!r}")
    if sorted(problems) != [3, 4, 5, 6]:
        failures.append(f"{order}: the test table lost its unfit values: {problems}")
    for col, (count, recno, value) in problems.items():
        message = f"警告: 列{col}“{columns[col]}”有{count}个值不符合列的类型，按类型读作空值（第一个在第{recno}行："
        found = re.search(re.escape(message) + "(.*)）", err)
        shown = found.group(1) if found else None
        if shown is None or (shown != value.decode() if isinstance(value, bytes) else float(shown) != value):
            failures.append(f"{order}: no warning {message!r}{value!r}: {err!r}")
    # The values with characters the code page lacks (ids 7 and 8), and with bad bytes (12).
    recno_of = lambda id_: id_ if order == "ASC" else 13 - id_
    first = 7 if order == "ASC" else 8
    lacking = f"错误: 列2“code”有2个值含有代码页没有的字符，已替换为“?”（第一个在第{recno_of(first)}行：" \
        + native(rows[first - 1][2]).decode("gbk" if codepage == "GBK" else "utf-8") + "）"
    if codepage == "GBK" and lacking not in err:
        failures.append(f"{order}: no error {lacking!r}: {err!r}")
    if codepage != "GBK" and "代码页没有的字符" in err:
        failures.append(f"{order}: characters lost under {codepage}: {err!r}")
    bad = f"错误: 列2“code”有1个值含有无效的字节序列，已替换为“?”（第一个在第{recno_of(12)}行：A?B）"
    if bad not in err:
        failures.append(f"{order}: no error {bad!r}: {err!r}")

# Without --lossy a value that cannot be carried exactly fails the run, and nothing is kept.
if os.path.exists("out.ryn"):
    os.remove("out.ryn")
strict = [a for a in args if a != "--lossy"]
run = subprocess.run(strict, capture_output=True)
if run.returncode != 1 or os.path.exists("out.ryn"):
    failures.append(f"strict: status {run.returncode}, file left: {os.path.exists('out.ryn')}")

for f in failures:
    print("FAIL:", f)
print(f"{len(failures)} failure(s)" if failures else "all cases passed")
sys.exit(1 if failures else 0)
PYTHON
