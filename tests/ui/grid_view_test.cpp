// The grid view's contract: never below two columns and two rows, a resize that leaves
// every cell empty, rows inserted and deleted at the edges with the fixed heading row out
// of reach, a current cell that stays in the grid's body, the user's edits, column
// resizing and keys refused without their options, and cells living in another source.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ui_driver.h"
#include "ui/grid_view.h"

namespace ryn::ui {
namespace {

struct ShownForm : Form {
  ShownForm() { Show(); }
};

// Column 1's texts, row by row, joined by "|".
std::string Column1(const GridView& g) {
  std::string s;
  for (int r = 0; r < g.RowCount(); ++r) s += (r ? "|" : "") + g.CellText(1, r);
  return s;
}

// A grid of 3 columns whose column 1 reads "h|a|b|c".
void Fill(GridView& g) {
  g.SetSize(3, 4);
  const char* texts[] = {"h", "a", "b", "c"};
  for (int r = 0; r < 4; ++r) g.SetCellText(1, r, texts[r]);
}

TEST(GridView, NeverSmallerThanTwoByTwoAndEmptyAfterAResize) {
  struct Case {
    int cols, rows, wantCols, wantRows;
  } cases[] = {{3, 51, 3, 51}, {0, 0, 2, 2}, {1, 5, 2, 5}, {-3, 1, 2, 2}, {2, 2, 2, 2}};
  for (const Case& c : cases) {
    GridView g;
    Fill(g);
    g.SetCellText(0, 0, "corner");
    g.SetSize(c.cols, c.rows);
    EXPECT_EQ(g.ColCount(), c.wantCols) << c.cols << "x" << c.rows;
    EXPECT_EQ(g.RowCount(), c.wantRows) << c.cols << "x" << c.rows;
    for (int r = 0; r < g.RowCount(); ++r)
      for (int col = 0; col < g.ColCount(); ++col) EXPECT_EQ(g.CellText(col, r), "") << col << "," << r;
  }
  GridView fresh;
  EXPECT_EQ(fresh.ColCount(), 2);
  EXPECT_EQ(fresh.RowCount(), 2);
  EXPECT_EQ(fresh.CellText(5, 0), "");  // outside reads empty
  fresh.SetCellText(5, 0, "x");         // and takes nothing
  EXPECT_EQ(fresh.CellText(5, 0), "");
}

TEST(GridView, InsertAndDeleteRowsAtTheEdges) {
  struct Case {
    const char* what;
    std::function<bool(GridView&)> act;
    bool done;
    const char* rows;
  } cases[] = {
      {"insert into the heading row", [](GridView& g) { return g.InsertRow(0); }, false, "h|a|b|c"},
      {"insert before the first data row", [](GridView& g) { return g.InsertRow(1); }, true, "h||a|b|c"},
      {"append", [](GridView& g) { return g.InsertRow(4); }, true, "h|a|b|c|"},
      {"insert past the end", [](GridView& g) { return g.InsertRow(5); }, false, "h|a|b|c"},
      {"delete the heading row", [](GridView& g) { return g.DeleteRow(0); }, false, "h|a|b|c"},
      {"delete the first data row", [](GridView& g) { return g.DeleteRow(1); }, true, "h|b|c"},
      {"delete the last row", [](GridView& g) { return g.DeleteRow(3); }, true, "h|a|b"},
      {"delete past the end", [](GridView& g) { return g.DeleteRow(4); }, false, "h|a|b|c"},
      {"delete at -1", [](GridView& g) { return g.DeleteRow(-1); }, false, "h|a|b|c"},
      {"delete down to two rows, then empty the last",
       [](GridView& g) { return g.DeleteRow(1) && g.DeleteRow(1) && g.DeleteRow(1); }, true, "h|"},
  };
  for (const Case& c : cases) {
    GridView g;
    Fill(g);
    EXPECT_EQ(c.act(g), c.done) << c.what;
    EXPECT_EQ(Column1(g), c.rows) << c.what;
    EXPECT_EQ(g.ColCount(), 3) << c.what;
  }
}

TEST(GridView, TheCurrentCellStaysInTheBody) {
  GridView g;
  Fill(g);
  EXPECT_EQ(g.CurrentCol(), 1);
  EXPECT_EQ(g.CurrentRow(), 1);
  EXPECT_FALSE(g.SetCurrentCell(0, 2));  // fixed column
  EXPECT_FALSE(g.SetCurrentCell(1, 0));  // heading row
  EXPECT_FALSE(g.SetCurrentCell(3, 1));  // outside
  ASSERT_TRUE(g.SetCurrentCell(2, 3));
  g.DeleteRow(3);
  EXPECT_EQ(g.CurrentRow(), 2);  // the last row now
  g.InsertRow(g.CurrentRow());   // the new empty row takes the current row's place
  EXPECT_EQ(g.CurrentRow(), 2);
  EXPECT_EQ(Column1(g), "h|a||b");
  g.SetSize(3, 2);
  EXPECT_EQ(g.CurrentRow(), 1);
  EXPECT_EQ(g.CurrentCol(), 2);
  g.SetFixed(5, 5);  // at most one fewer than the grid has
  EXPECT_EQ(g.FixedCols(), 2);
  EXPECT_EQ(g.FixedRows(), 1);
}

TEST(GridView, WhatTheUserMayDoFollowsTheOptions) {
  ShownForm form;
  GridView& g = form.Create<GridView>("grid");
  Fill(g);
  std::vector<std::string> heard;
  g.OnCellEdited = [&](int col, int row) { heard.push_back(std::to_string(col) + "," + std::to_string(row)); };
  g.OnSelectCell = [&] { heard.push_back("select"); };

  EXPECT_FALSE(EditCellText(g, 1, 2, "typed"));  // no editing mode yet
  EXPECT_FALSE(ResizeColumn(g, 1, 120));
  EXPECT_FALSE(PressInsertRow(g));
  EXPECT_FALSE(PressDeleteRow(g));
  EXPECT_TRUE(PressArrowDown(g));  // moving needs no option
  ASSERT_TRUE(SelectCell(g, 1, 1));
  heard.clear();
  EXPECT_EQ(Column1(g), "h|a|b|c");

  g.SetOptions(gaoDataEdit | gaoColReSize | gaoRowInsDel);
  struct Case {
    const char* what;
    std::function<bool()> act;
    bool done;
    const char* rows;
  } cases[] = {
      {"type into a body cell", [&] { return EditCellText(g, 1, 2, " typed"); }, true, "h|a| typed|c"},
      {"type into the heading", [&] { return EditCellText(g, 1, 0, "x"); }, false, "h|a| typed|c"},
      {"type into the fixed column", [&] { return EditCellText(g, 0, 1, "x"); }, false, "h|a| typed|c"},
      {"type outside", [&] { return EditCellText(g, 1, 9, "x"); }, false, "h|a| typed|c"},
      {"insert key at the current row", [&] { return PressInsertRow(g); }, true, "h|a|| typed|c"},
      {"delete key at the current row", [&] { return PressDeleteRow(g); }, true, "h|a| typed|c"},
      {"down arrow to the last row", [&] { return PressArrowDown(g); }, true, "h|a| typed|c"},
      {"down arrow past the last row appends", [&] { return PressArrowDown(g); }, true, "h|a| typed|c|"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.act(), c.done) << c.what;
    EXPECT_EQ(Column1(g), c.rows) << c.what;
  }
  EXPECT_EQ(heard, (std::vector<std::string>{"select", "1,2", "select", "select"}));
  EXPECT_EQ(g.CurrentRow(), 4);
  g.SetOptions(gaoDataEdit);
  EXPECT_FALSE(PressArrowDown(g));  // no rows added without the option
  EXPECT_EQ(g.RowCount(), 5);
  g.SetOptions(gaoColReSize);

  EXPECT_EQ(g.ColWidth(0), int{GridView::kDefaultColWidth});  // a value: the DLL exports no constant
  EXPECT_TRUE(ResizeColumn(g, 0, 20));  // fixed columns are resized like any other
  EXPECT_TRUE(ResizeColumn(g, 2, -5));
  EXPECT_FALSE(ResizeColumn(g, 3, 10));
  EXPECT_EQ(g.ColWidth(0), 20);
  EXPECT_EQ(g.ColWidth(2), 0);

  g.Hide();
  EXPECT_FALSE(SelectCell(g, 1, 1));
  EXPECT_FALSE(EditCellText(g, 1, 1, "hidden"));
}

// Cells kept outside the view, whose rows a transfer changes behind its back.
class SharedCells : public GridCells {
 public:
  MemoryGridCells cells;
  int ColCount() const override { return cells.ColCount(); }
  int RowCount() const override { return cells.RowCount(); }
  std::string Text(int col, int row) const override { return cells.Text(col, row); }
  void SetText(int col, int row, std::string_view text) override { cells.SetText(col, row, text); }
  void InsertRows(int index, int count) override { cells.InsertRows(index, count); }
  void DeleteRows(int index, int count) override { cells.DeleteRows(index, count); }
  void Reset(int cols, int rows) override { cells.Reset(cols, rows); }
};

TEST(GridView, CellsOfAnotherSource) {
  auto source = std::make_shared<SharedCells>();
  source->Reset(3, 1);
  source->SetText(1, 0, "h");
  GridView g;
  g.SetCells(source);
  EXPECT_EQ(g.RowCount(), 2);  // padded to the least a grid has
  EXPECT_EQ(Column1(g), "h|");

  source->InsertRows(2, 100);
  ASSERT_TRUE(g.SetCurrentCell(1, 90));
  source->SetText(1, 1, "record");
  source->DeleteRows(2, 100);  // what a transfer's end does
  g.Refresh();
  EXPECT_EQ(g.CurrentRow(), 1);
  EXPECT_EQ(Column1(g), "h|record");
  EXPECT_TRUE(g.DeleteRow(1));  // the last body row is emptied, not removed
  EXPECT_EQ(source->RowCount(), 2);
  EXPECT_EQ(source->Text(1, 1), "");

  g.SetCells(nullptr);  // back to cells of its own
  EXPECT_EQ(g.RowCount(), 2);
  EXPECT_EQ(Column1(g), "|");
}

// A backend hears of every change to the grid, so that it can draw it anew.
TEST(GridView, ABackendHearsOfChanges) {
  struct Peer : ControlPeer {
    Peer(std::vector<Change>& log, bool grid) : log(log), grid(grid) {}
    void Changed(Change what) override {
      if (grid) log.push_back(what);
    }
    std::vector<Change>& log;
    bool grid;
  };
  struct Recording : Backend {
    std::unique_ptr<ControlPeer> CreatePeer(Control& control) override {
      return std::make_unique<Peer>(log, control.Kind() == ControlKind::kGridView);
    }
    std::vector<Change> log;
  } backend;
  Application::Instance().SetBackend(&backend);
  {
    ShownForm form;
    GridView& g = form.Create<GridView>("grid");
    backend.log.clear();
    g.SetOptions(gaoDataEdit);
    g.SetSize(3, 3);
    g.SetCellText(1, 1, "a");
    g.SetCurrentCell(2, 2);
    g.InsertRow(1);
    g.SetColWidth(1, 80);
    EditCellText(g, 1, 1, "b");
    EXPECT_EQ(backend.log, (std::vector<Change>{Change::kStyle, Change::kItems, Change::kText, Change::kCurrentCell,
                                                Change::kItems, Change::kColumns, Change::kCurrentCell, Change::kText}));
  }
  Application::Instance().SetBackend(nullptr);
}

}  // namespace
}  // namespace ryn::ui
