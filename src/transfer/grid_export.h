// TGridExport, a destination engine that writes the records of a transfer into the rows
// of a grid below its heading row; the heading texts name the fields (column 0 is never
// a field). TCellWriterFiled is its single field object, bound to a cell of the current
// row by every lookup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "grid/grid_data.h"
#include "transport/custom_field.h"
#include "transport/field_types.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn {

class TGridExport;

class TCellWriterFiled final : public TCustomFiledWriter {
 public:
  // owner: the engine's basic interface, to which reference counting is forwarded.
  TCellWriterFiled(TGridExport* engine, IInterface* owner) : TCustomFiledWriter(owner), FEngine(engine) {}

  // The text of the heading cell of the field's column.
  std::string GetName() override;
  void SetName(std::string_view) override {}
  int32_t GetDataType() override { return kFtString; }
  int32_t GetIndex() override { return FCell ? FCell->GetCol() - 1 : -1; }
  void SetAsString(std::string_view value) override {
    if (FCell) FCell->SetText(value);
  }

  IntfPtr<TGridCell> FCell;

 private:
  TGridExport* FEngine;
};

class TGridExport final : public TInterfacedObject, public virtual ITransEngine, public virtual IExport {
 public:
  TGridExport();
  ~TGridExport() override;

  int32_t QueryInterface(const TGUID& iid, void** obj) override;

  // ITransEngine
  std::string GetName() override { return "GridDataExport"; }
  int32_t GetEngineType() override { return kDirectionDestination; }
  IntfPtr<ITransPort> GetPort() override;
  void SetEvents(ITransEvents* events) override { FEvents = events; }
  bool Init(int32_t direction) override { return direction == kDirectionDestination; }
  bool IsActive() override { return true; }
  // Deletes the rows left below the last record written.
  void Fina() override;
  IntfPtr<IEngineConfig> GetConfig() override { return nullptr; }
  std::string GetOptions() override { return std::string(); }
  int32_t SetOptions(std::string_view) override { return 0; }
  bool Established() override { return true; }

  // ITransPort / IExport: the fields are the columns 1 .. C - 1.
  int32_t GetFieldCount() override;
  IntfPtr<ITransField> FindField(std::string_view name) override;
  IntfPtr<ITransField> GetField(int32_t index) override;
  void SetFieldCount(int32_t) override {}
  void SetFieldType(int32_t, int32_t) override {}
  // Moves below the heading row and grows the grid by 100 rows when it is full.
  void Append() override;
  void Post() override { ++FCurrentRow; }

  // The grid to fill; set by the creator before the engine is used.
  void SetGridData(IGridData* grid) { FGridData = grid; }
  IGridData* GridData() const { return FGridData.get(); }
  int32_t HeaderRow() const { return FHeaderRow; }
  int32_t CurrentRow() const { return FCurrentRow; }

 private:
  friend class TCellWriterFiled;

  IntfPtr<ITransField> Bind(int32_t col);

  IntfPtr<IGridData> FGridData;
  int32_t FHeaderRow = 0;
  int32_t FCurrentRow = 0;
  std::unique_ptr<TCellWriterFiled> FCellWriter;
  IntfPtr<ITransEvents> FEvents;
};

}  // namespace ryn
