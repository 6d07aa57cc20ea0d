// The editable grid control: text cells under fixed heading rows and columns, a current
// cell, column widths, rows inserted and deleted, and cells the user types into. Its cells
// live behind GridCells, so a grid's data may belong to a model outside this library while
// any backend renders the view from here alone; until given a source it keeps its own.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"
#include "ui/handler.h"

namespace ryn::ui {

// Where a grid view's cells live. Indexes outside the grid read "" and change nothing.
class RYN_UI_API GridCells {
 public:
  virtual ~GridCells();
  virtual int ColCount() const = 0;
  virtual int RowCount() const = 0;
  virtual std::string Text(int col, int row) const = 0;
  virtual void SetText(int col, int row, std::string_view text) = 0;
  // count empty rows before row index; index = RowCount() appends.
  virtual void InsertRows(int index, int count) = 0;
  virtual void DeleteRows(int index, int count) = 0;
  // Every cell empty, at the new size.
  virtual void Reset(int cols, int rows) = 0;
};

// Cells held in memory: the view's own until it is given another source.
class RYN_UI_API MemoryGridCells final : public GridCells {
 public:
  int ColCount() const override { return cols_; }
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::string Text(int col, int row) const override;
  void SetText(int col, int row, std::string_view text) override;
  void InsertRows(int index, int count) override;
  void DeleteRows(int index, int count) override;
  void Reset(int cols, int rows) override;

 private:
  int cols_ = 0;
  std::vector<std::vector<std::string>> rows_;
};

// What the user may do besides moving the current cell.
enum GridOption : uint32_t {
  gaoDataEdit = 1,   // type into the cells that are not fixed
  gaoColReSize = 2,  // drag column widths
  gaoRowInsDel = 4,  // insert and delete rows with the keyboard
};

class RYN_UI_API GridView : public Control {
 public:
  // A grid never has fewer columns or rows.
  static constexpr int kMinCount = 2;
  static constexpr int kDefaultColWidth = 64;

  GridView();
  ~GridView() override;

  // The cells shown (null: cells of the view's own, empty). The grid is kept at least
  // kMinCount by kMinCount rows and columns where the source allows.
  void SetCells(std::shared_ptr<GridCells> cells);
  GridCells& Cells() const { return *cells_; }

  int ColCount() const { return cells_->ColCount(); }
  int RowCount() const { return cells_->RowCount(); }
  // An empty grid of that size, at least kMinCount of each: no cell keeps its text.
  void SetSize(int cols, int rows);
  std::string CellText(int col, int row) const { return cells_->Text(col, row); }
  void SetCellText(int col, int row, std::string_view text);

  // Heading rows and columns at the top and left: never current, never edited, never
  // inserted into or deleted. At most one fewer than the grid has.
  int FixedCols() const { return fixedCols_; }
  int FixedRows() const { return fixedRows_; }
  void SetFixed(int cols, int rows);

  // The current cell, always outside the fixed part while the grid has such cells.
  int CurrentCol() const;
  int CurrentRow() const;
  // False for a cell outside the grid or in the fixed part.
  bool SetCurrentCell(int col, int row);

  // An empty row at index (FixedRows() .. RowCount()); the current row keeps its index,
  // so a row inserted there becomes current. False for an index outside that range.
  bool InsertRow(int index);
  // Deletes the row at index (FixedRows() .. RowCount() - 1); a row the grid cannot lose
  // without going below kMinCount rows is emptied instead. False outside that range.
  bool DeleteRow(int index);

  uint32_t Options() const { return options_; }
  void SetOptions(uint32_t options);
  int ColWidth(int col) const;
  // Widths below 0 become 0; columns outside the grid are ignored.
  void SetColWidth(int col, int width);
  bool Border() const { return border_; }
  void SetBorder(bool border);

  // The cells changed behind the view's back (a transfer filled them): rows are added up
  // to kMinCount and the view shows them anew.
  void Refresh();

  // The user's path. Each is refused (false) when the option it needs is off or the cell
  // is outside the grid or fixed (any column of the grid may be resized).
  bool UserSelectCell(int col, int row);
  // Makes the cell current and replaces its text, as typing into it and leaving does.
  bool UserEditCell(int col, int row, std::string_view text);
  bool UserResizeColumn(int col, int width);
  // The insert and delete keys, at the current row.
  bool UserInsertRow();
  bool UserDeleteRow();
  // The down arrow key: the next row becomes current; on the last row an empty row is
  // appended first (needs gaoRowInsDel), so that rows can be added at the end.
  bool UserMoveDown();

  // After the current cell moved, and after the user changed a cell's text.
  Handler<void()> OnSelectCell;
  Handler<void(int col, int row)> OnCellEdited;

 private:
  bool Editable(int col, int row) const;

  std::shared_ptr<GridCells> cells_;
  std::vector<int> colWidths_;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int currentCol_ = 1;
  int currentRow_ = 1;
  uint32_t options_ = 0;
  bool border_ = true;
};

}  // namespace ryn::ui
