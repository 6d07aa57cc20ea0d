// The data of an editable grid: rows of cells that hold text and know their column. The
// grid destination fills it record by record; grid_cells.h shows it in a grid view.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transport/intf.h"
#include "transport/object.h"

namespace ryn {

class TGridCell final : public TInterfacedObject {
 public:
  explicit TGridCell(int32_t col) : col_(col) {}
  const std::string& GetText() const { return text_; }
  void SetText(std::string_view text) { text_ = text; }
  int32_t GetCol() const { return col_; }

 private:
  int32_t col_;
  std::string text_;
};

struct IGridData : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{5C0E3B9A-7D21-4F08-9B6E-2A4C51D8E7F3}");
  virtual int32_t GetColCount() = 0;
  virtual int32_t GetRowCount() = 0;
  // Null outside the grid.
  virtual IntfPtr<TGridCell> GetCell(int32_t col, int32_t row) = 0;
  // count empty rows before row index (index = row count appends); indexes outside
  // 0..row count and counts below 1 change nothing.
  virtual void InsertRows(int32_t index, int32_t count) = 0;
  // Up to count rows from index on; the part outside the grid is ignored.
  virtual void DeleteRows(int32_t index, int32_t count) = 0;
};

class TGridData final : public TInterfacedObject, public virtual IGridData {
 public:
  TGridData(int32_t cols, int32_t rows);

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IGridData>(this, iid, obj); }
  int32_t GetColCount() override { return cols_; }
  int32_t GetRowCount() override { return static_cast<int32_t>(rows_.size()); }
  IntfPtr<TGridCell> GetCell(int32_t col, int32_t row) override;
  void InsertRows(int32_t index, int32_t count) override;
  void DeleteRows(int32_t index, int32_t count) override;

  // Convenience for the grid's users: the text of a cell ("" outside) and setting it.
  std::string Text(int32_t col, int32_t row);
  void SetText(int32_t col, int32_t row, std::string_view text);
  // New, empty cells at that size (negative sizes count as 0).
  void Reset(int32_t cols, int32_t rows);

 private:
  std::vector<IntfPtr<TGridCell>> NewRow() const;

  int32_t cols_;
  std::vector<std::vector<IntfPtr<TGridCell>>> rows_;
};

}  // namespace ryn
