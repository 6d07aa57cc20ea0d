#include <gtest/gtest.h>

#include "csv/csv_engine.h"
#include "platform/codepage.h"
#include "plugins/source_host.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::Messages;
using testing::ReadExported;
using testing::ReadProxied;
using testing::ReadTexts;
using testing::Row;
using testing::SourceRead;
using testing::TempDir;
using testing::V;

const std::string kLibrary = RYNFILER_CSV_LIBRARY;

std::string Key(const char* utf8) { return Ansi(utf8); }

std::string Options(const std::string& file, const std::string& more = "") {
  return Key("文件名") + "=" + file + (more.empty() ? "" : ";\r\n" + more);
}

// Reads through the exported functions and through the proxies; both must agree.
SourceRead ReadBoth(const std::string& options) { return testing::ReadBoth(kLibrary, options); }

std::string Gbk(const char* utf8) { return FromUtf8(utf8); }  // tests run with GBK as code page

TEST(CsvEngineTest, ReadsRecordsByTheQuotingAndLineRules) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string options;
    std::vector<std::string> names;
    std::vector<Row> rows;
  };
  const std::string trail = "\xB0\x7C";  // a GBK character whose second byte is "|"
  const std::vector<Case> cases = {
      {"quotes and doubled quotes", "a,b\r\n\"x,1\",\"he said \"\"hi\"\"\"\r\n\"\",plain\r\n", "", {"a", "b"},
       {{V("x,1"), V("he said \"hi\"")}, {V("~"), V("plain")}}},
      {"line breaks inside quotes", "a,b\n\"line1\r\nline2\",z\n\"\n\",\"\r\"\n", "", {"a", "b"},
       {{V("line1\r\nline2"), V("z")}, {V("\n"), V("\r")}}},
      {"LF only, no line end at the end", "a,b\n1,2\n3,4", "", {"a", "b"}, {{V("1"), V("2")}, {V("3"), V("4")}}},
      {"CR only, blank lines hold no record", "a\r\r1\r\n\r\n2\r", "", {"a"}, {{V("1")}, {V("2")}}},
      {"blanks around fields are data", " a , b \n 1 ,\" 2 \"\n", "", {"a", "b"}, {{V(" 1 "), V(" 2 ")}}},
      {"quote inside an unquoted field", "a,b\nx\"y,z\"\n", "", {"a", "b"}, {{V("x\"y"), V("z\"")}}},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" "名称,值\n甲,1\n", "", {Gbk("名称"), Gbk("值")},
       {{V(Gbk("甲").c_str()), V("1")}}},
      {"UTF-8 without a mark", "名称,值\n单位乙,2\n", "", {Gbk("名称"), Gbk("值")}, {{V(Gbk("单位乙").c_str()), V("2")}}},
      {"GBK found automatically", Gbk("名称,值\n单位丙,3\n"), "", {Gbk("名称"), Gbk("值")},
       {{V(Gbk("单位丙").c_str()), V("3")}}},
      {"GBK named", Gbk("名称\n丁\n"), Key("编码") + "=GBK", {Gbk("名称")}, {{V(Gbk("丁").c_str())}}},
      {"tab", "a\tb\n1\t2\n", Key("分隔符") + "=TAB", {"a", "b"}, {{V("1"), V("2")}}},
      {"delimiter that is a GBK trail byte", "a|b\n" + trail + "|2\n", Key("分隔符") + "=|;\r\n" + Key("编码") + "=GBK",
       {"a", "b"}, {{V(trail.c_str()), V("2")}}},
      {"no heading: default names", "1,2\n3,4\n", Key("列名行") + "=0", {Gbk("列(0)"), Gbk("列(1)")},
       {{V("1"), V("2")}, {V("3"), V("4")}}},
      {"heading only", "a,b\r\n", "", {"a", "b"}, {}},
      {"file of 0 bytes", "", "", {}, {}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = dir.Path("in.csv");
    TempDir::Write(file, c.bytes);
    SourceRead r = ReadBoth(Options(file, c.options));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.established, 1);
    EXPECT_EQ(r.names, c.names);
    EXPECT_EQ(r.types, std::vector<int32_t>(c.names.size(), 65));
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_EQ(r.count, static_cast<int32_t>(c.rows.size()));
    EXPECT_EQ(r.messages, Messages{});
  }
}

TEST(CsvEngineTest, RaggedRecordsWarnOncePerFile) {
  TempDir dir;
  std::string file = dir.Path("ragged.csv");
  TempDir::Write(file, "a,b,c\n1,2\n3,4,5,6\n7\n8,9,10,11\n");
  SourceRead r = ReadBoth(Options(file));
  EXPECT_EQ(r.rows, (std::vector<Row>{{V("1"), V("2"), V("~")},
                                      {V("3"), V("4"), V("5")},
                                      {V("7"), V("~"), V("~")},
                                      {V("8"), V("9"), V("10")}}));
  EXPECT_EQ(r.messages, (Messages{{kCsvMsgShortRecord, Gbk("CSV文件第1行只有2列，缺少的列读作空值")},
                                  {kCsvMsgLongRecord, Gbk("CSV文件第2行有4列，多出的列被忽略")}}));
}

TEST(CsvEngineTest, TypesFromTheFirstThousandRecordsAndALateMisfit) {
  TempDir dir;
  std::string file = dir.Path("typed.csv");
  std::string text = "int,dec,date,text,empty\n";
  for (int i = 1; i <= 1200; ++i) {
    // Record 1100 lies beyond the sample: its values no longer fit the inferred types.
    bool late = i == 1100;
    text += (late ? std::string("12x") : std::to_string(i * 1000000007LL)) + "," +
            (late ? std::string("1e") : i % 2 ? std::to_string(i) : std::to_string(i) + ".25") + "," +
            (late ? std::string("2024-02-30") : "2024-01-" + std::string(i % 9 + 1 < 10 ? "0" : "") + std::to_string(i % 9 + 1)) +
            "," + (i == 3 ? "007x" : std::to_string(i)) + ",\n";
  }
  TempDir::Write(file, text);
  SourceRead r = ReadBoth(Options(file, Key("类型推断") + "=1"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.types, (std::vector<int32_t>{7, 18, 50, 65, 65}));
  ASSERT_EQ(r.rows.size(), 1200u);
  EXPECT_EQ(r.rows[0], (Row{V("1000000007"), V("1"), V("2024-01-02"), V("1"), V("~")}));
  EXPECT_EQ(r.rows[1], (Row{V("2000000014"), V("2.25"), V("2024-01-03"), V("2"), V("~")}));
  EXPECT_EQ(r.rows[2][3], V("007x"));
  // Beyond the sample a value that does not fit reads as empty by its type, keeps its
  // text for a text destination, and is counted once per column.
  EXPECT_EQ(r.rows[1099], (Row{V("~"), V("~"), V("~"), V("1100"), V("~")}));
  EXPECT_EQ(ReadTexts(kLibrary, Options(file, Key("类型推断") + "=1"))[1099],
            (std::vector<std::string>{"12x", "1e", "2024-02-30", "1100", ""}));
  EXPECT_EQ(r.messages,
            (Messages{{18, Gbk("列0“int”有1个值不符合列的类型，按类型读作空值（第一个在第1100行：12x）")},
                      {18, Gbk("列1“dec”有1个值不符合列的类型，按类型读作空值（第一个在第1100行：1e）")},
                      {18, Gbk("列2“date”有1个值不符合列的类型，按类型读作空值（第一个在第1100行：2024-02-30）")}}));
  // Without inference the same file is text through and through.
  SourceRead plain = ReadExported(kLibrary, Options(file));
  EXPECT_EQ(plain.types, std::vector<int32_t>(5, 65));
  EXPECT_EQ(plain.rows[1099][0], V("12x"));
}

TEST(CsvEngineTest, OptionsThatCannotServeAreRefusedWithAMessage) {
  TempDir dir;
  std::string file = dir.Path("ok.csv");
  TempDir::Write(file, "a\n1\n");
  struct Case {
    const char* name;
    std::string options;
    int32_t rc;
    std::string messageStart;
  };
  const std::string missing = dir.Path("missing.csv");
  const std::vector<Case> cases = {
      {"missing file", Options(missing), kCsvOptionsOpenFailed,
       Gbk("CSV文件“") + missing + Gbk("”无法读取：")},
      {"no file name", Key("列名行") + "=1", kCsvOptionsNoFile, Gbk("没有指定CSV文件名！")},
      // The options reader ends an entry at ";": an unquoted semicolon leaves the value empty.
      {"empty delimiter", Options(file, Key("分隔符") + "=;\r\n" + Key("列名行") + "=1"), kCsvOptionsBadValue,
       Gbk("CSV文件选项“分隔符”的值为空；分号要加引号写作 分隔符=\";\"，逗号写作 分隔符=,")},
      {"two-character delimiter", Options(file, Key("分隔符") + "=ab"), kCsvOptionsBadValue,
       Gbk("CSV文件选项“分隔符”的值无效：ab")},
      {"heading switch not 0 or 1", Options(file, Key("列名行") + "=yes"), kCsvOptionsBadValue,
       Gbk("CSV文件选项“列名行”的值无效：yes")},
      {"unknown encoding", Options(file, Key("编码") + "=NO-SUCH-CODE"), kCsvOptionsBadValue,
       Gbk("CSV文件选项“编码”的值无效：NO-SUCH-CODE")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SourceRead r = ReadBoth(c.options);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_EQ(r.established, 0);
    EXPECT_EQ(r.count, -1);
    EXPECT_TRUE(r.rows.empty());
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].first, 3);
    EXPECT_EQ(r.messages[0].second.substr(0, c.messageStart.size()), c.messageStart);
  }
}

TEST(CsvEngineTest, GivesItsOptionsBackAsTheyReadBack) {
  TempDir dir;
  std::string file = dir.Path("o.csv");
  TempDir::Write(file, "a;b\n1;2\n");
  SourceRead r = ReadExported(kLibrary, Options(file, Key("分隔符") + "=\";\";\r\n" + Key("编码") + "=GBK"));
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.names, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(r.options, Key("文件名") + "=" + file + ";\r\n" + Key("分隔符") + "=\";\";\r\n" + Key("列名行") + "=1;\r\n" +
                           Key("编码") + "=GBK;\r\n" + Key("类型推断") + "=0");
  // What the engine gives is what it takes.
  EXPECT_EQ(ReadExported(kLibrary, r.options), r);
  SourceRead defaults = ReadExported(kLibrary, Options(file));
  EXPECT_EQ(defaults.options, Key("文件名") + "=" + file + ";\r\n" + Key("分隔符") + "=,;\r\n" + Key("列名行") +
                                  "=1;\r\n" + Key("编码") + "=" + Key("自动") + ";\r\n" + Key("类型推断") + "=0");
}

// Records and characters that straddle the chunks the file is read in, in every encoding
// path: counted and read alike, nothing lost or doubled at the seams.
TEST(CsvEngineTest, StreamsLargeFilesAcrossChunkSeams) {
  TempDir dir;
  std::string file = dir.Path("large.csv");
  std::string utf8 = "code,name,note\n";
  std::vector<std::string> names;
  for (int i = 0; i < 12000; ++i) {
    std::string name = "单位" + std::to_string(i) + std::string(static_cast<size_t>(i % 7), 'x') + "甲乙丙";
    names.push_back(name);
    utf8 += std::to_string(i) + "," + name + ",\"multi\nline " + std::to_string(i) + "\"\n";
  }
  ASSERT_GT(utf8.size(), 2 * TCsvInput::kChunkSize);
  for (const std::string& encoding : {std::string("UTF-8"), std::string("GBK")}) {
    SCOPED_TRACE(encoding);
    TempDir::Write(file, encoding == "GBK" ? Gbk(utf8.c_str()) : utf8);
    SourceRead r = ReadExported(kLibrary, Options(file));
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.count, 12000);
    ASSERT_EQ(r.rows.size(), 12000u);
    for (int i = 0; i < 12000; i += 1) {
      const Row& row = r.rows[static_cast<size_t>(i)];
      ASSERT_EQ(row, (Row{std::to_string(i), Gbk(names[static_cast<size_t>(i)].c_str()),
                          "multi\nline " + std::to_string(i)}))
          << i;
    }
  }
}

}  // namespace
}  // namespace ryn
