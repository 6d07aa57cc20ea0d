// In-process engines over small tables for transfer tests. TableSource serves rows of
// texts, each read by its column's type code (numbers parsed, dates as day numbers,
// GUIDs braced); TableDest records what is posted, as texts, and every call that shapes
// its field list. Both can hand out one field object that every lookup re-points, as
// the exchange file engine does.
#pragma once

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/float_format.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/custom_field.h"
#include "transport/guid.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn::testing {

struct Column {
  std::string name;
  int32_t type;
};

class TableSource;

class TableField final : public TCustomTransField, public virtual IFieldReader {
 public:
  TableField(TableSource* source, IInterface* owner, int32_t index)
      : TCustomTransField(owner), index_(index), source_(source) {}
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IFieldReader>(this, iid, obj); }
  std::string GetName() override;
  int32_t GetDataType() override;
  int32_t GetIndex() override { return index_; }
  bool IsEmpty() override { return Text().empty(); }
  bool GetAsBoolean() override { return Text() == "1"; }
  uint8_t GetAsByte() override { return static_cast<uint8_t>(Int()); }
  uint16_t GetAsWord() override { return static_cast<uint16_t>(Int()); }
  uint32_t GetAsLongWord() override { return static_cast<uint32_t>(Int()); }
  int8_t GetAsShortInt() override { return static_cast<int8_t>(Int()); }
  int16_t GetAsSmallInt() override { return static_cast<int16_t>(Int()); }
  int32_t GetAsInteger() override { return static_cast<int32_t>(Int()); }
  int64_t GetAsInt64() override { return Int(); }
  float GetAsSingle() override { return std::strtof(Text().c_str(), nullptr); }
  double GetAsDouble() override { return std::strtod(Text().c_str(), nullptr); }
  long double GetAsExtended() override { return std::strtold(Text().c_str(), nullptr); }
  TGUID GetAsGuid() override { return ParseGuid(Text()).value_or(TGUID{}); }
  TDateTime GetAsDateTime() override { return std::strtod(Text().c_str(), nullptr); }
  std::string GetAsString() override { return Text(); }
  std::u16string GetAsWideString() override { return ToWide(Text()); }
  bool SaveToStream(TStream& stream) override {
    stream.WriteText(Text());
    return true;
  }

  int32_t index_;

 private:
  const std::string& Text() const;
  int64_t Int() const { return std::strtoll(Text().c_str(), nullptr, 10); }
  TableSource* source_;
};

class TableSource final : public TInterfacedObject, public virtual ITransEngine, public virtual IImport {
 public:
  TableSource(std::vector<Column> columns, std::vector<std::vector<std::string>> rows, bool oneField = false)
      : columns_(std::move(columns)), rows_(std::move(rows)), oneField_(oneField) {
    for (size_t i = 0; i < (oneField ? 1 : columns_.size()); ++i)
      fields_.push_back(std::make_unique<TableField>(this, static_cast<ITransEngine*>(this), static_cast<int32_t>(i)));
  }
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEngine, IImport>(this, iid, obj);
  }
  std::string GetName() override { return "TableSource"; }
  int32_t GetEngineType() override { return types; }
  IntfPtr<ITransPort> GetPort() override { return static_cast<IImport*>(this); }
  void SetEvents(ITransEvents* e) override { events = e; }
  bool Init(int32_t direction) override {
    ++inits;
    active = canOpen && direction == kDirectionSource;
    return active;
  }
  bool IsActive() override { return active; }
  void Fina() override {
    ++finas;
    active = false;
  }
  IntfPtr<IEngineConfig> GetConfig() override { return nullptr; }
  std::string GetOptions() override { return {}; }
  int32_t SetOptions(std::string_view) override { return 0; }
  bool Established() override { return true; }
  int32_t GetFieldCount() override { return static_cast<int32_t>(columns_.size()); }
  IntfPtr<ITransField> FindField(std::string_view) override { return nullptr; }
  IntfPtr<ITransField> GetField(int32_t index) override {
    if (index < 0 || index >= GetFieldCount()) return nullptr;
    TableField* f = fields_[oneField_ ? 0 : static_cast<size_t>(index)].get();
    f->index_ = index;
    return static_cast<ITransField*>(f);
  }
  int32_t DataCount() override { return countUnknown ? -1 : static_cast<int32_t>(rows_.size()); }
  void MoveFirst() override { row_ = 0; }
  void MoveNext() override { ++row_; }
  bool IsEof() override { return row_ >= rows_.size(); }

  const std::string& Cell(int32_t index) const { return rows_[row_][static_cast<size_t>(index)]; }
  const Column& ColumnAt(int32_t index) const { return columns_[static_cast<size_t>(index)]; }

  std::vector<Column> columns_;
  int32_t types = kDirectionSource;
  bool countUnknown = false;  // tells -1 for its record total
  bool active = false;
  bool canOpen = true;
  int inits = 0;
  int finas = 0;
  IntfPtr<ITransEvents> events;

 private:
  std::vector<std::vector<std::string>> rows_;
  bool oneField_;
  size_t row_ = 0;
  std::vector<std::unique_ptr<TableField>> fields_;
};

inline std::string TableField::GetName() { return source_->ColumnAt(index_).name; }
inline int32_t TableField::GetDataType() { return source_->ColumnAt(index_).type; }
inline const std::string& TableField::Text() const { return source_->Cell(index_); }

class TableDest;

// Stores what it is given as text: numbers in general format, dates as day numbers.
class TableDestField final : public TCustomFiledWriter {
 public:
  TableDestField(TableDest* dest, IInterface* owner) : TCustomFiledWriter(owner), dest_(dest) {}
  std::string GetName() override;
  void SetName(std::string_view name) override;
  int32_t GetDataType() override;
  int32_t GetIndex() override { return index_; }
  void SetAsString(std::string_view v) override { Put(std::string(v)); }
  void SetAsInteger(int32_t v) override { Put(std::to_string(v)); }
  void SetAsInt64(int64_t v) override { Put(std::to_string(v)); }
  void SetAsDouble(double v) override { Put(FormatGeneral(v, '.')); }
  void SetAsBoolean(bool v) override { Put(v ? "true" : "false"); }
  void SetAsDateTime(TDateTime v) override { Put("D" + FormatGeneral(v, '.')); }

  int32_t index_ = 0;

 private:
  void Put(std::string v);
  TableDest* dest_;
};

class TableDest final : public TInterfacedObject, public virtual ITransEngine, public virtual IExport {
 public:
  explicit TableDest(std::vector<Column> columns) : columns_(std::move(columns)) {
    field_ = std::make_unique<TableDestField>(this, static_cast<ITransEngine*>(this));
  }
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEngine, IExport>(this, iid, obj);
  }
  std::string GetName() override { return "TableDest"; }
  int32_t GetEngineType() override { return types; }
  IntfPtr<ITransPort> GetPort() override { return static_cast<IExport*>(this); }
  void SetEvents(ITransEvents* e) override { events = e; }
  bool Init(int32_t direction) override {
    ++inits;
    active = direction == kDirectionDestination;
    return active;
  }
  bool IsActive() override { return active; }
  // Raises what a full disk raises when finaFails is set.
  void Fina() override {
    ++finas;
    active = false;
    if (finaFails) throw EStreamError("write failed: No space left on device");
  }
  IntfPtr<IEngineConfig> GetConfig() override { return nullptr; }
  std::string GetOptions() override { return {}; }
  int32_t SetOptions(std::string_view) override { return 0; }
  bool Established() override { return true; }
  int32_t GetFieldCount() override { return static_cast<int32_t>(columns_.size()); }
  // The first column of that name, ignoring ASCII case.
  IntfPtr<ITransField> FindField(std::string_view name) override {
    for (size_t i = 0; i < columns_.size(); ++i)
      if (SameTextAscii(columns_[i].name, name)) return GetField(static_cast<int32_t>(i));
    return nullptr;
  }
  IntfPtr<ITransField> GetField(int32_t index) override {
    if (index < 0 || index >= GetFieldCount()) return nullptr;
    field_->index_ = index;
    return static_cast<ITransField*>(field_.get());
  }
  void SetFieldCount(int32_t count) override {
    calls.push_back("SetFieldCount(" + std::to_string(count) + ")");
    if (count > GetFieldCount()) columns_.resize(static_cast<size_t>(count), Column{"", 0});
  }
  void SetFieldType(int32_t index, int32_t type) override {
    calls.push_back("SetFieldType(" + std::to_string(index) + "," + std::to_string(type) + ")");
    if (index >= 0 && index < GetFieldCount()) columns_[static_cast<size_t>(index)].type = type;
  }
  // The values of the last record stay until they are set again.
  void Append() override { current.resize(columns_.size()); }
  void Post() override {
    records.push_back(current);
    if (onPost) onPost();
  }

  std::vector<Column> columns_;
  std::vector<std::string> current;
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> calls;
  // Runs after each record is posted: a test acts during a run (reports to the sink, or
  // stands in for a user).
  std::function<void()> onPost;
  int32_t types = kDirectionDestination;
  bool active = false;
  bool finaFails = false;
  int inits = 0;
  int finas = 0;
  IntfPtr<ITransEvents> events;

 private:
  std::unique_ptr<TableDestField> field_;
};

inline std::string TableDestField::GetName() { return dest_->columns_[static_cast<size_t>(index_)].name; }
inline void TableDestField::SetName(std::string_view name) {
  dest_->calls.push_back("SetName(" + std::to_string(index_) + "," + std::string(name) + ")");
  dest_->columns_[static_cast<size_t>(index_)].name = name;
}
inline int32_t TableDestField::GetDataType() { return dest_->columns_[static_cast<size_t>(index_)].type; }
inline void TableDestField::Put(std::string v) {
  if (dest_->current.size() <= static_cast<size_t>(index_)) dest_->current.resize(static_cast<size_t>(index_) + 1);
  dest_->current[static_cast<size_t>(index_)] = std::move(v);
}

}  // namespace ryn::testing
