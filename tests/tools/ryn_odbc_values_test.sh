#!/usr/bin/env bash
# `ryn transfer` from a PostgreSQL 15 server of this test's own (a temporary cluster on a
# Unix socket) through the PostgreSQL ODBC driver, and from a SQLite database through the
# SQLite ODBC driver, into the exchange file: every field against what psql (--csv) or
# Python's sqlite3 returns for the same query, its text worked out here on its own. Also a
# result wider than a PostgreSQL table may be, 1,000,000 rows, and a connection lost in the
# middle of a run (an error, and the old file kept). Names outside ASCII (a database file, a
# table, a query, columns) through the SQLite driver under the C locale.
# Arguments: ryn. Skipped (77) when the server or a driver is missing.
set -u
export PYTHONPATH="$(dirname "$(realpath "$0")")${PYTHONPATH:+:$PYTHONPATH}"
ryn=$(realpath "$1")
pgbin=/usr/lib/postgresql/15/bin
driverdir=/usr/lib/x86_64-linux-gnu/odbc
for need in "$pgbin/initdb" "$pgbin/pg_ctl" "$driverdir/psqlodbcw.so" "$driverdir/libsqlite3odbc.so" "$(command -v psql)"; do
  if [ ! -e "$need" ]; then
    echo "SKIP: $need is missing (postgresql-15, odbc-postgresql and libsqliteodbc)"
    exit 77
  fi
done
work=$(mktemp -d)
as_pg=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres "$work" && chmod 755 "$work"
  as_pg=(runuser -u postgres --)
fi
stop() {
  "${as_pg[@]}" "$pgbin/pg_ctl" -D "$work/db" -m immediate stop >/dev/null 2>&1
  rm -rf "$work"
}
trap stop EXIT
cd "$work" || exit 1
"${as_pg[@]}" "$pgbin/initdb" -D "$work/db" -A trust -U postgres -E UTF8 --locale=C >/dev/null || exit 1
"${as_pg[@]}" "$pgbin/pg_ctl" -D "$work/db" -l "$work/db.log" -w \
  -o "-k $work -c listen_addresses='' -c TimeZone=UTC -c fsync=off" start >/dev/null || { cat "$work/db.log"; exit 1; }

cat >odbcinst.ini <<INI
[PostgreSQL]
Driver=$driverdir/psqlodbcw.so
[SQLite3]
Driver=$driverdir/libsqlite3odbc.so
INI
# UseDeclareFetch: the driver reads the result through a cursor, 1,000 rows at a time,
# instead of holding all of it.
cat >odbc.ini <<INI
[pg]
Driver=PostgreSQL
Servername=$work
Database=postgres
Username=postgres
UseDeclareFetch=1
Fetch=1000
INI
export ODBCSYSINI=$work ODBCINI=$work/odbc.ini PGHOST=$work PGUSER=postgres PGDATABASE=postgres

python3 - "$ryn" <<'PYTHON'
import csv, io, os, re, sqlite3, subprocess, sys, time

ryn = sys.argv[1]
codepage = os.environ.get("RYNFILER_CODEPAGE", "GBK")
enc = "gbk" if codepage == "GBK" else "utf-8"
failures = []
csv.field_size_limit(1 << 30)

psql_env = dict(os.environ)

def psql(sql, *extra):
    run = subprocess.run(["psql", "-X", "-v", "ON_ERROR_STOP=1", "-q", *extra, "-c", sql], capture_output=True,
                         env=psql_env)
    if run.returncode != 0:
        sys.exit(f"psql failed: {run.stderr.decode()}")
    return run.stdout

def psql_rows(sql):
    # psql's CSV: NULL unquoted and empty, the empty text quoted.
    return list(csv.reader(io.StringIO(psql(sql, "--csv").decode("utf-8"), newline="")))[1:]

def native(text):
    return text.encode(enc, errors="replace")

from exchange_file import read_exchange

def transfer(options, ncols, out="out.ryn", extra=(), wait=True, env=None):
    with open("to.txt", "w", encoding="utf-8", newline="") as f:
        f.write("单位标识=0001;\r\n年度=2024;\r\n报表类型=N;\r\n时期=1;\r\n文件名=" + out + ";\r\n数据类型=0;\r\n选择列={\r\n\t"
                + "\r\n".join(f"C{j}=C{j}" for j in range(ncols)) + "}")
    args = [ryn, "transfer", "--from", "ODBC数据源", "--to", "Ryn文件", "--from-options", options,
            "--to-options-file", "to.txt", "--quiet", *extra]
    for j in range(ncols):
        args += ["--map", f"Export({j})=Import({j})"]
    if not wait:
        return subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    return subprocess.run(args, capture_output=True, env=env)

def records_of(path, ncols, where):
    data = open(path, "rb").read()
    if not data.endswith(b"\r\n@@"):
        failures.append(f"{where}: file end {data[-10:]!r}")
    records = read_exchange(data[:-2])
    for r in records[1:]:
        if r[:4] != [b"0001", b"2024", b"N", b"1"] or len(r) != ncols + 4:
            failures.append(f"{where}: record {r[:6]!r}... of {len(r)} fields")
            break
    return [r[4:] for r in records[1:]]

def digits(number_text):
    mantissa = re.split("[eE]", number_text.lstrip("-"))[0].replace(".", "")
    return mantissa.strip("0") or "0"

# --- awkward values -------------------------------------------------------------------
psql("""
CREATE TABLE v(id int, n numeric(38,18), nu numeric, b bigint, i int, sm smallint, r real, f float8, d date,
               ts timestamp(6), tz timestamptz, tm time, t text, vc varchar(10), by bytea);
INSERT INTO v VALUES
 (1, 123456789012345678.123456789012345678, 12345678901234567890.12345678901234567890123, 9223372036854775807,
  2147483647, 32767, 0.1, 0.1::float8 + 0.2::float8, '2024-02-29', '2024-03-05 06:07:08.123456',
  '2024-03-05 06:07:08.5+05:30', '13:14:15.25', '中文 text', E'ab"c\\td', '\\x00ff10'),
 (2, -0.000000000000000001, -1e-30, -9223372036854775808, -2147483648, -32768, 3.4028235e38, 1e300,
  '0001-01-01', '1999-12-31 23:59:59', '2000-01-01 00:00:00+00', '00:00:00', '😀 𠀀 한국 ñ', 'x', ''),
 (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
 (4, 0, 0, 0, 0, 0, 1e-45, 5e-324, '9999-12-31', '2024-01-01 00:00:00.000001', NULL, '23:59:59.999999',
  repeat('长', 100000), E'two\\r\\nlines', decode(repeat('ab', 100000), 'hex')),
 (5, 1, 1, 1, 1, 1, -0.5, -2.75, NULL, NULL, NULL, NULL, '', '', NULL);
""")
columns = ["id", "n", "nu", "b", "i", "sm", "r", "f", "d", "ts", "tz", "tm", "t", "vc", "by"]
for order in ("ASC", "DESC"):
    query = f"SELECT * FROM v ORDER BY id {order}"
    run = transfer(f"数据源=pg;查询=\"{query}\"", len(columns), extra=["--lossy"])
    out, err = run.stdout.decode(), run.stderr.decode("utf-8", "replace")
    changed = "1 value changed (1 code page)" if codepage == "GBK" else "0 values changed"
    want = 3 if codepage == "GBK" else 0
    if run.returncode != want or out != f"5 read, 5 written, 0 filtered, 0 rejected, {changed}\n":
        failures.append(f"{order}: status {run.returncode}, out {out!r}, err {err[:500]!r}")
        continue
    got = records_of("out.ryn", len(columns), order)
    # The driver gives a timestamptz in the session's time zone without its offset: the
    # expectation is that wall time as psql writes it.
    expected = psql_rows("SELECT id, n, nu, b, i, sm, r, f, d, ts, tz AT TIME ZONE current_setting('TimeZone'), tm,"
                         f" t, vc, upper(substr(encode(by, 'hex'), 1)) FROM v ORDER BY id {order}")
    if len(got) != len(expected):
        failures.append(f"{order}: {len(got)} records, {len(expected)} expected")
    for row, want_row in zip(got, expected):
        for col, name in enumerate(columns):
            where = f"{order} id {want_row[0]} column {name}"
            have, text = row[col].decode(enc, errors="replace"), want_row[col]
            if name in ("r", "f") and text:
                if float(have) != float(text) or digits(have) != digits(text):
                    failures.append(f"{where}: {have!r} is not the shortest text of {text!r}")
            elif row[col] != native(text):
                failures.append(f"{where}: got {row[col][:80]!r}, want {native(text)[:80]!r}")
    if codepage == "GBK":
        recno = 2 if order == "ASC" else 4
        msg = f"错误: 列12“t”有1个值含有代码页没有的字符，已替换为“?”（第一个在第{recno}行：? ? ?? ?）"
        if msg not in err:
            failures.append(f"{order}: no error {msg!r}: {err!r}")

# Without --lossy a character GBK lacks fails the run, and nothing is kept.
if codepage == "GBK":
    os.remove("out.ryn")
    run = transfer("数据源=pg;表=v", len(columns))
    if run.returncode != 1 or os.path.exists("out.ryn"):
        failures.append(f"strict: status {run.returncode}, file left: {os.path.exists('out.ryn')}")

# The driver's SQLSTATE and message, and a password that never shows.
os.environ["RYN_TEST_PG_PASSWORD"] = "s3cret-word"
cases = [
    ("数据源=pg;表=no_such_table", "42P01", "no_such_table"),
    ("数据源=pg;查询=\"SELEC 1\"", "42601", "syntax error"),
    ("连接串=\"DSN=pg;Database=no_such_db;PWD=s3cret-word\";表=v", "08001", "no_such_db"),
    ("数据源=pg;密码变量=RYN_TEST_PG_NO_SUCH_VARIABLE;表=v", None, "RYN_TEST_PG_NO_SUCH_VARIABLE"),
]
for options, state, detail in cases:
    run = transfer(options, 1)
    err = run.stderr.decode("utf-8", "replace")
    if run.returncode == 0 or (state and state not in err) or detail not in err or "s3cret" in err:
        failures.append(f"{options}: status {run.returncode}, err {err!r}")
# --- wider than a table may be: 1,664 columns (PostgreSQL's limit for a result) ------
psql("CREATE TABLE w1(id int, " + ", ".join(f"a{j} int" for j in range(1599)) + ");"
     "CREATE TABLE w2(id int, " + ", ".join(f"b{j} text" for j in range(64)) + ");"
     "INSERT INTO w1 SELECT g, " + ", ".join(f"g * 10000 + {j}" for j in range(1599)) + " FROM generate_series(1, 3) g;"
     "INSERT INTO w2 SELECT g, " + ", ".join(f"'b' || g || '_{j}'" for j in range(64)) + " FROM generate_series(1, 3) g;")
wide_query = "SELECT * FROM w1 JOIN w2 USING (id) ORDER BY id"
run = transfer(f"数据源=pg;查询=\"{wide_query}\"", 1664)
if run.returncode != 0:
    failures.append(f"wide: status {run.returncode}, err {run.stderr[:300]!r}")
else:
    got = records_of("out.ryn", 1664, "wide")
    want = [[native(v) for v in r] for r in psql_rows(wide_query)]
    if got != want:
        diff = [(r, c, g, w) for r, (gr, wr) in enumerate(zip(got, want)) for c, (g, w) in enumerate(zip(gr, wr)) if g != w]
        failures.append(f"wide: {len(got)} records differ from psql's: {diff[:3]} {[len(r) for r in got]} {[len(r) for r in want]}")

# --- 1,000,000 rows ------------------------------------------------------------------
psql("CREATE TABLE big AS SELECT g AS id, (g * 7 % 100000)::numeric(12,2) / 100 AS amount, 'name ' || g AS name,"
     " DATE '2000-01-01' + (g % 9000) AS day FROM generate_series(1, 1000000) g")
big_query = "SELECT * FROM big ORDER BY id"
started = time.time()
run = transfer(f"数据源=pg;查询=\"{big_query}\"", 4)
seconds = time.time() - started
if run.returncode != 0:
    failures.append(f"1 M rows: status {run.returncode}, err {run.stderr[:300]!r}")
else:
    print(f"1,000,000 rows from PostgreSQL in {seconds:.1f} s")
    got = records_of("out.ryn", 4, "1 M rows")
    want = psql_rows(big_query)
    if len(got) != 1000000 or [[v.decode() for v in r] for r in got] != want:
        failures.append(f"1 M rows: {len(got)} records, not psql's")
    del got, want

# --- a connection lost in the middle of a run --------------------------------------------
# The server stops at row 5,000 of 10,000; its backend is then ended from another session.
with open("keep.ryn", "wb") as f:
    f.write(b"the old file\r\n")
old = open("keep.ryn", "rb").read()
slow = "SELECT g, CASE WHEN g = 5000 THEN pg_sleep(60)::text END AS s FROM generate_series(1, 10000) g"
proc = transfer(f"数据源=pg;查询=\"{slow}\"", 2, out="keep.ryn", wait=False)
for _ in range(600):
    if psql("SELECT count(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep'", "-At").strip() == b"1":
        break
    time.sleep(0.1)
psql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE wait_event = 'PgSleep'")
out, err = proc.communicate(timeout=120)
err = err.decode("utf-8", "replace")
if proc.returncode != 1 or open("keep.ryn", "rb").read() != old or "ODBC数据源“pg”读取第" not in err:
    failures.append(f"lost connection: status {proc.returncode}, err {err!r}")

# --- a password the server asks for, given through the variable the options name -------
psql("ALTER USER postgres PASSWORD 's3cret-word'")
hba = os.path.join(os.environ["PGHOST"], "db", "pg_hba.conf")
psql(f"COPY (SELECT 'local all all scram-sha-256') TO '{hba}'")
psql("SELECT pg_reload_conf()")
psql_env["PGPASSWORD"] = "s3cret-word"
time.sleep(1)
for options, want in (("数据源=pg;密码变量=RYN_TEST_PG_PASSWORD;查询=\"SELECT 1 AS one\"", 0),
                      ("数据源=pg;查询=\"SELECT 1 AS one\"", 1)):
    run = transfer(options, 1)
    err = run.stderr.decode("utf-8", "replace")
    if run.returncode != want or "s3cret" in err or (want and "08001" not in err):
        failures.append(f"password {options}: status {run.returncode}, err {err!r}")

# --- the SQLite ODBC driver, on a database Python's sqlite3 made ------------------------
db = sqlite3.connect("s.db")
db.execute("CREATE TABLE s(id INTEGER, i BIGINT, r DOUBLE, n NUMERIC(20,4), t TEXT, vc VARCHAR(8), b BLOB)")
srows = [
    (1, 9223372036854775807, 0.1 + 0.2, "12345.6789", "中文", "abc", b"\x00\xff"),
    (2, -9223372036854775808, 1e300, "-0.5", "😀 ñ", "", b""),
    (3, None, None, None, None, None, None),
    (4, 0, -2.75, "0", "x" * 70000, "x;y", bytes(range(256)) * 300),
]
db.executemany("INSERT INTO s VALUES(?,?,?,?,?,?,?)", srows)
db.commit()
options = f"连接串=\"DRIVER=SQLite3;Database={os.path.abspath('s.db')}\";表=s"
run = transfer(options, 7, extra=["--lossy"])
if run.returncode not in (0, 3):
    failures.append(f"sqlite: status {run.returncode}, err {run.stderr!r}")
else:
    got = records_of("out.ryn", 7, "sqlite")
    db.text_factory = bytes
    for row, want_row in zip(got, db.execute("SELECT * FROM s ORDER BY rowid")):
        for col, value in enumerate(want_row):
            if value is None:
                text = b""
            elif isinstance(value, int):
                text = str(value).encode()
            elif isinstance(value, float):
                # The driver reads SQLite's reals through a text of 15 significant digits.
                value = float(f"{value:.15g}")
                if float(row[col]) != value or digits(row[col].decode()) != digits(repr(value)):
                    failures.append(f"sqlite id {want_row[0]} column {col}: {row[col]!r} for {value!r}")
                continue
            elif col == 6:
                text = value.hex().upper().encode()
            else:
                text = native(value.decode("utf-8"))
            if row[col] != text:
                failures.append(f"sqlite id {want_row[0]} column {col}: got {row[col][:60]!r}, want {text[:60]!r}")

# --- names outside ASCII through the SQLite driver, which takes narrow text only ---------
# `ryn transfer` never sets its locale: the driver manager, converting our text for the
# driver, must still carry the database's file name, the table, the query and the column
# names whole, whatever the environment's locale says.
cdb_path = os.path.abspath("客户数据.db")
cdb = sqlite3.connect(cdb_path)
cdb.execute("CREATE TABLE 客户(名称 TEXT, 金额 REAL, 备注 TEXT)")
cdb.executemany("INSERT INTO 客户 VALUES(?,?,?)", [("张三", 1.5, "甲乙"), ("李四", -2.25, None), ("王五", 0.0, "ok")])
cdb.commit()
no_locale = {k: v for k, v in os.environ.items() if k != "LANG" and not k.startswith("LC_")}
named_query = "SELECT 备注 AS 说明, 名称 FROM 客户 WHERE 名称 <> '李四' ORDER BY 名称 DESC"
for locale_name in (None, "C", "C.UTF-8"):
    env = dict(no_locale, **({"LC_ALL": locale_name} if locale_name else {}))
    for option, sql in (("表=客户", "SELECT * FROM 客户"), (f'查询="{named_query}"', named_query)):
        where = f"names outside ASCII, LC_ALL {locale_name}, {option}"
        cursor = cdb.execute(sql)
        names = [d[0] for d in cursor.description]
        want_rows = cursor.fetchall()
        if os.path.exists("recipe.txt"):
            os.remove("recipe.txt")
        run = transfer(f'连接串="DRIVER=SQLite3;Database={cdb_path}";{option}', len(names),
                       extra=["--save-recipe", "recipe.txt"], env=env)
        if run.returncode != 0:
            failures.append(f"{where}: status {run.returncode}, err {run.stderr.decode(enc, 'replace')!r}")
            continue
        recipe = open("recipe.txt", encoding="utf-8").read()
        got_names = re.findall(r'^field \d+: \d+ "(.*)"$', recipe, re.M)
        if got_names != names:
            failures.append(f"{where}: field names {got_names!r}, sqlite3 says {names!r}")
        got = records_of("out.ryn", len(names), where)
        if len(got) != len(want_rows):
            failures.append(f"{where}: {len(got)} records, {len(want_rows)} expected")
        for row, want_row in zip(got, want_rows):
            for have, value in zip(row, want_row):
                if isinstance(value, float):
                    ok = float(have) == value
                else:
                    ok = have == (b"" if value is None else native(value))
                if not ok:
                    failures.append(f"{where}: got {have!r} for {value!r}")

for f in failures:
    print("FAIL:", f)
print(f"{len(failures)} failure(s)" if failures else "all cases passed")
sys.exit(1 if failures else 0)
PYTHON
