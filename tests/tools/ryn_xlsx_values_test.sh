#!/usr/bin/env bash
# `ryn transfer` from workbooks written by independent writers into the exchange file:
# every field of the file against the value the test gave the writer, its text worked out
# here on its own. openpyxl writes a workbook in each date system (strings outside GBK,
# numbers at the double's edges, booleans, error cells, dates and times, empty cells and
# rows, merged cells); libxlsxwriter (through a small C helper) writes shared strings with
# escaped control characters, formulas with cached values, and a large sheet in its
# constant-memory mode, read in memory that does not grow with the rows.
# Arguments: ryn, the helper (may be missing: that part is skipped).
set -u
export PYTHONPATH="$(dirname "$(realpath "$0")")${PYTHONPATH:+:$PYTHONPATH}"
ryn=$(realpath "$1")
helper=${2:-}
[ -n "$helper" ] && [ -x "$helper" ] && helper=$(realpath "$helper") || helper=""
if ! /usr/bin/python3 -c "import openpyxl" 2>/dev/null; then
  echo "SKIP: /usr/bin/python3 has no openpyxl (Debian's python3-openpyxl), so no workbook can be written"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

/usr/bin/python3 - "$ryn" "$helper" <<'PYTHON'
import datetime as dt, os, re, subprocess, sys
import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904

ryn, helper = sys.argv[1], sys.argv[2]
codepage = os.environ.get("RYNFILER_CODEPAGE", "GBK")
failures = []

def native(text):
    return text.encode("gbk" if codepage == "GBK" else "utf-8", errors="replace")

def lost(text):
    try:
        text.encode("gbk" if codepage == "GBK" else "utf-8")
        return False
    except UnicodeEncodeError:
        return True

def date_text(value):
    # ISO, the time only when there is one, milliseconds only when there are some.
    if isinstance(value, dt.time):
        ms = round(value.microsecond / 1000)
        return value.strftime("%H:%M:%S") + (f".{ms:03d}" if ms else "")
    if not isinstance(value, dt.datetime):
        return value.isoformat()
    ms = round(value.microsecond / 1000)
    if (value.hour, value.minute, value.second, ms) == (0, 0, 0, 0):
        return value.date().isoformat()
    return value.strftime("%Y-%m-%d %H:%M:%S") + (f".{ms:03d}" if ms else "")

def digits(number_text):
    mantissa = re.split("[eE]", number_text.lstrip("-"))[0].replace(".", "")
    return mantissa.strip("0") or "0"

def check_number(where, got, number):
    # Both writers keep 16 significant digits ("%.16g"): that text is what the file holds.
    written = "%.16g" % number
    text = got.decode("ascii", "replace")
    if re.fullmatch(r"-?[1-9]\d*|0", written):
        if text != written:
            failures.append(f"{where}: {text!r}, written {written!r}")
        return
    value = float(written)
    if value == 0:  # -0 too: the sheet shows 0
        ok = text == "0"
    else:
        ok = re.fullmatch(r"-?\d+(\.\d+)?(E-?\d+)?", text) is not None and float(text) == value and (
            digits(text) == digits(repr(value)) or (value.is_integer() and text == str(int(value))))
    if not ok:
        failures.append(f"{where}: {text!r} is not the shortest text of {value!r} (written {written!r})")

def expected_text(value):
    if value is None:
        return b""
    if isinstance(value, bool):
        return b"TRUE" if value else b"FALSE"
    if isinstance(value, (dt.datetime, dt.date, dt.time)):
        return date_text(value).encode()
    if isinstance(value, str):
        return native(value)
    return None  # a number: checked by check_number

from exchange_file import read_exchange

def transfer(book, columns, extra=(), sheet=None, lossy=True, keep=False):
    with open("to.txt", "w", encoding="utf-8", newline="") as f:
        f.write("单位标识=0001;\r\n年度=2024;\r\n报表类型=N;\r\n时期=1;\r\n文件名=out.ryn;\r\n数据类型=0;\r\n选择列={\r\n\t"
                + "\r\n".join(f"C{j}=C{j}" for j in range(columns)) + "}")
    if os.path.exists("out.ryn") and not keep:
        os.remove("out.ryn")
    options = f"文件={os.path.abspath(book)}" + (f";工作表={sheet}" if sheet else "")
    args = [ryn, "transfer", "--from", "Excel文件", "--to", "Ryn文件", "--from-options", options,
            "--to-options-file", "to.txt", "--quiet"] + (["--lossy"] if lossy else []) + list(extra)
    for j in range(columns):
        args += ["--map", f"Export({j})=Import({j})"]
    # Output into files, so that the run's own peak memory can be asked of wait4.
    with open("stdout.txt", "wb") as o, open("stderr.txt", "wb") as e:
        run = subprocess.Popen(args, stdout=o, stderr=e)
        _, status, usage = os.wait4(run.pid, 0)
    transfer.peak_kib = usage.ru_maxrss
    out = open("stdout.txt", "rb").read().decode("utf-8", "replace")
    err = open("stderr.txt", "rb").read().decode("utf-8", "replace")
    return os.waitstatus_to_exitcode(status), out, err

def compare(name, book, rows, columns, sheet=None, want_changed=0, first_row=2):
    """rows: the data rows as the test wrote them (None for an empty cell)."""
    status, out, err = transfer(book, columns, sheet=sheet)
    n = len(rows)
    changed = f"{want_changed} value{'s' if want_changed != 1 else ''} changed ({want_changed} code page)" \
        if want_changed else "0 values changed"
    want_status = 3 if want_changed else 0
    if status != want_status or out != f"{n} read, {n} written, 0 filtered, 0 rejected, {changed}\n":
        failures.append(f"{name}: status {status}, out {out!r}, err {err!r}")
    if not os.path.exists("out.ryn"):
        failures.append(f"{name}: no file")
        return err
    records = read_exchange(open("out.ryn", "rb").read()[:-2])
    if len(records) - 1 != n:
        failures.append(f"{name}: {len(records) - 1} records, {n} expected")
    for recno, (record, row) in enumerate(zip(records[1:], rows), start=first_row):
        got = record[4:]
        if len(got) != columns:
            failures.append(f"{name} row {recno}: {len(got)} fields")
            continue
        for col in range(columns):
            value = row[col] if col < len(row) else None
            where = f"{name} row {recno} column {col}"
            want = expected_text(value)
            if want is None:
                check_number(where, got[col], value)
            elif got[col] != want:
                failures.append(f"{where}: got {got[col]!r}, want {want!r} ({value!r})")
    return err

# openpyxl: a workbook in each date system.
heading = ["名称", "数", "日期", "布尔", "杂"]
rows1900 = [
    ["甲乙丙", 0.1 + 0.2, dt.datetime(2024, 3, 5, 6, 7, 8, 123000), True, "#DIV/0!"],
    ["😀 𠀀 한국", 1e300, dt.datetime(1900, 1, 1), False, dt.time(12, 30, 15)],
    ["  lead and trail  ", 5e-324, dt.datetime(1900, 2, 28, 23, 59, 59), None, "#N/A"],
    ["tab\there", -0.0, dt.datetime(1900, 3, 1), True, 9007199254740992],
    [None, -1234567890123, dt.datetime(9999, 12, 31, 23, 59, 59, 999000), None, None],
    [None, None, None, None, None],  # an empty row the writer leaves out
    ["多行\n文本", 12345678901234567890, dt.datetime(2000, 2, 29, 12), False, 2.5],
    ["merged", None, None, None, "说明"],  # B..D merged into A
]
for system, rows in (("1900", rows1900), ("1904", [r for r in rows1900 if not (isinstance(r[2], dt.datetime) and r[2].year < 1904)])):
    wb = openpyxl.Workbook()
    if system == "1904":
        wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "数据"
    wb.create_sheet("其他")["A1"] = "not this one"
    ws.append(heading)
    for i, row in enumerate(rows, start=2):
        for j, value in enumerate(row, start=1):
            if value is not None:
                ws.cell(row=i, column=j, value=value)
    merged_row = 1 + len(rows)
    ws.merge_cells(start_row=merged_row, start_column=1, end_row=merged_row, end_column=4)
    book = f"o{system}.xlsx"
    wb.save(book)
    # Error cells read as empty by type: one warning per column, naming the first.
    lost_values = sum(1 for r in rows for v in r if isinstance(v, str) and lost(v))
    err = compare(f"openpyxl {system}", book, rows, len(heading), sheet="数据", want_changed=lost_values)
    errors = [(i, v) for i, r in enumerate(rows, start=2) for v in r[4:5] if isinstance(v, str) and v.startswith("#")]
    warning = f"警告: 列4“杂”有{len(errors)}个错误值，按类型读作空值（第一个在第{errors[0][0]}行：{errors[0][1]}）"
    if warning not in err:
        failures.append(f"openpyxl {system}: no warning {warning!r}: {err!r}")

# Broken workbooks fail the run and keep nothing: a sheet cut off after its first rows (the
# heading reads, the rows break), and a file that is no zip at all.
import zipfile
with zipfile.ZipFile("o1900.xlsx") as src, zipfile.ZipFile("cut.xlsx", "w") as dst:
    for item in src.infolist():
        data = src.read(item.filename)
        if item.filename == "xl/worksheets/sheet1.xml":
            data = data[:data.index(b"<row r=\"4\"")] + b"<row r=\"4\"><c r=\"A4\" t=\"inlineStr\"><is><t>cut"
        dst.writestr(item, data)
open("text.xlsx", "w").write("name,qty\r\n")
for book, message in (("cut.xlsx", "“xl/worksheets/sheet1.xml”不是完好的XML"), ("text.xlsx", "不是xlsx工作簿（不是zip文件）")):
    with open("out.ryn", "wb") as f:
        f.write(b"old content")
    status, out, err = transfer(book, len(heading), sheet="数据", lossy=False, keep=True)
    if status != 1 or open("out.ryn", "rb").read() != b"old content" or message not in err:
        failures.append(f"{book}: status {status}, out {out!r}, err {err!r}")

# libxlsxwriter: shared strings, formulas with their cached values, merged cells.
if helper:
    base = dt.datetime(1899, 12, 30)
    def serial(d):
        return (d - base) / dt.timedelta(days=1)
    cells = [  # (row, col, command, arguments, the value expected back)
        (0, 0, "s", "名称", None), (0, 1, "s", "值", None), (0, 2, "s", "公式", None),
        (1, 0, "s", "a\\1b", "a\x01b"), (1, 1, "n", (0.1 + 0.2).hex(), 0.1 + 0.2),
        (1, 2, "fn", "=1/3\t" + (1 / 3).hex(), 1 / 3),
        (2, 0, "s", "控制\\t字符 _x 和 😀", "控制\t字符 _x 和 😀"), (2, 1, "n", (-0.0).hex(), -0.0),
        (2, 2, "fs", "=A1&\"!\"\t名称!", "名称!"),
        (3, 0, "s", "甲乙丙", "甲乙丙"), (3, 1, "b", "1", True), (3, 2, "fn", "=1e300*1\t" + (1e300).hex(), 1e300),
        (4, 1, "d", repr(serial(dt.datetime(2024, 3, 5, 6, 7, 8, 500000))), dt.datetime(2024, 3, 5, 6, 7, 8, 500000)),
        (4, 2, "fn", "=2^53\t9007199254740992", 9007199254740992),
        (6, 0, "m", "7\t2\t合并", "合并"),
    ]
    lines = []
    for r, c, cmd, args, _ in cells:
        lines.append(f"{cmd}\t{r}\t{c}\t{args}")
    run = subprocess.run([helper, "h.xlsx"], input="\n".join(lines).encode(), capture_output=True)
    if run.returncode != 0:
        failures.append(f"helper: {run.stderr!r}")
    else:
        rows = [[None] * 3 for _ in range(7)]
        for r, c, cmd, args, value in cells:
            if r > 0:
                rows[r - 1][c] = value
        lost_values = sum(1 for r in rows for v in r if isinstance(v, str) and lost(v))
        compare("libxlsxwriter", "h.xlsx", rows, 3, want_changed=lost_values)

    # A large sheet in constant-memory mode: every 997th row checked, and the reader's
    # memory the same for ten times the rows.
    peaks = {}
    for n in (20000, 200000):
        if subprocess.run([helper, f"big{n}.xlsx", "rows", str(n), "4"]).returncode != 0:
            failures.append(f"helper: {n} rows")
            continue
        status, out, err = transfer(f"big{n}.xlsx", 4)
        if status != 0 or out != f"{n - 1} read, {n - 1} written, 0 filtered, 0 rejected, 0 values changed\n":
            failures.append(f"{n} rows: status {status}, out {out!r}, err {err!r}")
            continue
        records = open("out.ryn", "rb").read().split(b"\r\n")
        for r in range(1, n, 997):
            want = [b"0001", b"2024", b"N", b"1"] + [
                (f"row {r} col {c}" if c % 2 == 0 else str(r * 4 + c)).encode() for c in range(4)]
            got = [f[1:-1] if f.startswith(b'"') and f.endswith(b'"') else f for f in records[r].split(b"\t")]
            if got != want:
                failures.append(f"{n} rows: record {r} {records[r]!r}, want {want!r}")
        peaks[n] = transfer.peak_kib
    # AddressSanitizer holds freed memory back for a while: the peak says nothing there.
    sanitized = b"libasan" in subprocess.run(["ldd", ryn], capture_output=True).stdout
    if len(peaks) == 2 and not sanitized and peaks[200000] > peaks[20000] + 16 * 1024:
        failures.append(f"memory grows with the rows: {peaks[20000]} KiB for 20000, {peaks[200000]} KiB for 200000")
else:
    print("SKIP: no libxlsxwriter helper; the shared-string, formula and large-sheet cases are not run")

for f in failures:
    print("FAIL:", f)
print(f"{len(failures)} failure(s)" if failures else "all cases passed")
sys.exit(1 if failures else 0)
PYTHON
