// How the script host reads and rewrites the lines of a mapping script.
#include <gtest/gtest.h>

#include "expr/script_lines.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

using Kind = TScriptLine::Kind;

TEST(ScriptLines, FormsAndRewriting) {
  struct Case {
    std::string line;
    Kind kind;
    std::string formula;
  } cases[] = {
      {"Export(2)=IF Import(0)>10 THEN Import(0) ELSE 0", Kind::kValue,
       "IF Import(0)>10 THEN SetExport(2, Import(0)) ELSE SetExport(2, 0)"},
      {"Export(2)=Import(0)", Kind::kValue, "SetExport(2, Import(0))"},
      {"Export(2)=Import(0) // the code", Kind::kValue, "SetExport(2, Import(0))"},
      {"Export(2)=\"a//b\" // c", Kind::kValue, "SetExport(2, \"a//b\")"},
      {"Export(2)= // nothing but a comment", Kind::kInvalid, ""},
      {"  Export(2) =  Import(0) + 1  ", Kind::kValue, "SetExport(2, Import(0) + 1)"},
      {"EXPORT(1)=Import(0)", Kind::kValue, "SetExport(1, Import(0))"},
      {"export(1+1)=1", Kind::kValue, "SetExport(1+1, 1)"},
      {"Export(0)=if Import(1) then 1", Kind::kValue, "IF Import(1) THEN SetExport(0, 1)"},
      {"Export(0)=IF\tA=1\tTHEN \"x\"  ELSE  \"y\"", Kind::kValue, "IF A=1 THEN SetExport(0, \"x\") ELSE SetExport(0, \"y\")"},
      // IF only inside a longer word, inside quotes, or without THEN: a plain value line.
      {"Export(1)=SHIFT(1)", Kind::kValue, "SetExport(1, SHIFT(1))"},
      {"Export(1)=LEFTIF THEN 1", Kind::kValue, "SetExport(1, LEFTIF THEN 1)"},
      {"Export(1)=\"IF a THEN b\"", Kind::kValue, "SetExport(1, \"IF a THEN b\")"},
      {"Export(1)=IF Import(0)", Kind::kValue, "SetExport(1, IF Import(0))"},
      {"Export(1)=IF a THENX b", Kind::kValue, "SetExport(1, IF a THENX b)"},
      {"Filter=Import(0)>10", Kind::kFilter, "Import(0)>10"},
      {" filter = IF Import(0)>1 THEN 1=1 ", Kind::kFilter, "IF Import(0)>1 THEN 1=1"},
      {"Filter=Import(0)=1", Kind::kFilter, "Import(0)=1"},
      {"", Kind::kBlank, ""},
      {" \t ", Kind::kBlank, ""},
      {"Export(2)=", Kind::kInvalid, ""},
      {"Export(2)=   ", Kind::kInvalid, ""},
      {"Exp(1)=Import(0)", Kind::kInvalid, ""},
      {"Export()=1", Kind::kInvalid, ""},
      {"Export(1=1", Kind::kInvalid, ""},
      {"Exports(1)=1", Kind::kInvalid, ""},
      {"Import(0)", Kind::kInvalid, ""},
      {"Filter=", Kind::kInvalid, ""},
  };
  for (const Case& c : cases) {
    TScriptLine l = ParseScriptLine(c.line);
    EXPECT_EQ(l.kind, c.kind) << c.line;
    EXPECT_EQ(l.formula, c.formula) << c.line;
  }
  EXPECT_EQ(ParseScriptLine("  Exp(1)=2 ").trimmed, "Exp(1)=2");
}

TEST(ScriptLines, WholeWordsStepOverDoubleByteCharacters) {
  // Under GBK the trail byte of 如 (0xC8 0xE7) and of many characters is a letter; a word
  // must stand between blanks, so only the real keyword is found.
  std::string text = Ansi("\"如 IF\" 如IF IF x THEN y");
  size_t at = FindScriptWord(text, "IF", 0);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.substr(at, 4), "IF x");
  EXPECT_EQ(FindScriptWord(text, "THEN", at), text.find("THEN"));
  EXPECT_EQ(FindScriptWord(text, "IF", at + 1), std::string::npos);
  EXPECT_EQ(FindScriptWord("IF", "IF", 0), 0u);
}

}  // namespace
}  // namespace ryn
