#!/usr/bin/python3
# The journeys of source_wizard_test.sh: `ryn config Excel文件` and `ryn config ODBC数据源`
# driven as a person drives them, with keys and clicks through the display; controls are
# found by role and accessible name on the accessibility bus (the helpers of
# accessible_journeys.py). The data is written here (a workbook by openpyxl, a database by
# Python's sqlite3, reached through the SQLite ODBC driver), and what the preview grid and
# the printed options text must hold is worked out here from it, never by our own code.
# Arguments: RYN ENGINE_DIR WORK_DIR SAMPLE_DIR SQLITE_ODBC_DRIVER.
import os
import re
import sqlite3
import subprocess
import sys
import time

import openpyxl
import pyatspi

from accessible_journeys import (WORK, Failure, Ryn, check_tab_order, column_titles, expect, text_of,
                                 unnamed_controls, xdo)

DRIVER = sys.argv[5]
CODEPAGE = os.environ.get("RYNFILER_CODEPAGE", "GBK")
ENCODING = "gbk" if CODEPAGE.upper() == "GBK" else "utf-8"


def shown(text):
    """A value as the process code page can hold it: what it lacks is replaced, as the
    engines report and replace it."""
    return text.encode(ENCODING, errors="replace").decode(ENCODING)


def rows_of(table):
    """The grid's cells, row by row, as the bus reads them."""
    t = table.queryTable()
    return [[t.getAccessibleAt(r, c).name for c in range(t.nColumns)] for r in range(t.nRows)]


def printed_options(ryn):
    """The options text ryn printed, as (key, value) pairs in order: "key=value" entries
    with ";" and CR LF between, a value holding "=" as a block ("{", CR LF, tab, the text,
    "}"), one holding ";" in double quotes (doubled inside); a line feed after the last."""
    text = open(ryn.out, "rb").read().decode("utf-8")
    if not text.endswith("\n") or text.endswith("\r\n"):
        raise Failure(f"the printed options do not end with one line feed: {text!r}")
    pairs = []
    for entry in text[:-1].split(";\r\n"):
        key, value = entry.split("=", 1)
        if value.startswith('"'):
            if not value.endswith('"'):
                raise Failure(f"an unbalanced quote in {entry!r}")
            value = value[1:-1].replace('""', '"')
        elif value.startswith("{\r\n\t"):
            if not value.endswith("}"):
                raise Failure(f"an unclosed block in {entry!r}")
            value = value[4:-1]
        pairs.append((key, value))
    return pairs


def wait_for_box(ryn):
    """The message box "提示" on the display, then its text as the bus reads it."""
    subprocess.run(["timeout", "20", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^提示$"],
                   check=True, stdout=subprocess.DEVNULL)
    time.sleep(0.5)
    box = ryn.window("提示")
    texts = [o.name for o in ryn.controls(box) if o.getRole() == pyatspi.ROLE_LABEL and o.name]
    return "\n".join(texts)


def refused(ryn, key, message_part, field):
    """key turns no page: the box says message_part, and after Enter the focus is in the
    field at fault, its text selected so that typing replaces it."""
    xdo("key", key)
    text = wait_for_box(ryn)
    if message_part not in text:
        raise Failure(f"the box says {text!r}, not {message_part!r}")
    xdo("key", "Return")
    time.sleep(0.5)
    expect("focus after the refusal", ryn.focused(), field)
    return text


def type_slowly(text):
    # xdotool types a character the keyboard map lacks (Chinese) by mapping a spare key for
    # the moment: at a person's speed the client reads the new map in time.
    xdo("type", "--delay", "120", text)


def excel_journey():
    """A workbook of two sheets: the second, with a Chinese name, chosen in the list by
    keyboard; its heading row and first data row typed (a heading row beyond the sheet's
    last refused with the focus back in its field); the preview read cell by cell and read
    again after going back and changing the first data row; a missing file refused with the
    focus back in the file field."""
    book = os.path.join(WORK, "报表_book.xlsx")
    wb = openpyxl.Workbook()
    cover = wb.active
    cover.title = "说明"
    cover.append(["本工作簿的数据在第二张表"])
    sheet = wb.create_sheet("销售数据")
    heading = ["代码", "名称", "金额"]
    data = [["A01", "北京", 1234.5], ["A02", "표 😀 ok", 7], ["A03", "", -0.25], ["A04", "上海", 1e-7]]
    sheet.append(["2024年销售汇总"])
    sheet.append(heading)
    for row in data:
        sheet.append(row)
    wb.save(book)

    def number(v):
        # The shortest text that reads back to the same double (Python's repr), its
        # exponent as a spreadsheet writes it: 1E-7.
        return re.sub(r"e([+-])0*(\d)", lambda m: "E" + m.group(1).replace("+", "") + m.group(2), repr(v))

    def cells(rows):
        return [[shown(v) if isinstance(v, str) else number(v) if isinstance(v, float) else str(v) for v in row]
                for row in rows]

    ryn = Ryn("config", "Excel文件")
    expect("unnamed controls on the file page", unnamed_controls(ryn), [])
    field = ("text", "Excel文件")
    ryn.click(ryn.find(pyatspi.ROLE_TEXT, "Excel文件"))
    missing = os.path.join(WORK, "no_such.xlsx")
    xdo("type", "--delay", "10", missing)
    refused(ryn, "alt+n", "不存在", field)
    type_slowly(book)
    expect("the file field", text_of(ryn.find(pyatspi.ROLE_TEXT, "Excel文件")), book)
    xdo("key", "alt+n")
    sheets = ryn.find(pyatspi.ROLE_TABLE, "工作表")
    expect("unnamed controls on the sheet page", unnamed_controls(ryn), [])
    check_tab_order(ryn, "the sheet page")
    expect("the sheets listed", [r[0] for r in rows_of(sheets)], ["说明", "销售数据"])
    # Alt+S to the list of sheets, Down to the second.
    xdo("key", "alt+s")
    expect("focus after Alt+S", ryn.focused()[1], "工作表")
    xdo("key", "Down")
    xdo("key", "alt+h")
    heading_field = ("text", "列名行(0表示没有)")
    expect("focus after Alt+H", ryn.focused(), heading_field)
    # A row beyond a sheet's last: refused by the engine, the focus back in that field with
    # its text selected, so that what is typed next replaces it.
    xdo("type", "9999999")
    xdo("key", "alt+s")  # the focus elsewhere when the page is refused
    refused(ryn, "alt+n", "列名行", heading_field)
    xdo("type", "2")
    xdo("key", "alt+d")
    expect("focus after Alt+D", ryn.focused(), ("text", "数据起始行"))
    xdo("type", "3")
    xdo("key", "alt+n")
    preview = ryn.find(pyatspi.ROLE_TABLE, "数据预览")
    expect("the preview's column titles", column_titles(preview), heading)
    expect("the preview's cells", rows_of(preview), cells(data))
    # Back, the first data row typed over, forward: the preview shows the rows from there.
    xdo("key", "alt+b")
    xdo("key", "alt+d")
    xdo("type", "5")
    xdo("key", "alt+n")
    preview = ryn.find(pyatspi.ROLE_TABLE, "数据预览")
    expect("the preview's cells from row 5", rows_of(preview), cells(data[2:]))
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "确定"))
    ryn.finish(0)
    expect("the printed options", printed_options(ryn),
           [("文件", book), ("工作表", "销售数据"), ("列名行", "2"), ("数据起始行", "5"), ("区域", "")])
    print("excel: the missing file refused, the sheet by keyboard, the preview's cells twice, the options: passed")


def odbc_setup():
    db = os.path.join(WORK, "wizard.db")
    with sqlite3.connect(db) as con:
        con.executescript("""
            CREATE TABLE 客户(代码 INTEGER, 名称 TEXT, 城市 TEXT);
            CREATE TABLE orders(id INTEGER, note TEXT);
            INSERT INTO 客户 VALUES (1, '甲公司', '北京'), (2, '표 😀 ok', NULL), (3, 'ABC', '上海');
            INSERT INTO orders VALUES (10, 'first'), (11, NULL);
        """)
    with open(os.path.join(WORK, "odbcinst.ini"), "w") as f:
        f.write(f"[SQLite3]\nDriver={DRIVER}\n")
    with open(os.path.join(WORK, "odbc.ini"), "w") as f:
        f.write(f"[rynlite]\nDriver=SQLite3\nDatabase={db}\n")
    os.environ.update(ODBCSYSINI=WORK, ODBCINI=os.path.join(WORK, "odbc.ini"))
    return db


def query_rows(db, sql):
    with sqlite3.connect(db) as con:
        cur = con.execute(sql)
        names = [d[0] for d in cur.description]
        return names, [["" if v is None else shown(str(v)) for v in row] for row in cur.fetchall()]


def odbc_dsn_journey(db):
    """A wrong DSN refused with the driver manager's message and the focus back in the DSN
    field; the right one typed over it; a table chosen by keyboard and previewed; then a
    query typed, which wins over the table, and the preview follows it."""
    ryn = Ryn("config", "ODBC数据源")
    expect("unnamed controls on the connection page", unnamed_controls(ryn), [])
    check_tab_order(ryn, "the connection page")
    xdo("key", "alt+d")
    expect("focus after Alt+D", ryn.focused(), ("text", "数据源(DSN)"))
    xdo("type", "no_such_dsn")
    said = refused(ryn, "alt+n", "IM002", ("text", "数据源(DSN)"))
    if "no_such_dsn" not in said:
        raise Failure(f"the refusal does not name the DSN: {said!r}")
    xdo("type", "rynlite")
    xdo("key", "alt+n")
    tables = ryn.find(pyatspi.ROLE_TABLE, "表和视图")
    expect("unnamed controls on the source page", unnamed_controls(ryn), [])
    listed = [r[0] for r in rows_of(tables)]
    expect("the tables listed", sorted(listed), sorted(["客户", "orders"]))
    # Neither a table nor a query: refused, and the focus goes to the list to pick one.
    xdo("key", "alt+n")
    wait_for_box(ryn)
    xdo("key", "Return")
    time.sleep(0.5)
    expect("focus after the refused source page", (ryn.focused() or ("", ""))[1], "表和视图")
    xdo("key", "alt+q")
    xdo("key", "alt+t")
    expect("focus after Alt+T", ryn.focused()[1], "表和视图")
    # Home and Down to the Chinese table.
    xdo("key", "Home")
    for _ in range(listed.index("客户")):
        xdo("key", "Down")
    xdo("key", "alt+n")
    preview = ryn.find(pyatspi.ROLE_TABLE, "数据预览")
    names, rows = query_rows(db, "SELECT * FROM 客户")
    expect("the table's columns", column_titles(preview), names)
    expect("the table's rows", rows_of(preview), rows)
    xdo("key", "alt+b")
    xdo("key", "alt+q")
    expect("focus after Alt+Q", ryn.focused(), ("text", "SQL查询"))
    query = "SELECT 名称, 代码 FROM 客户 WHERE 代码 >= 2 ORDER BY 代码 DESC"
    type_slowly(query)
    xdo("key", "alt+n")
    preview = ryn.find(pyatspi.ROLE_TABLE, "数据预览")
    names, rows = query_rows(db, query)
    expect("the query's columns", column_titles(preview), names)
    expect("the query's rows", rows_of(preview), rows)
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "确定"))
    ryn.finish(0)
    expect("the printed options", printed_options(ryn), [("数据源", "rynlite"), ("查询", query)])
    print("odbc: the wrong DSN refused with the driver's message, a table and a query previewed: passed")


def odbc_connection_journey(db):
    """A connection string with a password, and the password's variable: neither password
    is printed, the variable's name is; the table chosen with the mouse."""
    os.environ["RYN_WIZARD_PASSWORD"] = "env-Secret-9"
    ryn = Ryn("config", "ODBC数据源")
    xdo("key", "alt+c")
    expect("focus after Alt+C", ryn.focused(), ("text", "连接串"))
    connection = f"DRIVER=SQLite3;Database={db}"
    xdo("type", "--delay", "10", connection + ";PWD=typed-Secret-7")
    xdo("key", "alt+v")
    expect("focus after Alt+V", ryn.focused(), ("text", "密码变量"))
    xdo("type", "RYN_WIZARD_PASSWORD")
    xdo("key", "alt+n")
    tables = ryn.find(pyatspi.ROLE_TABLE, "表和视图")
    t = tables.queryTable()
    listed = [r[0] for r in rows_of(tables)]
    ryn.click(t.getAccessibleAt(listed.index("orders"), 0))
    xdo("key", "alt+n")
    preview = ryn.find(pyatspi.ROLE_TABLE, "数据预览")
    expect("the table's rows", rows_of(preview), query_rows(db, "SELECT * FROM orders")[1])
    ryn.click(ryn.find(pyatspi.ROLE_PUSH_BUTTON, "确定"))
    ryn.finish(0)
    expect("the printed options", printed_options(ryn),
           [("连接串", connection), ("密码变量", "RYN_WIZARD_PASSWORD"), ("表", "orders")])
    said = open(ryn.out, "rb").read() + open(os.path.join(WORK, "a11y.err"), "rb").read()
    for secret in (b"typed-Secret-7", b"env-Secret-9"):
        if secret in said:
            raise Failure(f"ryn printed the password {secret!r}")
    print("odbc: a connection string and a password variable, no password printed: passed")


def odbc_escape_journey():
    """Escape on the connection page cancels: nothing printed, exit status 1."""
    ryn = Ryn("config", "ODBC数据源")
    xdo("key", "alt+d")
    xdo("type", "rynlite")
    xdo("key", "Escape")
    ryn.finish(1)
    expect("what Escape printed", open(ryn.out, "rb").read(), b"")
    err = open(os.path.join(WORK, "a11y.err"), "rb").read()
    if b"cancelled" not in err:
        raise Failure(f"ryn did not say it was cancelled: {err!r}")
    print("odbc: Escape cancelled with status 1 and printed nothing: passed")


def main():
    db = odbc_setup()
    journeys = (excel_journey, lambda: odbc_dsn_journey(db), lambda: odbc_connection_journey(db), odbc_escape_journey)
    for journey in journeys:
        started = time.time()
        try:
            journey()
        except Failure as e:
            print(f"FAILED: {e}")
            return 1
        print(f"  ({time.time() - started:.1f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
