// A grid view's cells kept in a TGridData: the view shows and edits the very data that a
// grid destination fills, and the windowing adapter stays free of the data model.
#pragma once

#include <string>
#include <string_view>

#include "grid/grid_data.h"
#include "ui/grid_view.h"

namespace ryn {

class TGridDataCells final : public ui::GridCells {
 public:
  explicit TGridDataCells(IntfPtr<TGridData> data) : data_(std::move(data)) {}

  TGridData& Data() const { return *data_; }

  int ColCount() const override { return data_->GetColCount(); }
  int RowCount() const override { return data_->GetRowCount(); }
  std::string Text(int col, int row) const override { return data_->Text(col, row); }
  void SetText(int col, int row, std::string_view text) override { data_->SetText(col, row, text); }
  void InsertRows(int index, int count) override { data_->InsertRows(index, count); }
  void DeleteRows(int index, int count) override { data_->DeleteRows(index, count); }
  void Reset(int cols, int rows) override { data_->Reset(cols, rows); }

 private:
  IntfPtr<TGridData> data_;
};

// A grid view showing a new grid data object of its own size; the data, for a grid
// destination to fill.
IntfPtr<TGridData> BindGridData(ui::GridView& view);

}  // namespace ryn
