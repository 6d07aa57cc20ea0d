// Every CSV value arrives exactly as the file holds it, or the user is told which record
// and column lost what: type inference, values beyond the type sample, encodings and
// byte-order marks, characters the code page lacks, an unclosed quote, options.
#include <gtest/gtest.h>

#include "csv/csv_engine.h"
#include "platform/codepage.h"
#include "plugins/source_host.h"
#include "support/temp_dir.h"
#include "transport/options_text.h"

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
std::string Gbk(const std::string& utf8) { return FromUtf8(utf8); }  // tests run with GBK as code page

std::string Options(const std::string& file, const std::string& more = "") {
  return Key("文件名") + "=" + file + (more.empty() ? "" : ";\r\n" + more);
}

SourceRead ReadBoth(const std::string& options) { return testing::ReadBoth(kLibrary, options); }

// UTF-16 bytes of text, written out by hand so that no converter of ours is involved.
std::string Utf16(std::u16string_view text, bool littleEndian) {
  std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t c : text) {
    const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out += littleEndian ? lo : hi;
    out += littleEndian ? hi : lo;
  }
  return out;
}

// A column is typed only when each of its sampled values reads back as the same text;
// whatever the type, every value comes back as the file wrote it.
TEST(CsvValuesTest, InfersTypesOnlyFromValuesThatReadBackExactly) {
  struct Case {
    std::vector<const char*> values;
    int32_t type;
  };
  const std::vector<Case> cases = {
      {{"1", "-17", "9223372036854775807", ""}, 7},
      {{"1", "2.5", "1E20", "0.1", "-3"}, 18},
      {{"2024-02-29", "1899-12-30", ""}, 50},
      {{"000123", "1"}, 65},
      {{"+5"}, 65},
      {{"12E3"}, 65},
      {{"3.10"}, 65},
      {{"-0"}, 65},
      {{"12345678901234567890"}, 65},
      {{"123456789.123456789"}, 65},
      {{"1234567890123456789", "1.5"}, 65},  // a whole number a double cannot hold
      {{"2023-02-29"}, 65},
      {{"2024-1-09"}, 65},
      {{""}, 65},
  };
  TempDir dir;
  const std::string file = dir.Path("types.csv");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.values[0]);
    std::string text = "v\n";
    Row expected;
    for (const char* v : c.values) {
      text += std::string(v) + "\n";
      if (*v) expected.push_back(V(v));
    }
    TempDir::Write(file, text);
    SourceRead r = ReadBoth(Options(file, Key("类型推断") + "=1"));
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.types, std::vector<int32_t>{c.type});
    Row got;
    for (const Row& row : r.rows) got.push_back(row[0]);
    EXPECT_EQ(got, expected);  // blank lines hold no record, so empty values do not show
    EXPECT_EQ(r.messages, Messages{});
  }
}

// Beyond the sample, a value that parses but is not written canonically fits: its number
// for the typed getters, its own text for the text getter. One that does not parse is
// unfit, once per column however often.
TEST(CsvValuesTest, LateValuesFitByParsingAndUnfitOnesAreCountedPerColumn) {
  TempDir dir;
  const std::string file = dir.Path("late.csv");
  std::string text = "n,d\n";
  for (int i = 0; i < kCsvTypeSample; ++i) text += std::to_string(i) + "," + std::to_string(i) + ".5\n";
  text += "+7,3.10\n007,x\n99999999999999999999,1e\n";
  TempDir::Write(file, text);
  const std::string options = Options(file, Key("类型推断") + "=1");
  SourceRead r = ReadBoth(options);
  ASSERT_EQ(r.types, (std::vector<int32_t>{7, 18}));
  ASSERT_EQ(r.rows.size(), 1003u);
  EXPECT_EQ(r.rows[1000], (Row{V("7"), V("3.1")}));
  EXPECT_EQ(r.rows[1001], (Row{V("7"), V("~")}));
  EXPECT_EQ(r.rows[1002], (Row{V("~"), V("~")}));
  std::vector<std::vector<std::string>> texts = ReadTexts(kLibrary, options);
  ASSERT_EQ(texts.size(), 1003u);
  EXPECT_EQ(texts[1000], (std::vector<std::string>{"+7", "3.10"}));
  EXPECT_EQ(texts[1001], (std::vector<std::string>{"007", "x"}));
  EXPECT_EQ(texts[1002], (std::vector<std::string>{"99999999999999999999", "1e"}));
  EXPECT_EQ(r.messages,
            (Messages{{kSourceMsgUnfit,
                       Gbk("列0“n”有1个值不符合列的类型，按类型读作空值（第一个在第1003行：99999999999999999999）")},
                      {kSourceMsgUnfit, Gbk("列1“d”有2个值不符合列的类型，按类型读作空值（第一个在第1002行：x）")}}));
}

TEST(CsvValuesTest, EncodingsMarksAndReplacedCharactersAreReportedByRecordAndColumn) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string options;
    std::vector<std::string> names;
    std::vector<Row> rows;
    Messages messages;
  };
  const std::string stray = Gbk("列1“值”有1个值含有无效的字节序列，已替换为“?”（第一个在第2行：戊己?庚）");
  const std::vector<Case> cases = {
      {"UTF-16LE with its mark", Utf16(u"名称,值\r\n甲,1\r\n", true), "", {Gbk("名称"), Gbk("值")},
       {{V(Gbk("甲").c_str()), V("1")}}, {}},
      {"UTF-16BE with its mark", Utf16(u"名称,值\n乙,\"2\n3\"\n", false), "", {Gbk("名称"), Gbk("值")},
       {{V(Gbk("乙").c_str()), V("2\n3")}}, {}},
      {"UTF-16LE named, its mark dropped", Utf16(u"a\n丙\n", true), Key("编码") + "=UTF-16LE", {"a"},
       {{V(Gbk("丙").c_str())}}, {}},
      {"UTF-8 named, its mark dropped", "\xEF\xBB\xBF" "a\n丁\n", Key("编码") + "=UTF-8", {"a"},
       {{V(Gbk("丁").c_str())}}, {}},
      // One stray byte among many good characters is no reason to read the file as GBK.
      {"UTF-8 with a stray byte", "名称,值\n甲乙丙,丁\n单位,戊己\xFF庚\n", "", {Gbk("名称"), Gbk("值")},
       {{V(Gbk("甲乙丙").c_str()), V(Gbk("丁").c_str())}, {V(Gbk("单位").c_str()), V(Gbk("戊己?庚").c_str())}},
       {{kSourceMsgBadBytes, stray}}},
      {"characters GBK lacks", "n,m\n\xF0\x9F\x98\x80x,\xC3\xB1\n\xF0\xA0\x80\x80,\xC2\xA0\n\xED\x95\x9C,ok\n",
       Key("编码") + "=UTF-8", {"n", "m"},
       {{V("?x"), V("?")}, {V("?"), V("?")}, {V("?"), V("ok")}},
       {{kSourceMsgCodePage, Gbk("列0“n”有3个值含有代码页没有的字符，已替换为“?”（第一个在第1行：?x）")},
        {kSourceMsgCodePage, Gbk("列1“m”有2个值含有代码页没有的字符，已替换为“?”（第一个在第1行：?）")}}},
      {"GBK with a character UTF-8 would not take", Gbk("名称\n中文\n"), "", {Gbk("名称")}, {{V(Gbk("中文").c_str())}},
       {}},
  };
  TempDir dir;
  const std::string file = dir.Path("enc.csv");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir::Write(file, c.bytes);
    SourceRead r = ReadBoth(Options(file, c.options));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.names, c.names);
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_EQ(r.count, static_cast<int32_t>(c.rows.size()));
    EXPECT_EQ(r.messages, c.messages);
    // The same replacements, told per record as it is read: which field, what kind.
    std::vector<std::vector<std::pair<int32_t, int32_t>>> problems(c.rows.size());
    for (size_t i = 0; i < c.rows.size(); ++i)
      for (size_t j = 0; j < c.rows[i].size(); ++j)
        if (c.rows[i][j] && c.rows[i][j]->find('?') != std::string::npos)
          problems[i].emplace_back(static_cast<int32_t>(j), c.messages.front().first);
    EXPECT_EQ(r.problems, problems);
  }
}

TEST(CsvValuesTest, AnUnclosedQuoteIsReportedAtTheRecordWhereItOpened) {
  TempDir dir;
  const std::string file = dir.Path("quote.csv");
  TempDir::Write(file, "a,b\n1,2\n3,\"open\n4,5\n");
  SourceRead r = ReadBoth(Options(file));
  EXPECT_EQ(r.rows, (std::vector<Row>{{V("1"), V("2")}, {V("3"), V("open\n4,5\n")}}));
  EXPECT_EQ(r.messages, (Messages{{kSourceMsgNotice, Gbk("CSV文件第2行的引号没有闭合，文件其后的内容都读进了这个值")}}));
}

TEST(CsvValuesTest, UnknownOptionKeysAreNamedInOneWarning) {
  TempDir dir;
  const std::string file = dir.Path("keys.csv");
  TempDir::Write(file, "a;b\n1;2\n");
  SourceRead r = ReadBoth(Options(file, Key("分隔符") + "=\";\";\r\n" + Key("颜色") + "=1;\r\nsep=,"));
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.rows, (std::vector<Row>{{V("1"), V("2")}}));
  EXPECT_EQ(r.messages, (Messages{{kMsgUnknownOptionKeys, Gbk("CSV文件的选项中有不认识的键：“颜色”、“sep”，已忽略")}}));
}

}  // namespace
}  // namespace ryn
