#include "grid/grid_data.h"

#include <algorithm>

namespace ryn {

TGridData::TGridData(int32_t cols, int32_t rows) { Reset(cols, rows); }

void TGridData::Reset(int32_t cols, int32_t rows) {
  rows_.clear();
  cols_ = std::max(cols, 0);
  InsertRows(0, rows);
}

std::vector<IntfPtr<TGridCell>> TGridData::NewRow() const {
  std::vector<IntfPtr<TGridCell>> row;
  row.reserve(static_cast<size_t>(cols_));
  for (int32_t c = 0; c < cols_; ++c) row.push_back(MakeIntf<TGridCell>(c));
  return row;
}

IntfPtr<TGridCell> TGridData::GetCell(int32_t col, int32_t row) {
  if (col < 0 || col >= cols_ || row < 0 || row >= GetRowCount()) return nullptr;
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void TGridData::InsertRows(int32_t index, int32_t count) {
  if (count < 1 || index < 0 || index > GetRowCount()) return;
  std::vector<std::vector<IntfPtr<TGridCell>>> added;
  added.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) added.push_back(NewRow());
  rows_.insert(rows_.begin() + index, std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

void TGridData::DeleteRows(int32_t index, int32_t count) {
  const int32_t rows = GetRowCount();
  if (count < 1 || index < 0 || index >= rows) return;
  const int32_t last = count > rows - index ? rows : index + count;
  rows_.erase(rows_.begin() + index, rows_.begin() + last);
}

std::string TGridData::Text(int32_t col, int32_t row) {
  IntfPtr<TGridCell> cell = GetCell(col, row);
  return cell ? cell->GetText() : std::string();
}

void TGridData::SetText(int32_t col, int32_t row, std::string_view text) {
  if (IntfPtr<TGridCell> cell = GetCell(col, row)) cell->SetText(text);
}

}  // namespace ryn
