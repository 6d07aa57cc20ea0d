#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "support/text_lines.h"
#include "textloader/text_reader.h"

namespace ryn {
namespace {

using testing::Lines;
using testing::ReadAll;

bool IsGbk() { return ProcessCodePage().Kind() == CodePageKind::kDoubleByte; }

void ConfigureOptions(TAFTextReader& r) {
  r.SetDelimiter("=");
  r.SetLineBreak(";");
  r.SetBlockOpen("{");
  r.SetBlockClose("}");
  r.SetTrimValues(true);
}

TEST(TextReaderTest, SplitsLinesAndValuesWithDefaults) {
  struct Case {
    const char* text;
    Lines expected;
  } cases[] = {
      {"a;;b", {{"a", "", "b"}}},
      {";a", {{"", "a"}}},
      {"a;", {{"a"}}},
      {"", {}},
      {"a;b\r\nc", {{"a", "b"}, {"c"}}},
      {"a\r\n\r\nb", {{"a"}, {}, {"b"}}},
      {"a\r\n", {{"a"}}},
      {"a\r\n\r\n", {{"a"}}},
      {"a\r", {{"a"}}},  // a broken line break at the very end
      {"x\ny;z", {{"x\ny", "z"}}},
      {"\"a;b\";c", {{"a;b", "c"}}},
      {"\"a\r\nb\"\r\nc", {{"a\r\nb"}, {"c"}}},
      {"\"a\"\"\"b\";c", {{"a\"b", "c"}}},
      {"\"\"\";x", {{"\"", "x"}}},
      {"\"\"\"\"\"\"\"\"", {{"\"\""}}},
      {" a ; b ", {{" a ", " b "}}},
      {"{a;b}", {{"{a", "b}"}}},  // no block marks configured
  };
  for (const auto& c : cases) {
    TAFTextReader r;
    EXPECT_EQ(ReadAll(r, c.text), c.expected) << c.text;
  }
}

TEST(TextReaderTest, EofFollowsTheLastLineWithValues) {
  TMemoryStream s("a\r\n\r\nb");
  TAFTextReader r(&s);
  EXPECT_FALSE(r.Eof());
  EXPECT_EQ(r.GetValue(0), "a");
  r.Next();
  EXPECT_EQ(r.ValueCount(), 0);
  EXPECT_FALSE(r.Eof()) << "an empty line in the middle is not the end";
  r.Next();
  EXPECT_EQ(r.GetValue(0), "b");
  EXPECT_EQ(r.GetValue(1), "");
  EXPECT_EQ(r.GetValue(-1), "");
  EXPECT_FALSE(r.Eof());
  r.Next();
  EXPECT_TRUE(r.Eof());
  r.First();
  EXPECT_EQ(r.GetValue(0), "a");

  TAFTextReader none;
  EXPECT_TRUE(none.Eof());
  none.Next();
  EXPECT_EQ(none.ValueCount(), 0);
}

TEST(TextReaderTest, OptionsStyleBlocksNestAndTrim) {
  TAFTextReader r;
  ConfigureOptions(r);
  EXPECT_EQ(ReadAll(r, "k={a=1;b=2};m=3"), (Lines{{"k", "a=1;b=2"}, {"m", "3"}}));
  EXPECT_EQ(ReadAll(r, "k={x={y=1;z=2};w=3}"), (Lines{{"k", "x={y=1;z=2};w=3"}}));
  EXPECT_EQ(ReadAll(r, "a=1;\r\nb=\"x y\""), (Lines{{"a", "1"}, {"b", "x y"}}));
  EXPECT_EQ(ReadAll(r, "k={\r\n\tv}"), (Lines{{"k", "\r\n\tv"}}));
  // An unclosed block runs to the end of the text.
  EXPECT_EQ(ReadAll(r, "k={unclosed=1;m=2"), (Lines{{"k", "{unclosed=1;m=2"}}));
  EXPECT_EQ(ReadAll(r, "k=a=b"), (Lines{{"k", "a", "b"}}));
  EXPECT_EQ(ReadAll(r, "noequals"), (Lines{{"noequals"}}));
}

TEST(TextReaderTest, LongLinesAreAssembledFromSeveralLoads) {
  std::string longValue(10000, 'x');
  TAFTextReader r;
  EXPECT_EQ(ReadAll(r, longValue + ";y\r\nz"), (Lines{{longValue, "y"}, {"z"}}));
}

// Quote and block state carry across reloads: the split does not depend on where the
// window boundaries fall.
TEST(TextReaderTest, SplitIsIndependentOfTheWindow) {
  std::string quoted(5000, 'q');
  for (size_t i = 0; i < quoted.size(); i += 97) quoted[i] = ';';
  for (size_t i = 50; i < quoted.size(); i += 331) quoted.replace(i, 2, "\r\n");
  std::string block = "{" + quoted + "{nested;" + quoted + "}}";
  std::string escaped = "\"" + quoted + "\"\"\"" + quoted + "\"";
  std::string text = "\"" + quoted + "\";b\r\n" + escaped + "\r\nlast";

  TAFTextReader ref;
  Lines expected = ReadAll(ref, text);
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(expected[0], (std::vector<std::string>{quoted, "b"}));
  EXPECT_EQ(expected[1], (std::vector<std::string>{quoted + "\"" + quoted}));

  TAFTextReader opts;
  ConfigureOptions(opts);
  opts.SetLineBreak("\r\n");
  opts.SetDelimiter(";");
  Lines blockLines = ReadAll(opts, "k=" + block + ";m=3\r\nnext");
  ASSERT_EQ(blockLines.size(), 2u);
  EXPECT_EQ(blockLines[0].size(), 2u);
  EXPECT_EQ(blockLines[0][0], "k=" + block);

  for (size_t window : {1u, 17u, 64u, 100u, 333u, 1000u, 4095u}) {
    TAFTextReader r;
    EXPECT_EQ(ReadAll(r, text, window), expected) << "window " << window;
    EXPECT_EQ(ReadAll(opts, "k=" + block + ";m=3\r\nnext", window), blockLines) << "window " << window;
  }
}

TEST(TextReaderTest, ABrokenLineBreakAtTheEndIsCutWhateverTheWindow) {
  TAFTextReader r;
  r.SetDelimiter(",");
  r.SetQuote("");
  const std::string text = std::string(40, 'x') + "\r=y\"\n";
  for (size_t window : {1u, 17u, 4096u}) {
    EXPECT_EQ(ReadAll(r, text, window), (Lines{{std::string(40, 'x') + "\r=y\""}})) << window;
  }
}

TEST(TextReaderTest, ATrailingEmptyLineEndsTheTextWhateverTheWindow) {
  struct Case {
    const char* text;
    Lines expected;
  } cases[] = {
      {"a,b\r\n\r\n", {{"a", "b"}}},
      {"aDa,b\r\n\r\n", {{"aDa", "b"}}},
      {"a\r\n\r\n\r\n", {{"a"}, {}}},
      {"a\r\n\r\nb\r\n", {{"a"}, {}, {"b"}}},
  };
  for (const auto& c : cases) {
    for (size_t window : {1u, 2u, 3u, 5u, 4096u}) {
      TAFTextReader r;
      r.SetDelimiter(",");
      r.SetQuote("");
      EXPECT_EQ(ReadAll(r, c.text, window), c.expected) << c.text << " window " << window;
    }
  }
}

TEST(TextReaderTest, DoubleByteCharactersAreNeverMarks) {
  if (!IsGbk()) GTEST_SKIP() << "needs a double-byte code page";
  // Characters whose trail bytes are "}", "{", "|", "=" and ";"-free but look like marks.
  const std::string closeTrail = "\x81\x7D", openTrail = "\x81\x7B", barTrail = "\x81\x7C", atTrail = "\x81\x40";
  TAFTextReader r;
  ConfigureOptions(r);
  EXPECT_EQ(ReadAll(r, "k={" + closeTrail + "=1};m=2"), (Lines{{"k", closeTrail + "=1"}, {"m", "2"}}));
  EXPECT_EQ(ReadAll(r, "k={" + openTrail + "=1};m=2"), (Lines{{"k", openTrail + "=1"}, {"m", "2"}}));
  EXPECT_EQ(ReadAll(r, "k=" + closeTrail + ";m=" + openTrail), (Lines{{"k", closeTrail}, {"m", openTrail}}));

  TAFTextReader bars;
  bars.SetDelimiter("|");
  bars.SetLineBreak("@");
  EXPECT_EQ(ReadAll(bars, "a" + barTrail + "|b@" + atTrail + "|c"), (Lines{{"a" + barTrail, "b"}, {atTrail, "c"}}));
  // The same inside windows that cut between the two bytes of a character.
  for (size_t window : {1u, 9u, 10u, 11u}) {
    EXPECT_EQ(ReadAll(bars, "a" + barTrail + "|b@" + atTrail + "|c", window), (Lines{{"a" + barTrail, "b"}, {atTrail, "c"}}));
  }
}

}  // namespace
}  // namespace ryn
