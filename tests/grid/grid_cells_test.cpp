// A grid view bound to grid data: what a grid destination writes shows in the view once
// it is refreshed, what the user types reaches the data, and a resize gives the data new,
// empty cells that a destination then fills.
#include <gtest/gtest.h>

#include <string>

#include "grid/grid_cells.h"
#include "transfer/grid_export.h"
#include "transport/custom_field.h"
#include "support/ui_driver.h"

namespace ryn {
namespace {

TEST(GridCells, TheViewShowsAndEditsTheDataADestinationFills) {
  ui::Form form;
  form.Show();
  ui::GridView& view = form.Create<ui::GridView>("grid");
  view.SetOptions(ui::gaoDataEdit);
  IntfPtr<TGridData> data = BindGridData(view);
  view.SetSize(3, 51);
  EXPECT_EQ(data->GetRowCount(), 51);
  EXPECT_EQ(data->GetColCount(), 3);
  view.SetCellText(1, 0, "code");
  view.SetCellText(2, 0, "name");
  ASSERT_TRUE(ui::SelectCell(view, 2, 50));

  auto engine = MakeIntf<TGridExport>();
  engine->SetGridData(data.get());
  for (const char* value : {"a", "b"}) {
    engine->Append();
    engine->FindField("CODE").Query<IFieldWriter>()->SetAsString(value);
    engine->Post();
  }
  engine->Fina();
  view.Refresh();
  EXPECT_EQ(view.RowCount(), 3);
  EXPECT_EQ(view.CurrentRow(), 2);  // the row it stood on is gone
  EXPECT_EQ(view.CellText(1, 1) + view.CellText(1, 2), "ab");

  ASSERT_TRUE(ui::EditCellText(view, 2, 1, "typed"));
  EXPECT_EQ(data->Text(2, 1), "typed");
  IntfPtr<TGridCell> old = data->GetCell(1, 1);
  view.SetSize(3, 2);
  EXPECT_EQ(old->GetText(), "a");  // a cell still held elsewhere is no longer the grid's
  EXPECT_EQ(data->Text(1, 1), "");
  EXPECT_EQ(data->GetCell(2, 1)->GetCol(), 2);
}

TEST(GridCells, ATransferThatEndsBeforeItsFirstPostLeavesTheViewTwoRows) {
  ui::GridView view;
  IntfPtr<TGridData> data = BindGridData(view);
  view.SetSize(3, 5);
  auto engine = MakeIntf<TGridExport>();
  engine->SetGridData(data.get());
  engine->Append();
  engine->Fina();  // cuts the grid to the heading row alone
  EXPECT_EQ(data->GetRowCount(), 1);
  view.Refresh();
  EXPECT_EQ(view.RowCount(), 2);
  EXPECT_EQ(view.CurrentRow(), 1);
  EXPECT_EQ(data->GetCell(2, 1)->GetCol(), 2);
}

}  // namespace
}  // namespace ryn
