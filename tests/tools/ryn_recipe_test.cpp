// The recipe file of `ryn transfer`: every text a run can hold comes back byte for byte,
// the documented layout is what gets written, a malformed file is refused at the right
// line, and the drift between the recorded and the current field lists reads as one line
// per change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "recipe.h"
#include "support/table_ports.h"

namespace ryn::tool {
namespace {

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
  return s;
}

TEST(RecipeTest, EveryTextComesBackExactly) {
  // Texts as a run holds them (process code page): line ends of every kind, at the start,
  // at the end and doubled, marks and key syntax at a line's start, blanks at the edges.
  const std::vector<std::string> texts = {
      "",
      "Export(0)=Import(1)\r\nExport(1)=Import(0)\r\n",
      Ansi("单位标识=0001;\r\n文件名=/data/二月.csv;\r\n选择列={\r\n\t金额=JE\r\nB=b}"),
      "a\nb\rc\r\n\r\n\n\r",
      "\r\n",
      "\n\r\nx",
      "\r\r\n",
      "  leading and trailing blanks \t",
      "| a mark\r\n. another\r\n/ and\n< more\r# not a comment\r\nkey: value\r\n  | indented",
      Ansi("Filter=Import(2)<>\"x=1\";\r\n分隔符=\";\";\\ C:\\data\\ \"\"quoted\"\""),
      Ansi("Export(0)=FillRight(5,\"统计局报表\",\"*\")"),
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(::testing::PrintToString(text));
    TRecipe r;
    r.from = Ansi("CSV文件");
    r.to = text.empty() ? std::string("x") : text;  // engine names go inline or as a block
    r.fromOptions = text;
    r.toOptions = std::nullopt;
    r.script = text;
    r.fields = {{text, -3}, {Ansi("金额"), 18}, {"", 0}, {"\"\\q\\\"", 65}};
    const std::string file = r.Format();
    EXPECT_EQ(TRecipe::Parse(file), r) << file;
    // As a Windows editor saves it: CR LF line ends and a byte-order mark.
    EXPECT_EQ(TRecipe::Parse("\xEF\xBB\xBF" + ReplaceAll(file, "\n", "\r\n")), r) << file;
    EXPECT_EQ(TRecipe::Parse(file).Format(), file);
  }
}

TEST(RecipeTest, WritesTheDocumentedLayout) {
  TRecipe r;
  r.from = Ansi("CSV文件");
  r.to = Ansi("Ryn文件");
  r.fromOptions = Ansi("文件名=/data/in.csv;\r\n类型推断=1");
  r.script = "Export(0)=Import(1)\r\n\r\nFilter=Import(0)<>\"\"\n";
  r.fields = {{Ansi("编号"), 7}, {Ansi("名\"称"), 65}};
  EXPECT_EQ(r.Format(),
            "# ryn transfer recipe (UTF-8). Block lines: \"|\" the line then CR LF, \"/\" then LF,\n"
            "# \"<\" then CR, \".\" the last line, with no line end after it.\n"
            "from: CSV文件\n"
            "to: Ryn文件\n"
            "from-options:\n"
            "  | 文件名=/data/in.csv;\n"
            "  . 类型推断=1\n"
            "script:\n"
            "  | Export(0)=Import(1)\n"
            "  |\n"
            "  / Filter=Import(0)<>\"\"\n"
            "fields: 2\n"
            "field 0: 7 \"编号\"\n"
            "field 1: 65 \"名\\\"称\"\n");
}

TEST(RecipeTest, ReadsAFileEditedByHand) {
  const TRecipe r = TRecipe::Parse(
      "# monthly report\n\nfrom:CSV文件  \nto-options:\n\t|  two blanks\n\n# a note inside\n    . \tTAB\n"
      "to: Ryn文件\nscript:\n  . Export(0)=Import(0)\nfields: 1\nfield 0 : 7   \"编号\"  \n");
  EXPECT_EQ(r.from, Ansi("CSV文件"));
  EXPECT_EQ(r.to, Ansi("Ryn文件"));
  EXPECT_EQ(r.toOptions, std::optional<std::string>(" two blanks\r\n\tTAB"));
  EXPECT_EQ(r.fromOptions, std::nullopt);
  EXPECT_EQ(r.script, std::optional<std::string>("Export(0)=Import(0)"));
  EXPECT_EQ(r.fields, (std::vector<TRecipeField>{{Ansi("编号"), 7}}));
}

TEST(RecipeTest, AMalformedFileIsRefusedAtItsLine) {
  const std::string head = "from: a\nto: b\n";
  struct Case {
    std::string text;
    int line;
    std::string message;
  } cases[] = {
      {head + "scirpt:\n  | x\nfields: 0\n", 3, "unknown key \"scirpt\""},
      {"  | x\n" + head + "fields: 0\n", 1, "a block line belongs under a key"},
      {"from: a\n  | x\nto: b\nfields: 0\n", 2, "a block line belongs under a key"},
      {head + "script:\n  * x\nfields: 0\n", 4, "must start with |, /, < or ."},
      {head + "script:\n  |x\nfields: 0\n", 4, "a space must follow the |"},
      {head + "script:\n  . a\n  | b\nfields: 0\n", 5, "after the \".\" line"},
      {head + "script\nfields: 0\n", 3, "expected \"key: value\""},
      {head + "from: c\nfields: 0\n", 3, "\"from\" given twice (first on line 1)"},
      {head + "fields: 2\nfield 0: 7 \"a\"\n", 3, "fields: 2 but 1 field lines follow"},
      {head + "fields: 1\nfield 0: 7 \"a\"\nfield 1: 7 \"b\"\n", 3, "fields: 1 but 2 field lines follow"},
      {head + "fields: 2\nfield 1: 7 \"a\"\n", 4, "field 1 where field 0 was expected"},
      {head + "field 0: 7 \"a\"\nfields: 1\n", 3, "field lines follow the \"fields:\" line"},
      {head + "fields: 1\nfield x: 7 \"a\"\n", 4, "expected a field number"},
      {head + "fields: 1\nfield 0: 7 a\n", 4, "a quoted name"},
      {head + "fields: 1\nfield 0: 7 \"a\\tb\"\n", 4, "a quoted name"},
      {head + "fields: 1\nfield 0: 7 \"a\"b\"\n", 4, "a quoted name"},
      {head + "fields: 1\nfield 0: 7 \"a\\\"\n", 4, "a quoted name"},
      {head + "fields: 1\nfield 0: \"a\"\n", 4, "a quoted name"},
      {head + "fields: -1\n", 3, "expected the number of fields"},
      {"from: a\nto: \xFF\nfields: 0\n", 2, "not UTF-8"},
      {"from: a\nto: \xED\xA0\x80\nfields: 0\n", 2, "not UTF-8"},  // a UTF-16 surrogate
      {"to: b\nfields: 0\n", 0, "no \"from:\" line"},
      {"from: a\nfields: 0\n", 0, "no \"to:\" line"},
      {head, 0, "no \"fields:\" line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      TRecipe::Parse(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const ERecipeFormat& e) {
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.Message();
    }
  }
}

TEST(RecipeTest, ACharacterTheCodePageLacksIsRefusedNotReplaced) {
  const std::string text = "from: a\nto: b\nscript:\n  | x\n  . \xF0\x9F\x98\x80\nfields: 0\n";  // an emoji
  if (ProcessCodePage().Name() != "GBK") {
    EXPECT_EQ(TRecipe::Parse(text).script, std::optional<std::string>("x\r\n\xF0\x9F\x98\x80"));
    return;
  }
  try {
    TRecipe::Parse(text);
    ADD_FAILURE() << "accepted";
  } catch (const ERecipeFormat& e) {
    EXPECT_EQ(e.Line(), 5);
    EXPECT_EQ(e.Message(), "a character the code page GBK lacks");
  }
}

TEST(RecipeTest, TextThatCouldNotComeBackIsNotWritten) {
  // A lone byte above 0x7F is no character of GBK or UTF-8: written, it would return as "?".
  TRecipe r{"a", "b", std::nullopt, std::nullopt, std::string("x\xFF"), {}};
  EXPECT_THROW(r.Format(), ERecipeFormat);
  r.script.reset();
  r.fields = {{"\xFF", 1}};
  EXPECT_THROW(r.Format(), ERecipeFormat);
}

TEST(RecipeTest, FieldsAreReadFromAPortThatRepointsOneFieldObject) {
  auto source = MakeIntf<testing::TableSource>(
      std::vector<testing::Column>{{Ansi("编号"), 7}, {Ansi("金额"), 18}, {"x", 65}}, std::vector<std::vector<std::string>>{},
      /*oneField=*/true);
  EXPECT_EQ(TRecipe::FieldsOf(*source),
            (std::vector<TRecipeField>{{Ansi("编号"), 7}, {Ansi("金额"), 18}, {"x", 65}}));
}

TEST(RecipeTest, DriftIsOneLinePerChange) {
  using F = std::vector<TRecipeField>;
  const TRecipeField a{"a", 65}, b{"b", 65}, c{"c", 18}, x{"x", 7};
  struct Case {
    const char* what;
    F was, now;
    std::vector<std::string> lines;
  } cases[] = {
      {"unchanged", {a, b, c}, {a, b, c}, {}},
      {"both empty", {}, {}, {}},
      {"added at the end", {a, b}, {a, b, c}, {"field count 2 -> 3", "field 2 \"c\" added"}},
      {"added in the middle", {a, b}, {a, x, b}, {"field count 2 -> 3", "field 1 \"x\" added"}},
      {"added first", {a, b}, {x, a, b}, {"field count 2 -> 3", "field 0 \"x\" added"}},
      {"removed", {a, b, c}, {a, c}, {"field count 3 -> 2", "field 1 \"b\" removed"}},
      {"all removed", {a, b}, {}, {"field count 2 -> 0", "field 0 \"a\" removed", "field 1 \"b\" removed"}},
      {"from none", {}, {a}, {"field count 0 -> 1", "field 0 \"a\" added"}},
      {"renamed", {a, b, c}, {a, {"B", 65}, c}, {"field 1 \"b\" renamed to \"B\""}},
      {"renamed last", {a, b}, {a, {"B", 65}}, {"field 1 \"b\" renamed to \"B\""}},
      {"renamed and retyped", {a, b, c}, {a, {"B", 7}, c},
       {"field 1 \"b\" renamed to \"B\"", "field 1 \"B\": type 65 -> 7"}},
      {"retyped", {a, b, c}, {a, b, {"c", 65}}, {"field 2 \"c\": type 18 -> 65"}},
      {"swapped", {a, b, c}, {b, a, c}, {"field 1 \"b\" moved to 0"}},
      {"moved to the end and retyped", {a, b, c}, {b, c, {"a", 7}},
       {"field 0 \"a\" moved to 2", "field 0 \"a\": type 65 -> 7"}},
      {"renamed beside an added one", {a, b, c}, {a, {"B", 65}, x, c},
       {"field count 3 -> 4", "field 1 \"b\" renamed to \"B\"", "field 2 \"x\" added"}},
      {"removed and added elsewhere", {a, b, c}, {a, c, x},
       {"field 1 \"b\" removed", "field 2 \"x\" added"}},
      {"a name twice", {x, x}, {x, x, x}, {"field count 2 -> 3", "field 2 \"x\" added"}},
      {"a name twice, the second retyped", {x, x}, {x, {"x", 65}}, {"field 1 \"x\": type 7 -> 65"}},
      {"a line break in a name", {{"a\r\nb", 65}}, {{"a\r\nb", 7}}, {"field 0 \"a\\r\\nb\": type 65 -> 7"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TRecipe r;
    r.fields = k.was;
    EXPECT_EQ(r.DriftTo(k.now), k.lines);
  }
  // In the process code page, as the messages go out.
  TRecipe r;
  r.fields = {{Ansi("编号"), 7}, {Ansi("名称"), 65}, {"c", 1}, {Ansi("金额"), 6}};
  EXPECT_EQ(r.DriftTo({{Ansi("编号"), 7}, {Ansi("单位名称"), 65}, {"c", 1}, {Ansi("金额"), 65}, {Ansi("备注"), 65}}),
            (std::vector<std::string>{"field count 4 -> 5",
                                      "field 1 " + Ansi("\"名称\" renamed to \"单位名称\""),
                                      "field 3 " + Ansi("\"金额\": type 6 -> 65"), "field 4 " + Ansi("\"备注\" added")}));
}

}  // namespace
}  // namespace ryn::tool
