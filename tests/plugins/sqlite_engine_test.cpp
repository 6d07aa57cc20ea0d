#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "plugins/source_host.h"
#include "sqlite/sqlite_engine.h"
#include "support/temp_dir.h"
#include "support/wizard_host.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

using testing::ExportedLibrary;
using testing::Messages;
using testing::ReadExported;
using testing::ReadProxied;
using testing::Row;
using testing::SourceRead;
using testing::TempDir;
using testing::V;

const std::string kLibrary = RYNFILER_SQLITE_LIBRARY;

std::string Gbk(const char* utf8) { return FromUtf8(utf8); }

std::string Options(const std::vector<std::pair<const char*, std::string>>& entries) { return testing::OptionsText(entries); }

SourceRead ReadBoth(const std::string& options) { return testing::ReadBoth(kLibrary, options); }

using Texts = std::vector<std::vector<std::string>>;

Texts ReadTexts(const std::string& options) { return testing::ReadTexts(kLibrary, options); }

void Exec(const std::string& db, const char* sql) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
  char* err = nullptr;
  EXPECT_EQ(sqlite3_exec(h, sql, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
  sqlite3_free(err);
  sqlite3_close(h);
}

class SqliteEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = dir_.Path("data.db");
    Exec(db_,
         "CREATE TABLE t(i INTEGER, b BIGINT, r REAL, d DOUBLE PRECISION, n NUMERIC(10,2), s TEXT, v VARCHAR(20),"
         " c CLOB, bl BLOB, dt DATE, dtt DATETIME, ts TIMESTAMP, x, y ANYTHING);"
         "INSERT INTO t VALUES(9007199254740993, -5, 1.5, 0.1, 12.25, '单位甲', 'ab', 'c', x'00ff', '2024-03-05',"
         " '2024-03-05 06:07:08', '2024-03-05T06:07:08.5Z', 42, 'first');"
         "INSERT INTO t VALUES(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'text now', 2.5);"
         "CREATE TABLE \"my \"\"odd\"\" table\"(\"名 称\" TEXT, \"v\" INTEGER);"
         "INSERT INTO \"my \"\"odd\"\" table\" VALUES('甲', 1), ('乙', 2), ('丙', 3);");
  }
  TempDir dir_;
  std::string db_;
};

TEST_F(SqliteEngineTest, TypesFromDeclarationsOnly) {
  SourceRead r = ReadBoth(Options({{"数据库", db_}, {"表", "t"}}));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.established, 1);
  EXPECT_EQ(r.names, (std::vector<std::string>{"i", "b", "r", "d", "n", "s", "v", "c", "bl", "dt", "dtt", "ts", "x", "y"}));
  // A BLOB column is text (its bytes in hex); x has no declared type and y's declaration
  // names no type: both are text, whatever their first values hold.
  EXPECT_EQ(r.types, (std::vector<int32_t>{7, 7, 18, 18, 18, 65, 65, 65, 65, 50, 51, 51, 65, 65}));
  EXPECT_EQ(r.count, 2);
  ASSERT_EQ(r.rows.size(), 2u);
  EXPECT_EQ(r.rows[0], (Row{V("9007199254740993"), V("-5"), V("1.5"), V("0.1"), V("12.25"), V(Gbk("单位甲").c_str()),
                            V("ab"), V("c"), V("00FF"), V("2024-03-05"), V("2024-03-05 06:07:08"),
                            V("2024-03-05 06:07:08"), V("42"), V("first")}));
  // The source's own text of every value: numbers exactly, ISO dates as written.
  EXPECT_EQ(ReadTexts(Options({{"数据库", db_}, {"表", "t"}}))[0], (std::vector<std::string>{"9007199254740993", "-5", "1.5", "0.1", "12.25", Gbk("单位甲"), "ab",
                                                   "c", "00FF", "2024-03-05", "2024-03-05 06:07:08",
                                                   "2024-03-05T06:07:08.5Z", "42", "first"}));
  // SQL NULL reads as empty whatever the column; the untyped columns' later values keep
  // their own storage class.
  Row second(12, std::nullopt);
  second.push_back(V("text now"));
  second.push_back(V("2.5"));
  EXPECT_EQ(r.rows[1], second);
  EXPECT_EQ(r.messages, Messages{});
}

TEST_F(SqliteEngineTest, QueriesAndQuotedTableNames) {
  struct Case {
    const char* name;
    std::string options;
    std::vector<std::string> names;
    std::vector<Row> rows;
  };
  const std::vector<Case> cases = {
      {"table name that needs quoting", Options({{"数据库", db_}, {"表", "my \"odd\" table"}}),
       {Gbk("名 称"), "v"}, {{V(Gbk("甲").c_str()), V("1")}, {V(Gbk("乙").c_str()), V("2")}, {V(Gbk("丙").c_str()), V("3")}}},
      {"query with a condition and a ; at its end",
       Options({{"数据库", db_}, {"查询", Gbk("SELECT \"名 称\" AS 名, v*2 AS w FROM \"my \"\"odd\"\" table\" WHERE v >= 2;")}}),
       {Gbk("名"), "w"}, {{V(Gbk("乙").c_str()), V("4")}, {V(Gbk("丙").c_str()), V("6")}}},
      {"query wins over table", Options({{"数据库", db_}, {"表", "t"}, {"查询", "SELECT 1 AS one"}}), {"one"}, {{V("1")}}},
      {"empty result", Options({{"数据库", db_}, {"查询", "SELECT s FROM t WHERE 0"}}), {"s"}, {}},
      {"a comment after the query", Options({{"数据库", db_}, {"查询", "SELECT 1 AS one; -- why"}}), {"one"}, {{V("1")}}},
      {"comments, blanks and ; after the query",
       Options({{"数据库", db_}, {"查询", "SELECT 1 AS one -- first\n; /* a */ ;\n\t-- b\n;"}}), {"one"}, {{V("1")}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SourceRead r = ReadBoth(c.options);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.names, c.names);
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_EQ(r.count, static_cast<int32_t>(c.rows.size()));
    EXPECT_EQ(r.messages, Messages{});
  }
}

TEST_F(SqliteEngineTest, FailuresCarrySqlitesOwnText) {
  struct Case {
    const char* name;
    std::string options;
    int32_t rc;
    std::string message;
  };
  const std::string missing = dir_.Path("missing.db");
  const std::string notDb = dir_.Path("not.db");
  TempDir::Write(notDb, std::string(4096, 'x'));
  const std::vector<Case> cases = {
      {"missing database", Options({{"数据库", missing}, {"表", "t"}}), kSqliteOptionsOpenFailed,
       Gbk("SQLite数据库“") + missing + Gbk("”打开失败：unable to open database file")},
      {"bad SQL", Options({{"数据库", db_}, {"查询", "SELEC * FROM t"}}), kSqliteOptionsBadQuery,
       Gbk("SQLite数据库“") + db_ + Gbk("”的查询出错：near \"SELEC\": syntax error")},
      {"unknown table", Options({{"数据库", db_}, {"表", "nope"}}), kSqliteOptionsBadQuery,
       Gbk("SQLite数据库“") + db_ + Gbk("”的查询出错：no such table: nope")},
      {"not a SELECT", Options({{"数据库", db_}, {"查询", "DELETE FROM t"}}), kSqliteOptionsBadQuery,
       Gbk("SQLite数据库“") + db_ + Gbk("”的查询出错：不是SELECT语句")},
      {"two statements", Options({{"数据库", db_}, {"查询", "SELECT 1; DELETE FROM t"}}), kSqliteOptionsBadQuery,
       Gbk("SQLite数据库“") + db_ + Gbk("”的查询出错：只能有一条SELECT语句")},
      {"a second statement after a comment", Options({{"数据库", db_}, {"查询", "SELECT 1; -- x\nDELETE FROM t"}}),
       kSqliteOptionsBadQuery, Gbk("SQLite数据库“") + db_ + Gbk("”的查询出错：只能有一条SELECT语句")},
      {"something after the query", Options({{"数据库", db_}, {"查询", "SELECT 1; nonsense"}}), kSqliteOptionsBadQuery,
       Gbk("SQLite数据库“") + db_ + Gbk("”的查询出错：只能有一条SELECT语句")},
      {"not a database", Options({{"数据库", notDb}, {"表", "t"}}), kSqliteOptionsBadQuery,
       Gbk("SQLite数据库“") + notDb + Gbk("”的查询出错：file is not a database")},
      {"no database named", Options({{"表", "t"}}), kSqliteOptionsNoDatabase, Gbk("没有指定SQLite数据库！")},
      {"neither query nor table", Options({{"数据库", db_}}), kSqliteOptionsBadQuery, Gbk("没有指定SQLite查询或表！")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SourceRead r = ReadBoth(c.options);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_EQ(r.established, 0);
    EXPECT_EQ(r.count, -1);
    EXPECT_TRUE(r.names.empty());
    EXPECT_EQ(r.messages, (Messages{{3, c.message}}));
  }
  // The database was opened read-only: the DELETE above removed nothing.
  EXPECT_EQ(ReadExported(kLibrary, Options({{"数据库", db_}, {"表", "t"}})).count, 2);
}

// What the typed getter gives (the host's text of it; "~" for empty) and what the text
// getter gives, for one value in one column.
struct Cell {
  const char* column;
  const char* literal;
  const char* typed;
  std::string text;
};

TEST_F(SqliteEngineTest, EveryValueIsReadByItsOwnStorageClassAndNeverForced) {
  const std::vector<std::string> columns = {"k", "r", "n", "dd", "dt", "u", "b"};
  const std::vector<Cell> cells = {
      {"k", "9223372036854775807", "9223372036854775807", "9223372036854775807"},
      {"k", "-9223372036854775808", "-9223372036854775808", "-9223372036854775808"},
      {"k", "3.7", "~", "3.7"},  // no whole number
      {"k", "1e19", "~", "1E19"},  // beyond 64 bits
      {"k", "'abc'", "~", "abc"},
      {"k", "x'0A0B'", "~", "0A0B"},
      {"r", "2.75", "2.75", "2.75"},
      {"r", "0.1 + 0.2", "0.3", "0.30000000000000004"},
      {"r", "'n/a'", "~", "n/a"},
      {"n", "9007199254740993", "~", "9007199254740993"},  // no double holds it
      {"n", "42", "42", "42"},
      {"dd", "'1899-12-30'", "1899-12-30", "1899-12-30"},
      {"dd", "'2024-03-05 00:00:00'", "2024-03-05", "2024-03-05 00:00:00"},
      {"dd", "'2024-03-05 06:07:08'", "~", "2024-03-05 06:07:08"},  // the time would be lost
      {"dd", "45000", "~", "45000"},
      {"dd", "''", "~", ""},
      {"dt", "'2024-03-05T06:07:08'", "2024-03-05 06:07:08", "2024-03-05T06:07:08"},
      {"dt", "2.5", "~", "2.5"},
      {"u", "2.75", "2.75", "2.75"},
      {"u", "5e-324", "5E-324", "5E-324"},
      {"u", "1e300", "1E300", "1E300"},
      {"u", "0.1 + 0.2", "0.30000000000000004", "0.30000000000000004"},
      {"u", "-9223372036854775808", "-9223372036854775808", "-9223372036854775808"},
      {"u", "x'00FF10'", "00FF10", "00FF10"},
      {"u", "''", "", ""},
      {"b", "x'DEADBEEF'", "DEADBEEF", "DEADBEEF"},
      {"b", "'text in a blob column'", "text in a blob column", "text in a blob column"},
  };
  std::string sql = "CREATE TABLE m(k INTEGER, r REAL, n NUMERIC, dd DATE, dt DATETIME, u, b BLOB);";
  for (const Cell& c : cells) sql += "INSERT INTO m(" + std::string(c.column) + ") VALUES(" + c.literal + ");";
  Exec(db_, sql.c_str());

  SourceRead r = ReadBoth(Options({{"数据库", db_}, {"表", "m"}}));
  const Texts texts = ReadTexts(Options({{"数据库", db_}, {"表", "m"}}));
  ASSERT_EQ(texts.size(), cells.size());
  EXPECT_EQ(r.types, (std::vector<int32_t>{7, 18, 18, 50, 51, 65, 65}));
  ASSERT_EQ(r.rows.size(), cells.size());
  for (size_t row = 0; row < cells.size(); ++row) {
    const Cell& c = cells[row];
    SCOPED_TRACE(std::string(c.column) + " = " + c.literal);
    for (size_t col = 0; col < columns.size(); ++col) {
      const bool here = columns[col] == c.column;
      EXPECT_EQ(r.rows[row][col], here ? V(c.typed) : std::nullopt);
      EXPECT_EQ(texts[row][col], here ? c.text : "");
    }
  }
  // One warning per column, with the count and the first record.
  auto unfit = [](const char* column, const char* count, const char* rest) {
    return std::pair<int32_t, std::string>(
        18, Gbk((std::string(column) + "有" + count + "个值不符合列的类型，按类型读作空值（第一个在" + rest + "）").c_str()));
  };
  EXPECT_EQ(r.messages, (Messages{unfit("列0“k”", "4", "第3行：3.7"), unfit("列1“r”", "1", "第9行：n/a"),
                                  unfit("列2“n”", "1", "第10行：9007199254740993"),
                                  unfit("列3“dd”", "2", "第14行：2024-03-05 06:07:08"), unfit("列4“dt”", "1", "第18行：2.5")}));
}

TEST_F(SqliteEngineTest, AnUntypedColumnReadsTheSameInAnyOrder) {
  Exec(db_, "CREATE TABLE mix(id INTEGER, u); INSERT INTO mix VALUES(1, 2.75), (2, 'text'), (3, x'01'), (4, 7), (5, NULL);");
  Texts forward, backward;
  for (const char* order : {"ASC", "DESC"}) {
    const std::string options = Options({{"数据库", db_}, {"查询", std::string("SELECT u FROM mix ORDER BY id ") + order}});
    SourceRead r = ReadBoth(options);
    EXPECT_EQ(r.types, (std::vector<int32_t>{65})) << order;
    EXPECT_EQ(r.messages, Messages{}) << order;
    (order[0] == 'A' ? forward : backward) = ReadTexts(options);
  }
  EXPECT_EQ(forward, (Texts{{"2.75"}, {"text"}, {"01"}, {"7"}, {""}}));
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, forward);
}

TEST_F(SqliteEngineTest, CharactersTheCodePageLacksAndBadBytesAreCountedPerColumn) {
  Exec(db_,
       "CREATE TABLE w(a TEXT, b TEXT);"
       "INSERT INTO w VALUES('😀x', 'ok'), ('𠀀', CAST(x'FF41' AS TEXT)), ('한ñ\xC2\xA0', '中');");
  SourceRead r = ReadBoth(Options({{"数据库", db_}, {"表", "w"}}));
  const bool gbk = EncodingKey(ProcessCodePage().Name()) == "GBK";
  const Texts want = gbk ? Texts{{"?x", "ok"}, {"?", "?A"}, {"???", Gbk("中")}}
                         : Texts{{"😀x", "ok"}, {"𠀀", "?A"}, {"한ñ\xC2\xA0", "中"}};
  EXPECT_EQ(ReadTexts(Options({{"数据库", db_}, {"表", "w"}})), want);
  Messages messages;
  if (gbk) messages.emplace_back(23, Gbk("列0“a”有3个值含有代码页没有的字符，已替换为“?”（第一个在第1行：?x）"));
  messages.emplace_back(27, Gbk("列1“b”有1个值含有无效的字节序列，已替换为“?”（第一个在第2行：?A）"));
  EXPECT_EQ(r.messages, messages);
}

TEST_F(SqliteEngineTest, AReadingStoppedEarlyStillReportsWhatItFound) {
  Exec(db_, "CREATE TABLE e(k INTEGER); INSERT INTO e VALUES('x'), ('y'), (1);");
  ExportedLibrary lib(kLibrary);
  Messages messages;
  RynHandle h = lib.Open(&messages);
  ASSERT_EQ(lib.Get<int32_t (RYN_CALL*)(RynHandle, const char*)>("EngineSetOptions")(h, Options({{"数据库", db_}, {"表", "e"}}).c_str()), 0);
  lib.Get<void (RYN_CALL*)(RynHandle)>("MoveFirst")(h);
  lib.Get<void (RYN_CALL*)(RynHandle)>("MoveNext")(h);
  EXPECT_EQ(messages, Messages{});
  lib.Close(h);
  EXPECT_EQ(messages, (Messages{{18, Gbk("列0“k”有2个值不符合列的类型，按类型读作空值（第一个在第1行：x）")}}));
}

TEST_F(SqliteEngineTest, UnknownOptionKeysAreNamedInOneWarning) {
  SourceRead r = ReadBoth(Options({{"数据库", db_}, {"表", "t"}, {"颜色", "红"}, {"x", "1"}, {"颜色", "蓝"}}));
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(r.messages, (Messages{{0x2006, Gbk("SQLite数据库的选项中有不认识的键：“颜色”、“x”，已忽略")}}));
}

TEST_F(SqliteEngineTest, OptionsComeBackAsGiven) {
  const std::string options = Options({{"数据库", db_}, {"查询", "SELECT v FROM \"my \"\"odd\"\" table\" WHERE v = 1"}});
  SourceRead r = ReadExported(kLibrary, options);
  EXPECT_EQ(r.options, options);
  EXPECT_EQ(r.rows, (std::vector<Row>{{V("1")}}));
}

}  // namespace
}  // namespace ryn
