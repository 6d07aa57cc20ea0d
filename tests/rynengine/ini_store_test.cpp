#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ryn
