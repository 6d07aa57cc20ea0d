#include "ui/grid_view.h"

#include <algorithm>

#include "ui/application.h"

namespace ryn::ui {
namespace {

void Fire(const std::function<void()>& handler) {
  if (handler) Application::Instance().Guard(handler);
}

// lo when the range is empty (hi below lo).
int Bound(int value, int lo, int hi) { return std::max(lo, std::min(value, hi)); }

}  // namespace

GridCells::~GridCells() = default;

std::string MemoryGridCells::Text(int col, int row) const {
  if (col < 0 || col >= cols_ || row < 0 || row >= RowCount()) return std::string();
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void MemoryGridCells::SetText(int col, int row, std::string_view text) {
  if (col < 0 || col >= cols_ || row < 0 || row >= RowCount()) return;
  rows_[static_cast<size_t>(row)][static_cast<size_t>(col)] = text;
}

void MemoryGridCells::InsertRows(int index, int count) {
  if (count < 1 || index < 0 || index > RowCount()) return;
  rows_.insert(rows_.begin() + index, static_cast<size_t>(count), std::vector<std::string>(static_cast<size_t>(cols_)));
}

void MemoryGridCells::DeleteRows(int index, int count) {
  if (count < 1 || index < 0 || index >= RowCount()) return;
  const int last = count > RowCount() - index ? RowCount() : index + count;
  rows_.erase(rows_.begin() + index, rows_.begin() + last);
}

void MemoryGridCells::Reset(int cols, int rows) {
  cols_ = std::max(cols, 0);
  rows_.assign(static_cast<size_t>(std::max(rows, 0)), std::vector<std::string>(static_cast<size_t>(cols_)));
}

GridView::GridView() : Control(ControlKind::kGridView) { SetCells(nullptr); }

GridView::~GridView() = default;

void GridView::SetCells(std::shared_ptr<GridCells> cells) {
  if (!cells) {
    cells = std::make_shared<MemoryGridCells>();
    cells->Reset(kMinCount, kMinCount);
  }
  cells_ = std::move(cells);
  Refresh();
}

void GridView::SetSize(int cols, int rows) {
  cells_->Reset(std::max(cols, kMinCount), std::max(rows, kMinCount));
  Refresh();
}

void GridView::SetCellText(int col, int row, std::string_view text) {
  cells_->SetText(col, row, text);
  Changed(Change::kText);
}

void GridView::SetFixed(int cols, int rows) {
  fixedCols_ = Bound(cols, 0, ColCount() - 1);
  fixedRows_ = Bound(rows, 0, RowCount() - 1);
  Changed(Change::kStyle);
}

int GridView::CurrentCol() const { return Bound(currentCol_, fixedCols_, ColCount() - 1); }

int GridView::CurrentRow() const { return Bound(currentRow_, fixedRows_, RowCount() - 1); }

bool GridView::Editable(int col, int row) const {
  return col >= fixedCols_ && col < ColCount() && row >= fixedRows_ && row < RowCount();
}

bool GridView::SetCurrentCell(int col, int row) {
  if (!Editable(col, row)) return false;
  currentCol_ = col;
  currentRow_ = row;
  Changed(Change::kCurrentCell);
  return true;
}

bool GridView::InsertRow(int index) {
  if (index < fixedRows_ || index > RowCount()) return false;
  cells_->InsertRows(index, 1);
  Changed(Change::kItems);
  return true;
}

bool GridView::DeleteRow(int index) {
  if (index < fixedRows_ || index >= RowCount()) return false;
  if (RowCount() > kMinCount) {
    cells_->DeleteRows(index, 1);
  } else {
    for (int c = 0; c < ColCount(); ++c) cells_->SetText(c, index, {});
  }
  currentRow_ = CurrentRow();
  Changed(Change::kItems);
  return true;
}

void GridView::SetOptions(uint32_t options) {
  options_ = options;
  Changed(Change::kStyle);
}

int GridView::ColWidth(int col) const {
  if (col < 0 || col >= ColCount()) return 0;
  return static_cast<size_t>(col) < colWidths_.size() ? colWidths_[static_cast<size_t>(col)] : kDefaultColWidth;
}

void GridView::SetColWidth(int col, int width) {
  if (col < 0 || col >= ColCount()) return;
  if (colWidths_.size() <= static_cast<size_t>(col)) colWidths_.resize(static_cast<size_t>(col) + 1, kDefaultColWidth);
  colWidths_[static_cast<size_t>(col)] = std::max(width, 0);
  Changed(Change::kColumns);
}

void GridView::SetBorder(bool border) {
  border_ = border;
  Changed(Change::kStyle);
}

void GridView::Refresh() {
  if (RowCount() < kMinCount) cells_->InsertRows(RowCount(), kMinCount - RowCount());
  fixedCols_ = Bound(fixedCols_, 0, ColCount() - 1);
  fixedRows_ = Bound(fixedRows_, 0, RowCount() - 1);
  currentCol_ = CurrentCol();
  currentRow_ = CurrentRow();
  Changed(Change::kItems);
}

bool GridView::UserSelectCell(int col, int row) {
  if (!SetCurrentCell(col, row)) return false;
  Fire(OnSelectCell);
  return true;
}

bool GridView::UserEditCell(int col, int row, std::string_view text) {
  if (!(options_ & gaoDataEdit) || !UserSelectCell(col, row)) return false;
  SetCellText(col, row, text);
  if (OnCellEdited) Application::Instance().Guard([&] { OnCellEdited(col, row); });
  return true;
}

bool GridView::UserResizeColumn(int col, int width) {
  if (!(options_ & gaoColReSize) || col < 0 || col >= ColCount()) return false;
  SetColWidth(col, width);
  return true;
}

bool GridView::UserInsertRow() { return (options_ & gaoRowInsDel) && InsertRow(CurrentRow()); }

bool GridView::UserDeleteRow() { return (options_ & gaoRowInsDel) && DeleteRow(CurrentRow()); }

bool GridView::UserMoveDown() {
  const int next = CurrentRow() + 1;
  if (next >= RowCount() && !((options_ & gaoRowInsDel) && InsertRow(RowCount()))) return false;
  return UserSelectCell(CurrentCol(), next);
}

}  // namespace ryn::ui
