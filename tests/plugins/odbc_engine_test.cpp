// The ODBC engine library through its exports and through the plug-in port's proxies,
// on databases made here and read through the SQLite ODBC driver (no server needed): the
// options and the password that never shows, the driver's types as field types, values
// longer than their bound arrays, failures with the driver's SQLSTATE; and the pieces
// that stand alone (connection strings, the column readings, float and time texts).
#include <gtest/gtest.h>
#include <langinfo.h>
#include <sqlite3.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/transcoder.h"
#include "common/value_text.h"
#include "odbc/odbc_charset.h"
#include "odbc/odbc_engine.h"
#include "odbc/odbc_text.h"
#include "odbc/odbc_values.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "plugins/source_host.h"
#include "support/temp_dir.h"
#include "support/wizard_host.h"
#include "transport/field_types.h"
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

const std::string kLibrary = RYNFILER_ODBC_LIBRARY;
const std::string kDriver = RYNFILER_SQLITE_ODBC_DRIVER;

std::string Gbk(const char* utf8) { return FromUtf8(utf8); }

std::string Options(const std::vector<std::pair<const char*, std::string>>& entries) { return testing::OptionsText(entries); }

SourceRead ReadBoth(const std::string& options) { return testing::ReadBoth(kLibrary, options); }

void Exec(const std::string& db, const std::string& sql) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
  char* err = nullptr;
  EXPECT_EQ(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
  sqlite3_free(err);
  sqlite3_close(h);
}

TEST(OdbcTextTest, ConnectionStringsLoseTheirPasswordsOnly) {
  const struct {
    const char* given;
    const char* shown;
  } cases[] = {
      {"DSN=pg;UID=me;PWD=secret", "DSN=pg;UID=me"},
      {"PWD=secret;DSN=pg", "DSN=pg"},
      {"DSN=pg; pwd = secret ;Database=x", "DSN=pg;Database=x"},
      {"Driver={PostgreSQL};Password={se;cr}}et};Server=h", "Driver={PostgreSQL};Server=h"},
      {"DSN=pg;PWDX=kept;MyPWD=kept", "DSN=pg;PWDX=kept;MyPWD=kept"},
      {"DSN=pg;;PWD=", "DSN=pg"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HideSecrets(c.given), c.shown) << c.given;
  // Values that would end the attribute go in braces, a brace doubled; the rest as they are.
  EXPECT_EQ(ConnectionAttribute("PWD", "a;b}c"), "PWD={a;b}}c}");
  EXPECT_EQ(ConnectionAttribute("PWD", " lead"), "PWD={ lead}");
  EXPECT_EQ(ConnectionAttribute("DSN", "pg"), "DSN=pg");
  EXPECT_EQ(HideSecrets("DSN=x;" + ConnectionAttribute("PWD", "a;b}c=d") + ";UID=u"), "DSN=x;UID=u");
}

TEST(OdbcValuesTest, DriverTypesBecomeFieldTypesAndFetchForms) {
  const struct {
    SQLSMALLINT sqlType;
    SQLULEN size;
    bool isUnsigned;
    int32_t fieldType;
    SQLSMALLINT cType;
    bool bound;
  } cases[] = {
      {SQL_INTEGER, 10, false, kFtInt64, SQL_C_SBIGINT, true},
      {SQL_BIGINT, 19, false, kFtInt64, SQL_C_SBIGINT, true},
      {SQL_BIGINT, 20, true, kFtInt64, SQL_C_CHAR, true},  // beyond 2^63: digits
      {SQL_NUMERIC, 38, false, kFtDouble, SQL_C_CHAR, true},
      {SQL_DECIMAL, 0, false, kFtDouble, SQL_C_CHAR, true},
      {SQL_REAL, 9, false, kFtDouble, SQL_C_FLOAT, true},
      {SQL_FLOAT, 17, false, kFtDouble, SQL_C_DOUBLE, true},
      {SQL_TYPE_DATE, 10, false, kFtDate, SQL_C_CHAR, true},
      {SQL_TYPE_TIME, 8, false, kFtTime, SQL_C_CHAR, true},
      {SQL_TYPE_TIMESTAMP, 26, false, kFtDateTime, SQL_C_CHAR, true},
      {SQL_VARCHAR, 20, false, kFtString, SQL_C_WCHAR, true},
      {SQL_WVARCHAR, 1024, false, kFtString, SQL_C_WCHAR, true},
      {SQL_WVARCHAR, 1025, false, kFtString, SQL_C_WCHAR, false},
      {SQL_VARCHAR, 0, false, kFtString, SQL_C_WCHAR, false},
      {SQL_LONGVARCHAR, 8190, false, kFtString, SQL_C_WCHAR, false},  // a stated size its values exceed
      {SQL_VARBINARY, 255, false, kFtString, SQL_C_BINARY, true},
      {SQL_LONGVARBINARY, 0, false, kFtString, SQL_C_BINARY, false},
      {SQL_GUID, 36, false, kFtString, SQL_C_WCHAR, true},
  };
  for (const auto& c : cases) {
    const TOdbcColumn col = DescribeOdbcColumn(c.sqlType, c.size, c.isUnsigned);
    EXPECT_EQ(col.fieldType, c.fieldType) << c.sqlType << " " << c.size;
    EXPECT_EQ(col.cType, c.cType) << c.sqlType << " " << c.size;
    EXPECT_EQ(col.width > 0, c.bound) << c.sqlType << " " << c.size;
  }
  // A VARCHAR(20) of characters beyond the BMP takes 40 UTF-16 units and a terminator.
  EXPECT_GE(DescribeOdbcColumn(SQL_VARCHAR, 20, false).width, 41 * sizeof(SQLWCHAR));
}

TEST(OdbcValuesTest, FloatsTimesAndOffsetsReadAsWritten) {
  const struct {
    float value;
    const char* text;
  } floats[] = {{0.1f, "0.1"}, {3.4028235e38f, "3.4028235E38"}, {1e-45f, "1E-45"}, {-0.5f, "-0.5"},
                {16777217.0f, "16777216"}, {1e5f, "100000"}, {1.5e-7f, "1.5E-7"},
                {1e15f, "1E15"}, {123.456f, "123.456"}, {0.00001f, "0.00001"}, {0.0f, "0"}};
  for (const auto& f : floats) EXPECT_EQ(ShortestFloatText(f.value), f.text) << f.text;

  TDateTime base = 0;
  ASSERT_TRUE(ParseIsoDateTime("2024-03-05 06:07:08", base));
  const struct {
    const char* text;
    bool ok;
  } stamps[] = {{"2024-03-05 06:07:08", true},      {"2024-03-05 06:07:08+05:30", true},
                {"2024-03-05 06:07:08-08", true},   {"2024-03-05T06:07:08Z", true},
                {"2024-03-05 06:07:08+0530", true}, {"2024-03-05 06:07:08+05:30:15", true},
                {"2024-03-05 06:07:08+5", false},   {"2024-03-05 06:07:08 BC", false},
                {"2024-03-05 06:07:08+24:00", false}};
  for (const auto& s : stamps) {
    TDateTime d = -1;
    EXPECT_EQ(ParseDateTimeWithOffset(s.text, d), s.ok) << s.text;
    if (s.ok) {
      EXPECT_DOUBLE_EQ(d, base) << s.text << ": the wall time as written";
    }
  }
  const struct {
    const char* text;
    double day;
  } times[] = {{"12:00:00", 0.5}, {"00:00:00", 0}, {"18:00", 0.75}, {"06:00:00.5+08", 0.25 + 0.5 / 86400},
               {"24:00:00", -1}, {"noon", -1}};
  for (const auto& t : times) {
    TDateTime d = -1;
    EXPECT_EQ(ParseTimeOfDay(t.text, d), t.day >= 0) << t.text;
    if (t.day >= 0) {
      EXPECT_NEAR(d, t.day, 1e-9) << t.text;
    }
  }
}

class OdbcEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Exec(db_,
         "CREATE TABLE t(i INTEGER, b BIGINT, r DOUBLE, n NUMERIC(10,2), s TEXT, v VARCHAR(4), bl BLOB, d DATE,"
         " ts TIMESTAMP);"
         "INSERT INTO t VALUES(9223372036854775807, -9223372036854775808, 2.75, '12.25', '单位甲', 'ab',"
         " x'00ff10', '2024-02-29', '2024-03-05 06:07:08.5');"
         "INSERT INTO t VALUES(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);"
         "INSERT INTO t VALUES(0, 0, -0.5, '-0.01', '', '', x'', '', '');");
  }
  std::string Connection() const { return "DRIVER=" + kDriver + ";Database=" + db_; }

  TempDir dir_;
  std::string db_ = dir_.Path("data.db");
};

TEST_F(OdbcEngineTest, DriverTypesValuesAndNullsThroughExportsAndProxies) {
  const std::string options = Options({{"连接串", Connection()}, {"表", "t"}});
  SourceRead r = ReadBoth(options);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.names, (std::vector<std::string>{"i", "b", "r", "n", "s", "v", "bl", "d", "ts"}));
  EXPECT_EQ(r.types, (std::vector<int32_t>{7, 7, 18, 18, 65, 65, 65, 50, 51}));
  EXPECT_EQ(r.count, 3);
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(r.rows[0], (Row{V("9223372036854775807"), V("-9223372036854775808"), V("2.75"), V("12.25"),
                            V(Gbk("单位甲").c_str()), V("ab"), V("00FF10"),
                            V("2024-02-29"), V("2024-03-05 06:07:08")}));
  EXPECT_EQ(r.rows[1], Row(9, std::nullopt)) << "NULL is empty in every type";
  // The text getter gives the driver's own text: the timestamp's fraction is kept.
  const auto texts = testing::ReadTexts(kLibrary, options);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0][8], "2024-03-05 06:07:08.5");
  EXPECT_EQ(texts[2], (std::vector<std::string>{"0", "0", "-0.5", "-0.01", "", "", "", "", ""}));
  EXPECT_EQ(r.messages, Messages{});
}

TEST_F(OdbcEngineTest, NamesAndQueriesOutsideAsciiReachANarrowDriverUnderTheCLocale) {
  // The SQLite driver takes narrow text only: the driver manager converts ours for it in
  // the character set it found when the connection was allocated. This process, like
  // `ryn transfer`, never set its locale, and the engine must not set it either.
  ASSERT_STREQ(setlocale(LC_ALL, nullptr), "C");
  // The connection string too: a database file named in Chinese.
  const std::string db = dir_.Path("客户数据.db");
  const std::string connection = Gbk(("DRIVER=" + kDriver + ";Database=" + db).c_str());
  Exec(db,
       "CREATE TABLE 客户(名称 TEXT, 金额 REAL); INSERT INTO 客户 VALUES('张三', 1.5), ('李四', -2);"
       "CREATE TABLE cn(代码 INTEGER, 名称x TEXT, a TEXT); INSERT INTO cn VALUES(1, '甲', 'z');");
  const struct {
    const char* name;
    std::string options;
    std::vector<std::string> names;
    std::vector<Row> rows;
  } cases[] = {
      {"a table named in Chinese", Options({{"连接串", connection}, {"表", Gbk("客户")}}),
       {Gbk("名称"), Gbk("金额")},
       {{V(Gbk("张三").c_str()), V("1.5")}, {V(Gbk("李四").c_str()), V("-2")}}},
      {"a query with Chinese names and a Chinese literal",
       Options({{"连接串", connection}, {"查询", Gbk("SELECT 金额 AS 钱, 名称 AS 名字 FROM 客户 WHERE 名称 = '李四'")}}),
       {Gbk("钱"), Gbk("名字")},
       {{V("-2"), V(Gbk("李四").c_str())}}},
      // The driver counts such a name's length in bytes of UTF-8, not in characters.
      {"names ending at their terminator", Options({{"连接串", connection}, {"表", "cn"}}),
       {Gbk("代码"), Gbk("名称x"), "a"},
       {{V("1"), V(Gbk("甲").c_str()), V("z")}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SourceRead r = ReadBoth(c.options);
    ASSERT_EQ(r.rc, 0) << (r.messages.empty() ? "" : r.messages[0].second);
    EXPECT_EQ(r.names, c.names);
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_EQ(r.messages, Messages{});
  }
  // The thread is left in the locale it had.
  EXPECT_STREQ(setlocale(LC_ALL, nullptr), "C");
  EXPECT_STREQ(nl_langinfo(CODESET), "ANSI_X3.4-1968");
}

TEST(OdbcCharsetTest, ANoteOnlyWhereTheDriverManagerLosesCharacters) {
  const struct {
    const char* codeset;
    std::string text;
    bool note;
  } cases[] = {
      {"UTF-8", Gbk("客户"), false},          {"utf8", Gbk("客户"), false},
      {"ANSI_X3.4-1968", "customers", false}, {"ANSI_X3.4-1968", Gbk("客户"), true},
      {"GB18030", "SELECT 1", false},         {"ISO-8859-1", Gbk("SELECT '甲'"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codeset) + " " + c.text);
    const std::string note = NarrowDriverNote(c.codeset, Gbk("表“客户”"), c.text);
    if (!c.note) {
      EXPECT_EQ(note, "");
      continue;
    }
    EXPECT_NE(note.find(Gbk("表“客户”含有ASCII以外的字符")), std::string::npos) << note;
    EXPECT_NE(note.find(Gbk("“") + c.codeset + Gbk("”")), std::string::npos) << note;
  }
  // Whatever the thread had, a connection gets UTF-8, and the thread gets its own back.
  {
    const TUtf8ThreadCharset charset;
    EXPECT_EQ(charset.Codeset(), "UTF-8");
    EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
  }
  EXPECT_STREQ(nl_langinfo(CODESET), "ANSI_X3.4-1968");
}

TEST_F(OdbcEngineTest, ValuesLongerThanTheirBoundArraysArriveWhole) {
  // The driver says BLOB is BINARY(255) and TEXT at most 65,536: neither holds.
  std::string longText(70000, 'x');
  longText += "end";
  Exec(db_, "CREATE TABLE l(b BLOB, s TEXT, v VARCHAR(2)); INSERT INTO l VALUES(x'" + std::string(600, '0') + "AB', '" +
                longText + "', 'abcdef');");
  const auto texts = testing::ReadTexts(kLibrary, Options({{"连接串", Connection()}, {"表", "l"}}));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0][0], std::string(600, '0') + "AB");
  EXPECT_EQ(texts[0][1], longText);
  EXPECT_EQ(texts[0][2], "abcdef") << "a VARCHAR(2) holding more";
}

TEST_F(OdbcEngineTest, CharactersTheCodePageLacksAreCountedPerColumn) {
  Exec(db_, "CREATE TABLE w(a TEXT); INSERT INTO w VALUES('😀x'), ('ok'), ('한ñ');");
  SourceRead r = ReadBoth(Options({{"连接串", Connection()}, {"查询", "SELECT a FROM w"}}));
  const bool gbk = EncodingKey(ProcessCodePage().Name()) == "GBK";
  EXPECT_EQ(r.rows, (std::vector<Row>{{V(gbk ? "?x" : "😀x")}, {V("ok")}, {V(gbk ? "??" : "한ñ")}}));
  Messages want;
  if (gbk) want.emplace_back(23, Gbk("列0“a”有2个值含有代码页没有的字符，已替换为“?”（第一个在第1行：?x）"));
  EXPECT_EQ(r.messages, want);
}

TEST_F(OdbcEngineTest, FailuresCarryTheDriversStateAndNeverThePassword) {
  const std::string secret = "s3cret;word";
  const std::string withPassword = Connection() + ";" + ConnectionAttribute("PWD", secret);
  const std::string shown = Connection();
  const struct {
    const char* name;
    std::string options;
    int32_t rc;
    std::string start;  // the message's beginning; SQLite's or the driver's text follows
  } cases[] = {
      {"no source", Options({{"表", "t"}}), kOdbcOptionsNoSource, Gbk("没有指定ODBC数据源或连接串！")},
      {"no query", Options({{"连接串", withPassword}}), kOdbcOptionsBadQuery, Gbk("没有指定查询或表！")},
      {"unknown driver", Options({{"连接串", "DRIVER=/no/such/driver.so;" + ConnectionAttribute("PWD", secret)}, {"表", "t"}}),
       kOdbcOptionsConnectFailed, Gbk("连接ODBC数据源“DRIVER=/no/such/driver.so”失败：01000 ")},
      {"unknown DSN", Options({{"数据源", "no_such_dsn"}, {"表", "t"}}), kOdbcOptionsConnectFailed,
       Gbk("连接ODBC数据源“no_such_dsn”失败：IM002 ")},
      {"unset password variable", Options({{"数据源", "x"}, {"密码变量", "RYN_NO_SUCH_VARIABLE"}, {"表", "t"}}),
       kOdbcOptionsConnectFailed, Gbk("连接ODBC数据源“x”失败：环境变量“RYN_NO_SUCH_VARIABLE”没有设置")},
      // The SQLite driver prepares what it cannot read to a statement without a result.
      {"bad SQL", Options({{"连接串", withPassword}, {"查询", "SELEC 1"}}), kOdbcOptionsBadQuery,
       Gbk("ODBC数据源“") + shown + Gbk("”的查询出错：不是SELECT语句")},
      {"unknown table", Options({{"连接串", withPassword}, {"表", "nope"}}), kOdbcOptionsBadQuery,
       Gbk("ODBC数据源“") + shown + Gbk("”的查询出错：HY000 ")},
      {"not a SELECT", Options({{"连接串", withPassword}, {"查询", "DELETE FROM t"}}), kOdbcOptionsBadQuery,
       Gbk("ODBC数据源“") + shown + Gbk("”的查询出错：不是SELECT语句")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SourceRead r = ReadBoth(c.options);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_EQ(r.established, 0);
    EXPECT_EQ(r.count, -1);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].first, 3);
    EXPECT_TRUE(r.messages[0].second.starts_with(c.start)) << r.messages[0].second;
    EXPECT_EQ(r.messages[0].second.find("s3cret"), std::string::npos) << r.messages[0].second;
    EXPECT_EQ(r.options.find("s3cret"), std::string::npos) << r.options;
  }
  // The DELETE was refused before it ran: every row is still there.
  EXPECT_EQ(ReadExported(kLibrary, Options({{"连接串", Connection()}, {"表", "t"}})).count, 3);
}

TEST_F(OdbcEngineTest, OptionsComeBackWithoutThePasswordAndUnknownKeysAreNamed) {
  ::setenv("RYN_TEST_ODBC_PASSWORD", "s3cret", 1);
  const std::string options = Options({{"连接串", Connection() + ";PWD=s3cret"}, {"密码变量", "RYN_TEST_ODBC_PASSWORD"},
                                       {"查询", "SELECT v FROM t WHERE v = 'ab'"}, {"颜色", "红"}});
  SourceRead r = ReadBoth(options);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.rows, (std::vector<Row>{{V("ab")}}));
  EXPECT_EQ(r.options, Options({{"连接串", Connection()}, {"密码变量", "RYN_TEST_ODBC_PASSWORD"},
                                {"查询", "SELECT v FROM t WHERE v = 'ab'"}}));
  EXPECT_EQ(r.messages, (Messages{{0x2006, Gbk("ODBC数据源的选项中有不认识的键：“颜色”，已忽略")}}));
}

}  // namespace
}  // namespace ryn
