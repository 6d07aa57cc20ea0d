// The log window's words for a run: the counts line with only the kinds that occurred, and
// the problem line, which stays one line of a bounded length whatever the value holds and
// never cuts a character apart.
#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "transfer/run_report.h"

namespace ryn {
namespace {

TRunCounts Counts(int64_t read, int64_t written, int64_t filtered, int64_t rejected, int64_t conversion,
                  int64_t codePage, int64_t badBytes) {
  TRunCounts c;
  c.read = read;
  c.written = written;
  c.filtered = filtered;
  c.rejected = rejected;
  c.changed = {conversion, codePage, badBytes};
  return c;
}

TEST(RunReport, TheCountsLineNamesOnlyTheKindsThatOccurred) {
  struct Case {
    TRunCounts counts;
    const char* text;  // UTF-8
  } cases[] = {
      {Counts(3000, 2948, 52, 0, 0, 2, 0), "读取3000条，写入2948条，筛除52条，拒绝0条，2个值有变化（代码页2个）"},
      {Counts(0, 0, 0, 0, 0, 0, 0), "读取0条，写入0条，筛除0条，拒绝0条，0个值有变化"},
      {Counts(10, 7, 1, 2, 3, 0, 4), "读取10条，写入7条，筛除1条，拒绝2条，7个值有变化（映射出错3个，无效字节4个）"},
      {Counts(5, 5, 0, 0, 1, 1, 1), "读取5条，写入5条，筛除0条，拒绝0条，3个值有变化（映射出错1个，代码页1个，无效字节1个）"},
      {Counts(4000000000, 4000000000, 0, 0, 0, 0, 0),
       "读取4000000000条，写入4000000000条，筛除0条，拒绝0条，0个值有变化"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToUtf8(RunCountsText(c.counts)), c.text);
}

TEST(RunReport, AProblemLineIsOneLineNamingTheRecordThePlaceAndTheValue) {
  const std::string wide = Ansi("中");  // one character: 2 bytes in GBK, 3 in UTF-8
  // A value of 1 + 40 characters: the line shows the whole characters that fit in the
  // limit, counted here by their width alone.
  std::string longValue = "a";
  for (int i = 0; i < 40; ++i) longValue += wide;
  const size_t fit = (kProblemValueShown - 1) / wide.size();
  std::string longShown = "a";
  for (size_t i = 0; i < fit; ++i) longShown += wide;
  std::string exact(kProblemValueShown, 'x');

  struct Case {
    const char* what;
    int32_t record, destField;
    std::string field, mapping, message, value;
    std::string line;  // process code page
  } cases[] = {
      {"named field", 12, 2, "JE", "Export(2)=Import(2)", "bad", "abc", Ansi("第12条记录，字段“JE”：bad，源值“abc”")},
      {"no value", 1, 0, Ansi("金额"), "", "bad", "", Ansi("第1条记录，字段“金额”：bad")},
      {"unnamed field", 3, 4, "", "", "bad", "v", Ansi("第3条记录，字段4：bad，源值“v”")},
      {"field not known", 7, -1, "", "SetExport(Import(0),1)", "bad", "", Ansi("第7条记录，映射“SetExport(Import(0),1)”：bad")},
      {"breaks and tabs", 2, 0, "f", "", "two\r\nlines", "a\tb\nc\rd\x01", Ansi("第2条记录，字段“f”：two\\r\\nlines，源值“a\\tb\\nc\\rd ”")},
      {"long value cut at a character", 9, 0, "f", "", "m", longValue, Ansi("第9条记录，字段“f”：m，源值“") + longShown + Ansi("…”")},
      {"a value of the limit is whole", 9, 0, "f", "", "m", exact, Ansi("第9条记录，字段“f”：m，源值“") + exact + Ansi("”")},
      {"one byte more is cut", 9, 0, "f", "", "m", exact + "y", Ansi("第9条记录，字段“f”：m，源值“") + exact + Ansi("…”")},
  };
  for (const Case& c : cases) {
    TValueProblem p;
    p.record = c.record;
    p.destField = c.destField;
    p.message = c.message;
    p.value = c.value;
    EXPECT_EQ(ProblemLine(p, c.field, c.mapping), c.line) << c.what;
  }
}

TEST(RunReport, TheTotalsLineRoundsTheTimeToTenthsOfASecond) {
  struct Case {
    int64_t warnings, errors, milliseconds;
    const char* text;  // UTF-8
  } const cases[] = {
      {0, 0, 0, "警告0个，错误0个，用时0.0秒"},
      {1, 0, 49, "警告1个，错误0个，用时0.0秒"},
      {0, 2, 50, "警告0个，错误2个，用时0.1秒"},
      {3000, 1, 1949, "警告3000个，错误1个，用时1.9秒"},
      {0, 0, 1950, "警告0个，错误0个，用时2.0秒"},
      {0, 0, 61234, "警告0个，错误0个，用时61.2秒"},
      {0, 0, -5, "警告0个，错误0个，用时0.0秒"},  // a clock that went back
  };
  for (const Case& c : cases) EXPECT_EQ(ToUtf8(RunTotalsText(c.warnings, c.errors, c.milliseconds)), c.text) << c.milliseconds;
}

}  // namespace
}  // namespace ryn
