#include "libengineport/lib_port.h"

#include <cstring>

#include <algorithm>

#include "libengineport/lib_engine.h"
#include "platform/codepage.h"
#include "transport/errors.h"

namespace ryn {

TLibTransPort::~TLibTransPort() = default;

// A bound port has every required function; only a retired one lacks them.
int32_t TLibTransPort::GetFieldCount() { return FFieldGetCount ? FFieldGetCount(FHandle) : 0; }

IntfPtr<ITransField> TLibTransPort::FindField(std::string_view name) {
  if (!FFieldFindbyName) return nullptr;
  int32_t index = FFieldFindbyName(FHandle, std::string(name).c_str());
  int32_t count = GetFieldCount();
  if (index >= 0 && (count == 0 || index < count)) return GetField(index);
  return nullptr;
}

IntfPtr<ITransField> TLibTransPort::GetField(int32_t index) {
  TLibTransField* field = nullptr;
  for (auto& f : FPool) {
    if (!f->Held()) {
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

TLibTransPort::TableEntry* TLibTransPort::TableField(int32_t index) {
  // Ports of other libraries may answer any index; the table holds the indexes the port has.
  if (index < 0 || (!FRetired && !FFieldGetType) || (!FRetired && index >= KnownFieldCount())) return nullptr;
  if (FTable.size() <= static_cast<size_t>(index)) FTable.resize(static_cast<size_t>(index) + 1);
  TableEntry& entry = FTable[static_cast<size_t>(index)];
  if (!entry.field) {
    entry.field = NewField();
    entry.reader = dynamic_cast<IFieldReader*>(entry.field.get());
    entry.writer = dynamic_cast<IFieldWriter*>(entry.field.get());
  }
  if (entry.generation != FTableGeneration) {
    InitField(entry.field.get(), index);
    entry.generation = FTableGeneration;
  }
  return &entry;
}

int32_t TLibTransPort::KnownFieldCount() {
  if (FCountGeneration != FTableGeneration) {
    FKnownCount = GetFieldCount();
    FCountGeneration = FTableGeneration;
  }
  return FKnownCount;
}

IFieldReader* TLibTransPort::ReaderAt(int32_t index) {
  TableEntry* entry = TableField(index);
  return entry ? entry->reader : nullptr;
}

IFieldWriter* TLibTransPort::WriterAt(int32_t index) {
  TableEntry* entry = TableField(index);
  return entry ? entry->writer : nullptr;
}

void TLibTransPort::InitField(TLibTransField* field, int32_t index) {
  field->FIndex = index;
  if (FRetired) {
    field->Retire();
    return;
  }
  field->FRetired = false;
  field->FHandle = FHandle;
  field->FFieldGetName = FFieldGetName;
  field->FFieldSetName = FFieldSetName;
  field->FFieldGetType = FFieldGetType;
  // The type and accessor of an index are asked once until the field list may change:
  // asking the library per lookup would double the cost of every value read.
  const bool remembered = index >= 0 && index < KnownFieldCount();
  TypeEntry entry;
  if (remembered && static_cast<size_t>(index) < FTypes.size()) entry = FTypes[static_cast<size_t>(index)];
  if (entry.type < 0) {
    entry.type = FFieldGetType(FHandle, index);
    entry.accessor = FFieldGetProc(FKind, entry.type == 0 ? 65 : entry.type);
    if (remembered) {
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
  // Freeing a field somebody holds would leave them a dangling one.
  std::erase_if(FPool, [](const std::unique_ptr<TLibTransField>& f) { return !f->Held(); });
  for (auto& f : FPool) f->Retire();
  // The table's fields were lent uncounted: they stay, inert until pointed again.
  for (auto& entry : FTable)
    if (entry.field) entry.field->Retire();
  FTypes.clear();
  ++FTableGeneration;
}

void TLibTransPort::Retire() {
  FRetired = true;
  ++FTableGeneration;
  FHandle = 0;
  // Its conversion messages would be about records of an engine that is gone.
  FEngine = nullptr;
  Unbind();
}

void RetirePort(std::unique_ptr<TLibTransPort>& port, std::vector<std::unique_ptr<TLibTransPort>>& retired) {
  // Enough for callbacks that retire a port again and again while a lent field is in use;
  // a lent field is not to be used once its field list changed, so more would only pile up.
  constexpr size_t kLendersKept = 4;
  if (port) {
    port->Retire();
    retired.push_back(std::move(port));
  }
  size_t lenders = 0;
  for (size_t i = retired.size(); i-- > 0;) {
    const TLibTransPort& p = *retired[i];
    if (p.InUse() || (p.Lent() && lenders++ < kLendersKept)) continue;
    retired.erase(retired.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

// ---- source -----------------------------------------------------------------------------

void TLibImport::MoveFirst() {
  if (!FMoveFirst) return;
  ++FMoves;
  FMoveFirst(FHandle);
  FRecordNo = 1;
  // A source may learn its field types only when it opens its records.
  InvalidateTypes();
}

void TLibImport::MoveNext() {
  if (!FMoveNext) return;
  // A host that read the last record's texts in one call will read this one's too: the
  // move, the end, the record's problems and its texts then cross in one call.
  const bool textsRead = FEngineMoveNextRecord && FRecordMoves == FMoves && FRecordGeneration == FTableGeneration &&
                         !FRecordTexts.empty();
  ++FMoves;
  ++FRecordNo;
  if (!textsRead) {
    FMoveNext(FHandle);
    return;
  }
  const int32_t count = static_cast<int32_t>(FRecordTexts.size());
  const uint32_t generation = FTableGeneration;
  int32_t placed = 0;
  const int32_t state = FEngineMoveNextRecord(FHandle, count, FRecordTexts.data(), FRecordLengths.data(), &placed);
  // A failed call, or one whose messages changed the field list: the next questions go to
  // the library itself.
  if (state == RYN_E_HANDLE || FRetired || FTableGeneration != generation) return;
  FStateEnd = (state & RYN_RECORD_END) != 0;
  FStateProblems = (state & RYN_RECORD_PROBLEMS) != 0;
  FStateMoves = FMoves;
  FStateGeneration = FTableGeneration;
  if (!FStateEnd) {
    FRecordPlaced = placed < 0 ? 0 : placed > count ? count : placed;
    FRecordMoves = FMoves;
  }
}

bool TLibImport::IsEof() {
  if (StateKnown()) return FStateEnd;
  return FIsEof ? FIsEof(FHandle) != 0 : true;
}

void TLibImport::InitField(TLibTransField* field, int32_t index) {
  TLibTransPort::InitField(field, index);
  field->FFieldIsEmpty = FFieldIsEmpty;
  field->FFieldGetValueText = FRetired ? nullptr : FFieldGetValueText;
  field->FRecordSource = FRetired || !FEngineGetRecordTexts ? nullptr : this;
}

bool TLibImport::RecordText(int32_t index, std::string_view& text) {
  if (FRetired || !FEngineGetRecordTexts) return false;
  if (FRecordMoves != FMoves || FRecordGeneration != FTableGeneration || FRecordTexts.empty()) {
    // One call for the whole record; a field past what the library placed is read per value.
    const int32_t count = KnownFieldCount();
    FRecordTexts.assign(static_cast<size_t>(count > 0 ? count : 1), nullptr);
    FRecordLengths.assign(FRecordTexts.size(), 0);
    const int32_t placed = count > 0 ? FEngineGetRecordTexts(FHandle, 0, count, FRecordTexts.data(), FRecordLengths.data()) : 0;
    FRecordPlaced = placed < 0 ? 0 : placed > count ? count : placed;
    FRecordMoves = FMoves;
    FRecordGeneration = FTableGeneration;
  }
  if (index < 0 || index >= FRecordPlaced) return false;
  const char* p = FRecordTexts[static_cast<size_t>(index)];
  const int32_t n = FRecordLengths[static_cast<size_t>(index)];
  text = p && n > 0 ? std::string_view(p, static_cast<size_t>(n)) : std::string_view();
  return true;
}

int32_t TLibImport::GetRecordTexts(int32_t first, std::span<std::string_view> out) {
  // The first text fetches the record when it moved; the others are read off what it placed.
  if (out.empty() || first < 0 || !RecordText(first, out[0]) ||
      out[0].size() > static_cast<size_t>(lib::kMaxTextLength))
    return 0;
  const size_t available = static_cast<size_t>(FRecordPlaced - first);
  const size_t n = std::min(out.size(), available);
  size_t placed = 1;
  for (; placed < n; ++placed) {
    const size_t at = static_cast<size_t>(first) + placed;
    const char* p = FRecordTexts[at];
    const int32_t length = FRecordLengths[at];
    if (length > lib::kMaxTextLength) break;
    out[placed] = p && length > 0 ? std::string_view(p, static_cast<size_t>(length)) : std::string_view();
  }
  return static_cast<int32_t>(placed);
}

bool TLibImport::Bind() {
  bool ok = TLibTransPort::Bind() && lib::Lookup(FLib, "MoveFirst", FMoveFirst) &&
            lib::Lookup(FLib, "MoveNext", FMoveNext) && lib::Lookup(FLib, "IsEof", FIsEof);
  if (!ok) {
    Unbind();
    return false;
  }
  lib::Lookup(FLib, "FieldIsEmpty", FFieldIsEmpty);
  lib::Lookup(FLib, "FieldGetValueText", FFieldGetValueText);
  lib::Lookup(FLib, "EngineGetRecordProblem", FEngineGetRecordProblem);
  lib::Lookup(FLib, "EngineGetRecordTexts", FEngineGetRecordTexts);
  // Only with the calls it stands in for.
  if (FEngineGetRecordTexts && FEngineGetRecordProblem) lib::Lookup(FLib, "EngineMoveNextRecord", FEngineMoveNextRecord);
  lib::Lookup(FLib, "DataCount", FDataCount);
  FKind = kDirectionSource;
  return true;
}

void TLibImport::Unbind() {
  TLibTransPort::Unbind();
  FMoveFirst = FMoveNext = nullptr;
  FIsEof = FDataCount = nullptr;
  FFieldIsEmpty = nullptr;
  FFieldGetValueText = nullptr;
  FEngineGetRecordProblem = nullptr;
  FEngineGetRecordTexts = nullptr;
  FEngineMoveNextRecord = nullptr;
  FRecordTexts.clear();
}

bool TLibImport::GetRecordProblem(int32_t index, int32_t& field, int32_t& kind) {
  if (FRetired || !FEngineGetRecordProblem) return false;
  if (StateKnown() && !FStateProblems) return false;
  int32_t at = -1;
  const int32_t k = FEngineGetRecordProblem(FHandle, index, &at);
  if (k == 0) return false;
  field = at;
  kind = k;
  return true;
}

std::unique_ptr<TLibTransField> TLibImport::NewField() {
  return std::make_unique<TLibFieldReader>(static_cast<ITransPort*>(this), this);
}

// ---- destination --------------------------------------------------------------------------

void TLibExport::SetFieldCount(int32_t count) {
  if (FRetired) return;
  if (!FFieldSetCount) throw ETransFieldsError(Ansi("列数不能改变！"));
  FFieldSetCount(FHandle, count);
  InvalidateTypes();
}

void TLibExport::SetFieldType(int32_t index, int32_t dataType) {
  if (FRetired) return;
  if (!FFieldSetType) throw ETransFieldsError(Ansi("列数据类型不能改变！"));
  FFieldSetType(FHandle, index, dataType);
  InvalidateTypes();
}

void TLibExport::Post() {
  if (!FEnginePostRecordTexts || FRetired) {
    if (FPost) FPost(FHandle);
    ClearHeld();
    return;
  }
  // The texts stay where they were held; only the pointers into them are made here.
  const size_t n = FHeldFields.size();
  FPostTexts.resize(n);
  FPostLengths.resize(n);
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    FPostTexts[i] = FHeldBytes.data() + start;
    FPostLengths[i] = static_cast<int32_t>(FHeldEnds[i] - start);
    start = FHeldEnds[i];
  }
  FEnginePostRecordTexts(FHandle, static_cast<int32_t>(n), FHeldFields.data(), FPostTexts.data(), FPostLengths.data());
  ClearHeld();
}

bool TLibExport::Hold(int32_t index, std::string_view text) {
  if (!FEnginePostRecordTexts || FRetired || text.size() > static_cast<size_t>(lib::kMaxTextLength)) return false;
  FHeldBytes.append(text);
  FHeldFields.push_back(index);
  FHeldEnds.push_back(FHeldBytes.size());
  return true;
}

bool TLibExport::TextField(int32_t index) {
  if (FTextFieldsGeneration != FTableGeneration) {
    FTextFields.clear();
    FTextFieldsGeneration = FTableGeneration;
  }
  if (index < 0) return false;
  // Ports of other libraries may answer any index: the cache holds those the table has.
  if (static_cast<size_t>(index) < FTextFields.size() && FTextFields[static_cast<size_t>(index)] != 0)
    return FTextFields[static_cast<size_t>(index)] == 1;
  TableEntry* entry = TableField(index);
  if (!entry) return false;
  const int32_t type = entry->field->FAccessorType;
  const bool text = (type == 0 || type == 65) && entry->field->FAccessor;
  if (FTextFields.size() <= static_cast<size_t>(index)) FTextFields.resize(static_cast<size_t>(index) + 1, 0);
  FTextFields[static_cast<size_t>(index)] = text ? 1 : 2;
  return text;
}

bool TLibExport::HoldText(int32_t index, std::string_view text) {
  // Only a field the text setter writes: the field table knows its type.
  return FEnginePostRecordTexts && TextField(index) && Hold(index, text);
}

size_t TLibExport::HoldTexts(std::span<const int32_t> indexes, std::span<const std::string_view> texts) {
  if (!FEnginePostRecordTexts || FRetired) return 0;
  const size_t n = std::min(indexes.size(), texts.size());
  TextField(-1);  // the cache of this field table
  // Room for all of them made once and filled in place: this runs for every record.
  size_t bytes = 0;
  for (size_t i = 0; i < n; ++i) bytes += texts[i].size();
  const size_t base = FHeldFields.size();
  size_t end = FHeldBytes.size();
  FHeldFields.resize(base + n);
  FHeldEnds.resize(base + n);
  FHeldBytes.resize(end + bytes);
  size_t i = 0;
  for (; i < n; ++i) {
    const std::string_view text = texts[i];
    const auto at = static_cast<size_t>(indexes[i]);  // a negative index is beyond the cache
    const bool known = at < FTextFields.size() && FTextFields[at] == 1;
    if (text.size() > static_cast<size_t>(lib::kMaxTextLength) || !(known || TextField(indexes[i]))) break;
    if (!text.empty()) std::memcpy(FHeldBytes.data() + end, text.data(), text.size());
    end += text.size();
    FHeldFields[base + i] = indexes[i];
    FHeldEnds[base + i] = end;
  }
  FHeldFields.resize(base + i);
  FHeldEnds.resize(base + i);
  FHeldBytes.resize(end);
  return i;
}

void TLibExport::InitField(TLibTransField* field, int32_t index) {
  TLibTransPort::InitField(field, index);
  field->FRecordSink = FRetired || !FEnginePostRecordTexts ? nullptr : this;
}

bool TLibExport::Bind() {
  bool ok = TLibTransPort::Bind() && lib::Lookup(FLib, "Append", FAppend) && lib::Lookup(FLib, "Post", FPost);
  if (!ok) {
    Unbind();
    return false;
  }
  lib::Lookup(FLib, "FieldSetCount", FFieldSetCount);
  lib::Lookup(FLib, "FieldSetType", FFieldSetType);
  lib::Lookup(FLib, "EnginePostRecordTexts", FEnginePostRecordTexts);
  FKind = kDirectionDestination;
  return true;
}

void TLibExport::Unbind() {
  TLibTransPort::Unbind();
  FAppend = FPost = nullptr;
  FFieldSetCount = nullptr;
  FFieldSetType = nullptr;
  FEnginePostRecordTexts = nullptr;
  ClearHeld();
}

std::unique_ptr<TLibTransField> TLibExport::NewField() {
  return std::make_unique<TLibFieldWriter>(static_cast<ITransPort*>(this), this);
}

}  // namespace ryn
