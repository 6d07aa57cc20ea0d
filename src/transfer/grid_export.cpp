#include "transfer/grid_export.h"

#include "platform/text.h"

namespace ryn {
namespace {

// Rows the grid grows by, so that a transfer resizes it once per hundred records.
constexpr int32_t kGrowRows = 100;

}  // namespace

std::string TCellWriterFiled::GetName() {
  if (!FCell || !FEngine->FGridData) return std::string();
  IntfPtr<TGridCell> heading = FEngine->FGridData->GetCell(FCell->GetCol(), FEngine->FHeaderRow);
  return heading ? heading->GetText() : std::string();
}

TGridExport::TGridExport() : FCellWriter(std::make_unique<TCellWriterFiled>(this, static_cast<ITransEngine*>(this))) {}

TGridExport::~TGridExport() = default;

int32_t TGridExport::QueryInterface(const TGUID& iid, void** obj) {
  // The attached sink answers for the engine.
  if (AnswerFor(FEvents, iid, obj)) return kS_OK;
  return QueryInterfaces<ITransEngine, IExport>(this, iid, obj);
}

IntfPtr<ITransPort> TGridExport::GetPort() {
  if (!FGridData) return nullptr;
  return static_cast<IExport*>(this);
}

int32_t TGridExport::GetFieldCount() {
  if (!FGridData) return 0;
  int32_t cols = FGridData->GetColCount();
  return cols > 1 ? cols - 1 : 0;
}

IntfPtr<ITransField> TGridExport::Bind(int32_t col) {
  FCellWriter->FCell = FGridData->GetCell(col, FCurrentRow);
  if (!FCellWriter->FCell) return nullptr;
  return static_cast<ITransField*>(FCellWriter.get());
}

IntfPtr<ITransField> TGridExport::GetField(int32_t index) {
  if (index < 0 || index >= GetFieldCount()) return nullptr;
  return Bind(index + 1);
}

IntfPtr<ITransField> TGridExport::FindField(std::string_view name) {
  const int32_t cols = FGridData ? FGridData->GetColCount() : 0;
  for (int32_t c = 1; c < cols; ++c) {
    IntfPtr<TGridCell> heading = FGridData->GetCell(c, FHeaderRow);
    if (heading && SameTextAscii(heading->GetText(), name)) return Bind(c);
  }
  return nullptr;
}

void TGridExport::Append() {
  if (FCurrentRow <= FHeaderRow) FCurrentRow = FHeaderRow + 1;
  if (!FGridData) return;
  const int32_t rows = FGridData->GetRowCount();
  if (FCurrentRow < rows) return;
  // Whole blocks of rows, enough even when rows were taken from the grid meanwhile.
  FGridData->InsertRows(rows, (FCurrentRow - rows) / kGrowRows * kGrowRows + kGrowRows);
}

void TGridExport::Fina() {
  if (!FGridData || FCurrentRow <= 0) return;
  const int32_t rows = FGridData->GetRowCount();
  if (rows > FCurrentRow) FGridData->DeleteRows(FCurrentRow, rows - FCurrentRow);
}

}  // namespace ryn
