#include "grid/grid_cells.h"

#include <memory>

namespace ryn {

IntfPtr<TGridData> BindGridData(ui::GridView& view) {
  auto data = MakeIntf<TGridData>(view.ColCount(), view.RowCount());
  view.SetCells(std::make_shared<TGridDataCells>(data));
  return data;
}

}  // namespace ryn
