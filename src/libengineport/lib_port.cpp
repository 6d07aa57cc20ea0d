#include "libengineport/lib_port.h"

#include "libengineport/lib_engine.h"
#include "platform/codepage.h"
#include "transport/errors.h"

namespace ryn {

TLibTransPort::~TLibTransPort() = default;

int32_t TLibTransPort::GetFieldCount() { return FFieldGetCount(FHandle); }

IntfPtr<ITransField> TLibTransPort::FindField(std::string_view name) {
  int32_t index = FFieldFindbyName(FHandle, std::string(name).c_str());
  int32_t count = GetFieldCount();
  if (index >= 0 && (count == 0 || index < count)) return GetField(index);
  return nullptr;
}

IntfPtr<ITransField> TLibTransPort::GetField(int32_t index) {
  TLibTransField* field = nullptr;
  for (auto& f : FPool) {
    if (f->ForwardedCount() == 0) {
      field = f.get();
      break;
    }
  }
  if (!field) {
    FPool.push_back(NewField());
    field = FPool.back().get();
  }
  InitField(field, index);
  return static_cast<ITransField*>(field);
}

void TLibTransPort::InitField(TLibTransField* field, int32_t index) {
  field->FIndex = index;
  field->FHandle = FHandle;
  field->FFieldGetName = FFieldGetName;
  field->FFieldSetName = FFieldSetName;
  field->FFieldGetType = FFieldGetType;
  // The type and accessor of an index are asked once until the field list may change:
  // asking the library per lookup would double the cost of every value read.
  constexpr int32_t kRemembered = 4096;
  TypeEntry entry;
  if (index >= 0 && index < kRemembered && static_cast<size_t>(index) < FTypes.size()) entry = FTypes[static_cast<size_t>(index)];
  if (entry.type < 0) {
    entry.type = FFieldGetType(FHandle, index);
    entry.accessor = FFieldGetProc(FKind, entry.type == 0 ? 65 : entry.type);
    if (index >= 0 && index < kRemembered) {
      if (FTypes.size() <= static_cast<size_t>(index)) FTypes.resize(static_cast<size_t>(index) + 1);
      FTypes[static_cast<size_t>(index)] = entry;
    }
  }
  field->FDataType = entry.type;
  field->FAccessorType = entry.type == 0 ? 65 : entry.type;
  field->FAccessor = entry.accessor;
}

bool TLibTransPort::Bind() {
  bool ok = lib::Lookup(FLib, "FieldGetCount", FFieldGetCount) && lib::Lookup(FLib, "FieldFindbyName", FFieldFindbyName) &&
            lib::Lookup(FLib, "FieldGetName", FFieldGetName);
  if (ok) {
    lib::Lookup(FLib, "FieldSetName", FFieldSetName);
    ok = lib::Lookup(FLib, "FieldGetType", FFieldGetType) && lib::Lookup(FLib, "FieldGetProc", FFieldGetProc);
  }
  if (!ok) TLibTransPort::Unbind();
  return ok;
}

void TLibTransPort::Unbind() {
  FFieldGetCount = nullptr;
  FFieldFindbyName = nullptr;
  FFieldGetName = nullptr;
  FFieldSetName = nullptr;
  FFieldGetType = nullptr;
  FFieldGetProc = nullptr;
  FPool.clear();
  FTypes.clear();
}

// ---- source -----------------------------------------------------------------------------

void TLibImport::MoveFirst() {
  FMoveFirst(FHandle);
  FRecordNo = 1;
  // A source may learn its field types only when it opens its records.
  InvalidateTypes();
}

void TLibImport::MoveNext() {
  FMoveNext(FHandle);
  ++FRecordNo;
}

void TLibImport::InitField(TLibTransField* field, int32_t index) {
  TLibTransPort::InitField(field, index);
  field->FFieldIsEmpty = FFieldIsEmpty;
}

bool TLibImport::Bind() {
  bool ok = TLibTransPort::Bind() && lib::Lookup(FLib, "MoveFirst", FMoveFirst) &&
            lib::Lookup(FLib, "MoveNext", FMoveNext) && lib::Lookup(FLib, "IsEof", FIsEof);
  if (!ok) {
    Unbind();
    return false;
  }
  lib::Lookup(FLib, "FieldIsEmpty", FFieldIsEmpty);
  lib::Lookup(FLib, "DataCount", FDataCount);
  FKind = kDirectionSource;
  return true;
}

void TLibImport::Unbind() {
  TLibTransPort::Unbind();
  FMoveFirst = FMoveNext = nullptr;
  FIsEof = FDataCount = nullptr;
  FFieldIsEmpty = nullptr;
}

std::unique_ptr<TLibTransField> TLibImport::NewField() {
  return std::make_unique<TLibFieldReader>(static_cast<ITransPort*>(this), this);
}

// ---- destination --------------------------------------------------------------------------

void TLibExport::SetFieldCount(int32_t count) {
  if (!FFieldSetCount) throw ETransFieldsError(Ansi("列数不能改变！"));
  FFieldSetCount(FHandle, count);
  InvalidateTypes();
}

void TLibExport::SetFieldType(int32_t index, int32_t dataType) {
  if (!FFieldSetType) throw ETransFieldsError(Ansi("列数据类型不能改变！"));
  FFieldSetType(FHandle, index, dataType);
  InvalidateTypes();
}

bool TLibExport::Bind() {
  bool ok = TLibTransPort::Bind() && lib::Lookup(FLib, "Append", FAppend) && lib::Lookup(FLib, "Post", FPost);
  if (!ok) {
    Unbind();
    return false;
  }
  lib::Lookup(FLib, "FieldSetCount", FFieldSetCount);
  lib::Lookup(FLib, "FieldSetType", FFieldSetType);
  FKind = kDirectionDestination;
  return true;
}

void TLibExport::Unbind() {
  TLibTransPort::Unbind();
  FAppend = FPost = nullptr;
  FFieldSetCount = nullptr;
  FFieldSetType = nullptr;
}

std::unique_ptr<TLibTransField> TLibExport::NewField() {
  return std::make_unique<TLibFieldWriter>(static_cast<ITransPort*>(this), this);
}

}  // namespace ryn
