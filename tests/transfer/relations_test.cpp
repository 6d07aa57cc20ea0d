#include "transfer/relations.h"

#include <gtest/gtest.h>

namespace ryn {
namespace {

std::vector<TRelationRow> Rows(size_t n) {
  std::vector<TRelationRow> rows;
  for (size_t i = 0; i < n; ++i) rows.push_back({"F" + std::to_string(i), ""});
  return rows;
}

TEST(Relations, ReadsMappingsAndFilterFromScriptLines) {
  struct Case {
    const char* script;
    size_t row;
    const char* value;  // expected value of that row
  } cases[] = {
      {"Export(3)=Import(1)", 3, "Import(1)"},
      {"  export(3) =  x  \r\n", 3, "x"},
      {"EXPORT(+2)=a=b", 2, "a=b"},           // the first "=" splits
      {"Export()=zero", 0, "zero"},            // no digits read as 0
      {"Export(1x)=y", 1, "y"},                // digits end at the first other byte
      {"Export(1)=   ", 1, ""},                // an empty side maps nothing
      {"Export(9)=far", 4, ""},                // no field 9 on five fields
      {"Export(-1)=neg", 0, ""},
      {"Export(99999999999)=big", 0, ""},
      {"Export(2)", 2, ""},                    // no "="
      {"Exp(2)=a", 2, ""},
      {"Export(1)=a\nExport(1)=b", 1, "b"},    // the later line wins
      {"Export(1)=a\r\rExport(2)=c", 2, "c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    auto rows = Rows(5);
    std::string filter;
    ReadRelations(c.script, rows, filter);
    EXPECT_EQ(rows[c.row].value, c.value);
    EXPECT_EQ(filter, "");
  }
}

TEST(Relations, FilterLineIsRecognisedByItsTrimmedLeftSide) {
  struct Case {
    const char* script;
    const char* filter;
  } cases[] = {
      {"Filter=a>0", "a>0"},
      {"  filter  =  a > 0 \r\nExport(0)=1", "a > 0"},
      {"FILTER=x=1", "x=1"},
      {"Filters=a", ""},
      {"Filter", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    auto rows = Rows(2);
    std::string filter;
    ReadRelations(c.script, rows, filter);
    EXPECT_EQ(filter, c.filter);
  }
}

TEST(Relations, WritesFilterFirstAndOneLinePerMappedField) {
  auto indexOf = [](std::string_view name) -> int32_t {
    if (name == "A") return 0;
    if (name == "B") return 4;
    return -1;
  };
  std::vector<TRelationRow> rows = {
      {"A", "Import(1) "}, {" B ", "x"}, {"C", "y"}, {"A", " \t\r\n"}, {"B", "z"}};
  TRelationScript out = WriteRelations("  a>0 ", rows, indexOf);
  // The value is kept as entered; a later row of the same field replaces the line in place.
  EXPECT_EQ(out.script, "Filter=a>0\r\nExport(0)=Import(1) \r\nExport(4)=z\r\n");
  ASSERT_EQ(out.unknownRows.size(), 1u);
  EXPECT_EQ(out.unknownRows[0], "C");

  EXPECT_EQ(WriteRelations(" \t", {{"A", ""}}, indexOf).script, "");
}

TEST(Relations, ReadingBackWhatWasWrittenGivesTheSameRows) {
  auto rows = Rows(4);
  rows[1].value = "Import(2) & \"x\"";
  rows[3].value = "IF a>0 THEN 1 ELSE 2";
  auto indexOf = [](std::string_view name) -> int32_t { return name[1] - '0'; };
  TRelationScript out = WriteRelations("b<>1", rows, indexOf);
  auto back = Rows(4);
  std::string filter;
  ReadRelations(out.script, back, filter);
  EXPECT_EQ(filter, "b<>1");
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(back[i].value, rows[i].value) << i;
}

}  // namespace
}  // namespace ryn
