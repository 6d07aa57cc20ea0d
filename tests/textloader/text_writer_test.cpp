#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "textloader/text_writer.h"

namespace ryn {
namespace {

std::string WriteLines(TAFTextWriter& w, const std::vector<std::vector<std::string>>& lines) {
  TMemoryStream s;
  w.SetStream(&s);
  for (const auto& line : lines) {
    w.Clear();
    for (size_t i = 0; i < line.size(); ++i) w.SetValue(static_cast<int>(i), line[i]);
    w.WriteLine();
  }
  w.SetStream(nullptr);
  return s.Data();
}

void ConfigureOptions(TAFTextWriter& w) {
  w.SetDelimiter("=");
  w.SetLineBreak(";\r\n");
  w.SetBlockOpen("{\r\n\t");
  w.SetBlockClose("}");
}

TEST(TextWriterTest, FormatsValuesByTheirContent) {
  TAFTextWriter w;
  EXPECT_EQ(WriteLines(w, {{"a", "b c", "x,y"}}), "a,\"b c\",\"x,y\"");
  EXPECT_EQ(WriteLines(w, {{"a\"b"}}), "\"a\"\"\"b\"");
  EXPECT_EQ(WriteLines(w, {{"\""}}), "\"\"\"");
  EXPECT_EQ(WriteLines(w, {{"\"\""}}), "\"\"\"\"\"\"\"\"");
  EXPECT_EQ(WriteLines(w, {{"l1"}, {"l2"}}), "l1\r\nl2");
  EXPECT_EQ(WriteLines(w, {{"", ""}, {""}}), ",\r\n");
  // An empty first line leaves no byte but still counts as a line.
  EXPECT_EQ(WriteLines(w, {{}, {"x"}}), "\r\nx");
  EXPECT_EQ(WriteLines(w, {{""}, {""}, {"x"}}), "\r\n\r\nx");
  EXPECT_EQ(WriteLines(w, {{"a\r\nb"}}), "\"a\r\nb\"");
  // A bare LF or CR is quoted too: readers that split lines at either never split a value.
  EXPECT_EQ(WriteLines(w, {{"a\nb", "a\rb", "\n"}}), "\"a\nb\",\"a\rb\",\"\n\"");

  TAFTextWriter tsv;
  tsv.SetDelimiter("\t");
  EXPECT_EQ(WriteLines(tsv, {{"a b", "t\tx", "plain", "q\"", ""}}), "\"a b\"\t\"t\tx\"\tplain\t\"q\"\"\"\"\t");
  // A value ending in a line-break byte would lose it at the end of the text.
  EXPECT_EQ(WriteLines(tsv, {{"x\r", "y\n"}}), "\"x\r\"\t\"y\n\"");

  TAFTextWriter noQuote;
  noQuote.SetQuote("");
  EXPECT_EQ(WriteLines(noQuote, {{"a b", "x,y"}}), "a b,x,y");
}

TEST(TextWriterTest, BlocksWhereTheyReadBackElseQuotes) {
  TAFTextWriter w;
  ConfigureOptions(w);
  EXPECT_EQ(WriteLines(w, {{"k", "a=b"}}), "k={\r\n\ta=b}");
  EXPECT_EQ(WriteLines(w, {{"k", "1"}, {"m", "x y"}}), "k=1;\r\nm=\"x y\"");
  EXPECT_EQ(WriteLines(w, {{"k", "a={\r\n\tb=1}"}}), "k={\r\n\ta={\r\n\tb=1}}");
  // A lone "}" is this writer's close mark: it would end the block early.
  EXPECT_EQ(WriteLines(w, {{"k", "a={b=1}"}}), "k=\"a={b=1}\"");
  // A close mark that would end the block early, or an odd quote inside: quoted instead.
  EXPECT_EQ(WriteLines(w, {{"k", "a=}"}}), "k=\"a=}\"");
  EXPECT_EQ(WriteLines(w, {{"k", "a=\""}}), "k=\"a=\"\"\"\"");
}

TEST(TextWriterTest, ValuesGrowShrinkAndStay) {
  TAFTextWriter w;
  w.SetValue(2, "c");
  EXPECT_EQ(w.Count(), 3);
  EXPECT_EQ(w.GetValue(0), "");
  w.SetCount(1);
  w.SetCount(3);
  EXPECT_EQ(w.GetValue(2), "") << "values appended by SetCount are empty";
  w.SetValue(0, "a");
  TMemoryStream s;
  w.SetStream(&s);
  w.WriteLine();
  w.WriteLine();
  EXPECT_EQ(s.Data(), "a,,\r\na,,");
  w.WriteText("!");
  EXPECT_EQ(s.Data(), "a,,\r\na,,!");
  EXPECT_EQ(w.FormatValue(7), "");
  w.Clear();
  EXPECT_EQ(w.Count(), 0);
}

TEST(TextWriterTest, DoubleByteTrailBytesAreNotMarks) {
  if (ProcessCodePage().Kind() != CodePageKind::kDoubleByte) GTEST_SKIP() << "needs a double-byte code page";
  TAFTextWriter w;
  ConfigureOptions(w);
  const std::string closeTrail = "\x81\x7D";
  EXPECT_EQ(WriteLines(w, {{"k", closeTrail}}), "k=" + closeTrail);
  EXPECT_EQ(WriteLines(w, {{"k", closeTrail + "=1"}}), "k={\r\n\t" + closeTrail + "=1}");
  TAFTextWriter bars;
  bars.SetDelimiter("|");
  EXPECT_EQ(WriteLines(bars, {{"a\x81|", "b"}}), "a\x81||b");
  // A value ending in a lone lead byte would swallow the "|" after it: quoted.
  EXPECT_EQ(WriteLines(bars, {{"\xDE", ""}}), "\"\xDE\"|");
  EXPECT_EQ(WriteLines(w, {{"k", "a=\xDE"}}), "k=\"a=\xDE\"") << "not a block: the close mark would be swallowed";
}

}  // namespace
}  // namespace ryn
