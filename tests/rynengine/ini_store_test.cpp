#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "rynengine/ini_store.h"

namespace ryn {
namespace {

using Lines = std::vector<std::string>;

TEST(IniStoreTest, ParsesByItsLineRules) {
  TIniStore ini;
  ini.SetText(
      "ignored=before any section\r\n"
      "  [ " + Ansi("固定数据") + " ]  \r\n"
      "; a comment\r\n"
      "  A1 =  field1 \r\n"
      "\r\n"
      "no equals line\n"
      "[浮动数据]\r"
      "B=f=2\r\n"
      "[empty]");
  EXPECT_EQ(ini.SectionNames(), (Lines{Ansi("固定数据"), "浮动数据", "empty"}));
  EXPECT_EQ(ini.ReadSection(Ansi("固定数据")), (Lines{"A1=field1", "no equals line"}));
  EXPECT_EQ(ini.ReadSection("浮动数据"), (Lines{"B=f=2"}));
  EXPECT_EQ(ini.ReadValue("浮动数据", "b"), "f=2");
  EXPECT_EQ(ini.ReadSection("EMPTY"), Lines{});
  EXPECT_TRUE(ini.HasSection("Empty"));
  EXPECT_EQ(ini.ReadSection("missing"), Lines{});
  EXPECT_EQ(ini.ReadValue("missing", "x", "dflt"), "dflt");
}

TEST(IniStoreTest, TextFormRoundTrips) {
  TIniStore ini;
  ini.WriteValue("S1", "a", "1");
  ini.WriteValue("S2", "b", "2");
  ini.WriteValue("s1", "c", "3");
  ini.WriteValue("S1", "A", "9");  // replaces in place, ignoring case
  EXPECT_EQ(ini.GetText(), "[S1]\r\nA=9\r\nc=3\r\n\r\n[S2]\r\nb=2\r\n");
  TIniStore copy;
  copy.SetText(ini.GetText());
  EXPECT_EQ(copy.GetText(), ini.GetText());
  copy.EraseSection("s2");
  EXPECT_EQ(copy.GetText(), "[S1]\r\nA=9\r\nc=3\r\n");
  copy.SetText("");
  EXPECT_EQ(copy.GetText(), "");
}

// Replacing a section in one pass leaves what writing its values one by one into the
// emptied section leaves: the first place of a name repeated in another letter case (Latin,
// Greek, full-width), the later value, the section moved to the end; and it stays linear
// where writing one by one compared every name with every other.
TEST(IniStoreTest, ReplacingASectionIsWritingItsValuesInTurnInOnePass) {
  using Values = std::vector<std::pair<std::string, std::string>>;
  const Values values = {
      {"a", "1"},           {Ansi("单位"), "2"}, {"A", "3"},         {Ansi("Ωmega"), "4"}, {Ansi("ωMEGA"), "5"},
      {Ansi("ＡＢ"), "6"}, {Ansi("ａｂ"), "7"}, {Ansi("单位"), "8"}, {"b", ""},            {"ab", "9"},
  };
  for (const char* start : {"", "[S]\r\nold=1\r\n\r\n[T]\r\nt=1\r\n", "[T]\r\nt=1\r\n\r\n[s]\r\nold=1\r\n"}) {
    SCOPED_TRACE(start);
    TIniStore oneByOne, inOnePass;
    oneByOne.SetText(start);
    inOnePass.SetText(start);
    oneByOne.EraseSection("S");
    for (const auto& [name, value] : values) oneByOne.WriteValue("S", name, value);
    inOnePass.ReplaceSection("S", values);
    EXPECT_EQ(inOnePass.GetText(), oneByOne.GetText());
  }
  TIniStore emptied;
  emptied.SetText("[S]\r\na=1\r\n\r\n[T]\r\nt=1\r\n");
  emptied.ReplaceSection("s", {});
  EXPECT_EQ(emptied.SectionNames(), Lines{"T"});
  TIniStore ini;
  ini.ReplaceSection("S", values);
  EXPECT_EQ(ini.ReadSection("S"), (Lines{"A=3", Ansi("单位=8"), Ansi("ωMEGA=5"), Ansi("ａｂ=7"), "b=", "ab=9"}));

  // What an import into the field dialog brings: tens of thousands of rows, saved at once.
  Values many;
  for (int i = 0; i < 40000; ++i) many.emplace_back("F" + std::to_string(i * 7919 % 100003), Ansi("字段"));
  const auto start = std::chrono::steady_clock::now();
  ini.ReplaceSection("S", many);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(ini.ReadSection("S").size(), many.size());
  EXPECT_LT(seconds, 5.0) << "a generous bound: one pass takes milliseconds, comparing every pair minutes";
}

}  // namespace
}  // namespace ryn
