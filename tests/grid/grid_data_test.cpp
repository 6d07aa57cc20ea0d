// Inserting and deleting rows of the grid data, and cells that know their column.
#include <gtest/gtest.h>

#include "grid/grid_data.h"

namespace ryn {
namespace {

// The first column's texts, row by row, joined by "|".
std::string Column0(TGridData& g) {
  std::string s;
  for (int32_t r = 0; r < g.GetRowCount(); ++r) s += (r ? "|" : "") + g.Text(0, r);
  return s;
}

TEST(GridData, InsertAndDeleteRows) {
  struct Case {
    const char* what;
    void (*act)(TGridData&);
    const char* rows;
  } cases[] = {
      {"insert before the first", [](TGridData& g) { g.InsertRows(0, 2); }, "||a|b|c"},
      {"append", [](TGridData& g) { g.InsertRows(3, 1); }, "a|b|c|"},
      {"insert past the end", [](TGridData& g) { g.InsertRows(4, 1); }, "a|b|c"},
      {"insert none", [](TGridData& g) { g.InsertRows(1, 0); }, "a|b|c"},
      {"delete the middle", [](TGridData& g) { g.DeleteRows(1, 1); }, "a|c"},
      {"delete more than there is", [](TGridData& g) { g.DeleteRows(1, 2147483647); }, "a"},
      {"delete outside", [](TGridData& g) { g.DeleteRows(3, 1); }, "a|b|c"},
      {"delete from a negative index", [](TGridData& g) { g.DeleteRows(-1, 2); }, "a|b|c"},
  };
  for (const Case& c : cases) {
    TGridData g(2, 3);
    g.SetText(0, 0, "a");
    g.SetText(0, 1, "b");
    g.SetText(0, 2, "c");
    c.act(g);
    EXPECT_EQ(Column0(g), c.rows) << c.what;
  }
}

TEST(GridData, CellsKnowTheirColumnAndOutsideIsNull) {
  TGridData g(3, 2);
  g.InsertRows(1, 1);
  for (int32_t col = 0; col < 3; ++col) EXPECT_EQ(g.GetCell(col, 1)->GetCol(), col);
  EXPECT_FALSE(g.GetCell(3, 0));
  EXPECT_FALSE(g.GetCell(0, 3));
  EXPECT_FALSE(g.GetCell(-1, 0));
  g.SetText(5, 5, "nowhere");
  EXPECT_EQ(g.Text(5, 5), "");
  // A cell held by a user outlives the deletion of its row.
  IntfPtr<TGridCell> held = g.GetCell(1, 0);
  held->SetText("x");
  g.DeleteRows(0, 3);
  EXPECT_EQ(g.GetRowCount(), 0);
  EXPECT_EQ(held->GetText(), "x");
}

}  // namespace
}  // namespace ryn
