#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "plugins/source_host.h"
#include "sqlite/sqlite_engine.h"
#include "support/temp_dir.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

using testing::Messages;
using testing::ReadExported;
using testing::ReadProxied;
using testing::Row;
using testing::SourceRead;
using testing::TempDir;
using testing::V;

const std::string kLibrary = RYNFILER_SQLITE_LIBRARY;

std::string Gbk(const char* utf8) { return FromUtf8(utf8); }

// Options as an engine would write them, so that names with quotes and blanks survive.
std::string Options(const std::vector<std::pair<const char*, std::string>>& entries) {
  TMemoryStream s;
  TOptionsWriter w(&s);
  for (const auto& [key, value] : entries) w.WriteOption(Ansi(key), value);
  return s.TakeData();
}

SourceRead ReadBoth(const std::string& options) {
  SourceRead direct = ReadExported(kLibrary, options);
  SourceRead proxied = ReadProxied(kLibrary, options);
  EXPECT_EQ(direct, proxied) << "the proxies read the library differently";
  return direct;
}

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

TEST_F(SqliteEngineTest, TypesFromDeclarationsElseFromTheFirstRow) {
  SourceRead r = ReadBoth(Options({{"数据库", db_}, {"表", "t"}}));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.established, 1);
  EXPECT_EQ(r.names, (std::vector<std::string>{"i", "b", "r", "d", "n", "s", "v", "c", "bl", "dt", "dtt", "ts", "x", "y"}));
  // x has no declared type and holds an integer first; y's declaration tells nothing and
  // its first value is text.
  EXPECT_EQ(r.types, (std::vector<int32_t>{7, 7, 18, 18, 18, 65, 65, 65, 67, 50, 51, 51, 7, 65}));
  EXPECT_EQ(r.count, 2);
  ASSERT_EQ(r.rows.size(), 2u);
  EXPECT_EQ(r.rows[0], (Row{V("9007199254740993"), V("-5"), V("1.5"), V("0.1"), V("12.25"), V(Gbk("单位甲").c_str()),
                            V("ab"), V("c"), V("blob"), V("2024-03-05"), V("2024-03-05 06:07:08"),
                            V("2024-03-05 06:07:08"), V("42"), V("first")}));
  // SQL NULL reads as empty whatever the column; a value of another storage class than
  // the column's type still reads through the column's getter where it converts.
  Row second(12, std::nullopt);
  second.push_back(V("0"));
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

TEST_F(SqliteEngineTest, ALateValueThatIsNoDateReadsEmptyWithAMessage) {
  Exec(db_, "CREATE TABLE d(day DATE); INSERT INTO d VALUES('2024-01-31'), ('31/01/2024'), (''), (NULL);");
  SourceRead r = ReadBoth(Options({{"数据库", db_}, {"表", "d"}}));
  EXPECT_EQ(r.rows, (std::vector<Row>{{V("2024-01-31")}, {V("~")}, {V("~")}, {V("~")}}));
  EXPECT_EQ(r.messages, (Messages{{18, Gbk("第2行 0列 数据格式转换失败！")}}));
}

TEST_F(SqliteEngineTest, OptionsComeBackAsGiven) {
  const std::string options = Options({{"数据库", db_}, {"查询", "SELECT v FROM \"my \"\"odd\"\" table\" WHERE v = 1"}});
  SourceRead r = ReadExported(kLibrary, options);
  EXPECT_EQ(r.options, options);
  EXPECT_EQ(r.rows, (std::vector<Row>{{V("1")}}));
}

}  // namespace
}  // namespace ryn
