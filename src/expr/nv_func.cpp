// Import and SetExport, the two functions through which a mapping formula reads the
// source record and writes the destination record. Both run once per field and record,
// so a field's interface is asked for once per field object, not on every call.
#include <algorithm>
#include <cmath>
#include <limits>

#include "expr/function_args.h"
#include "expr/named_host.h"
#include "expr/syntax_errors.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/field_types.h"
#include "transport/field_values.h"
#include "transport/guid.h"

namespace ryn {
namespace {

// An index argument: an int of 0 or more, or a double of 0 or more rounded to the nearest
// integer; -1 for anything else.
int32_t IndexArg(const TCommonData& v) {
  if (v.DataType == kDataInt) return v.IntValue >= 0 ? v.IntValue : -1;
  if (v.DataType == kDataDouble && v.FloatValue >= 0) return IntArg(v);
  return -1;
}

// The value type Import gives for a field type code while only checking.
int32_t ImportType(int32_t fieldType) {
  switch (fieldType) {
    case kFtByte: case kFtWord: case kFtShortInt: case kFtSmallInt: case kFtInteger: return kDataInt;
    case kFtLongWord: case kFtInt64: case kFtSingle: case kFtDouble: case kFtExtended: return kDataDouble;
    case kFtBoolean: return kDataBool;
    case kFtTime: case kFtDate: case kFtDateTime: return kDataDate;
    case kFtGuid: case kFtString: case kFtWideString: case kFtBinary: case kFtUnknown: return kDataString;
    default: return kDataVoid;
  }
}

void ReadField(IFieldReader& f, int32_t type, TCommonData& result) {
  switch (type) {
    case kFtByte: result.SetInt(f.GetAsByte()); return;
    case kFtWord: result.SetInt(f.GetAsWord()); return;
    case kFtShortInt: result.SetInt(f.GetAsShortInt()); return;
    case kFtSmallInt: result.SetInt(f.GetAsSmallInt()); return;
    case kFtInteger: result.SetInt(f.GetAsInteger()); return;
    case kFtLongWord: result.SetDouble(f.GetAsLongWord()); return;
    case kFtInt64: result.SetDouble(static_cast<long double>(f.GetAsInt64())); return;
    case kFtSingle: result.SetDouble(f.GetAsSingle()); return;
    case kFtDouble: result.SetDouble(f.GetAsDouble()); return;
    case kFtExtended: result.SetDouble(f.GetAsExtended()); return;
    case kFtBoolean: result.SetBool(f.GetAsBoolean()); return;
    case kFtTime: case kFtDate: case kFtDateTime: result.SetDate(f.GetAsDateTime()); return;
    case kFtGuid: result.SetString(GuidToString(f.GetAsGuid())); return;
    case kFtWideString: result.SetString(ToNarrow(f.GetAsWideString())); return;
    case kFtBinary: {
      TMemoryStream stream;
      f.SaveToStream(stream);
      result.SetString(stream.TakeData());
      return;
    }
    default: result.SetString(f.GetAsString()); return;
  }
}

// Destination types whose setters take a number's digits: integers and text.
bool TakesDigits(int32_t type) {
  return (type >= kFtByte && type <= kFtInt64) || type == kFtUnknown || type == kFtString || type == kFtWideString;
}

// A number on the stack is an 80-bit double, which holds every 64-bit integer exactly; as
// a 64-bit double it would lose the last digits of large identifiers and amounts, so a
// whole number goes to integer and text fields as an integer.
TVariant NumberVariant(long double x, int32_t fieldType) {
  constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
  if (TakesDigits(fieldType) && x >= -kLimit && x < kLimit && x == Truncate(x))
    return TVariant(static_cast<int64_t>(x));
  return TVariant(static_cast<double>(x));
}

bool IsTextType(int32_t type) { return type == kFtUnknown || type == kFtString || type == kFtWideString; }

// The text of a source value for a text destination: the source's own text when it gives
// one; otherwise the value's text by its type (a date in its date form even on day 0).
std::string CopyText(IFieldReader& f, int32_t type) {
  if (type == kFtBinary) {
    TMemoryStream stream;
    f.SaveToStream(stream);
    return stream.TakeData();
  }
  if (type == kFtWideString) return ToNarrow(f.GetAsWideString());
  std::string text = f.GetAsString();
  if (!text.empty() || IsTextType(type) || f.IsEmpty()) return text;
  switch (type) {
    case kFtTime: case kFtDate: case kFtDateTime: case kFtExtended: return ValueToText(&f);
    case kFtGuid: return GuidToString(f.GetAsGuid());
    // The numbers' texts straight from the getters, as the value below would give them:
    // this runs for every value a typed source without texts of its own sends into text.
    case kFtByte: return std::to_string(f.GetAsByte());
    case kFtWord: return std::to_string(f.GetAsWord());
    case kFtShortInt: return std::to_string(f.GetAsShortInt());
    case kFtSmallInt: return std::to_string(f.GetAsSmallInt());
    case kFtInteger: return std::to_string(f.GetAsInteger());
    case kFtBoolean: return f.GetAsBoolean() ? "1" : "0";
    case kFtLongWord: return NumberVariant(f.GetAsLongWord(), kFtString).ToString();
    case kFtInt64: return NumberVariant(static_cast<long double>(f.GetAsInt64()), kFtString).ToString();
    case kFtSingle: return NumberVariant(f.GetAsSingle(), kFtString).ToString();
    case kFtDouble: return NumberVariant(f.GetAsDouble(), kFtString).ToString();
    default: {
      TCommonData v;
      ReadField(f, type, v);
      if (v.DataType == kDataInt) return std::to_string(v.IntValue);
      if (v.DataType == kDataBool) return v.BoolValue ? "1" : "0";
      if (v.DataType != kDataDouble) return std::string();
      return NumberVariant(v.FloatValue, kFtString).ToString();
    }
  }
}

void WriteField(IFieldWriter& f, const TCommonData& v) {
  // A null value (an empty optional argument, a cell without content) is no value.
  if (v.IsNull) return;
  switch (v.DataType) {
    case kDataString: {
      if (v.StrValue.empty()) return;
      int32_t type = f.GetDataType();
      // What the value assignment does for text into a text field, without the variant.
      if (type == kFtString || type == kFtUnknown) f.SetAsString(v.StrValue);
      else AssignVariant(&f, TVariant(v.StrValue));
      return;
    }
    case kDataInt: AssignVariant(&f, TVariant(v.IntValue)); return;
    case kDataDouble: AssignVariant(&f, NumberVariant(v.FloatValue, f.GetDataType())); return;
    case kDataBool: AssignVariant(&f, TVariant(v.BoolValue)); return;
    case kDataDate: AssignVariant(&f, TVariant::Date(v.DateValue)); return;
    default: return;
  }
}

}  // namespace

TNVFunc::TNVFunc(TNamedHost& host) : host_(host) {
  TSyntaxFunction& import = functions_.Add("Import", Ansi("导入"));
  import.AddParam("Index", Ansi("索引号"), false, false, kDataInt);
  import.ResultType = kDataVoid;
  TSyntaxFunction& setExport = functions_.Add("SetExport", Ansi("导出"));
  setExport.AddParam("Index", Ansi("索引号"), false, false, kDataInt)
      .AddParam("Value", Ansi("值"), false, false, kDataVoid);
  setExport.ResultType = kDataVoid;
}

void TNVFunc::LimitIndexes(std::optional<int32_t> lastSource, std::optional<int32_t> lastDest) {
  functions_.Find("Import")->Params(0)->LastIndex = lastSource;
  functions_.Find("SetExport")->Params(0)->LastIndex = lastDest;
}

void TNVFunc::Forget() {
  readers_.clear();
  writers_.clear();
  sourceAsked_ = destAsked_ = nullptr;
  sourceTable_.Reset();
  destTable_.Reset();
  recordAsked_ = false;
  recordIn_.Reset();
  recordOut_.Reset();
  textSources_.clear();
  textDests_.clear();
  runs_.clear();
}

bool TNVFunc::PlainTextField(bool dest, int32_t index) {
  std::vector<uint8_t>& known = dest ? textDests_ : textSources_;
  constexpr int32_t kMaxIndex = 4096;
  if (index < 0 || index >= kMaxIndex) return false;
  if (known.size() <= static_cast<size_t>(index)) known.resize(static_cast<size_t>(index) + 1, 0);
  uint8_t& k = known[static_cast<size_t>(index)];
  if (k == 0) {
    IntfPtr<ITransField> held;
    IntfPtr<IFieldReader> otherReader;
    IntfPtr<IFieldWriter> otherWriter;
    ITransField* f = dest ? static_cast<ITransField*>(DestField(index, held, otherWriter))
                          : static_cast<ITransField*>(SourceField(index, held, otherReader));
    const int32_t type = f ? f->GetDataType() : -1;
    k = type == kFtString || type == kFtUnknown ? 1 : 2;
  }
  return k == 1;
}

bool TNVFunc::RecordPaths() {
  if (!recordAsked_) {
    recordAsked_ = true;
    recordIn_ = host_.Source ? QueryIntf<IRecordTexts>(host_.Source.get()) : nullptr;
    recordOut_ = host_.Dest ? QueryIntf<IRecordPost>(host_.Dest.get()) : nullptr;
  }
  return recordIn_ && (recordOut_ || checking_);
}

const TNVFunc::CopyRun& TNVFunc::RunOf(std::span<const std::pair<int32_t, int32_t>> copies) {
  for (const CopyRun& run : runs_)
    if (run.start == copies.data() && run.size == copies.size()) return run;
  CopyRun run{copies.data(), copies.size()};
  for (; run.plain < copies.size(); ++run.plain) {
    const auto [to, from] = copies[run.plain];
    if (!PlainTextField(false, from) || !PlainTextField(true, to)) break;
    run.last = std::max(run.last, from);
  }
  runs_.push_back(run);
  return runs_.back();
}

size_t TNVFunc::CopyTexts(std::span<const std::pair<int32_t, int32_t>> copies) {
  try {
    if (!RecordPaths()) return 0;
    const CopyRun& run = RunOf(copies);
    const size_t n = run.plain;
    const int32_t last = run.last;
    if (n == 0) return 0;
    runTexts_.resize(static_cast<size_t>(last) + 1);
    const int32_t placed = recordIn_->GetRecordTexts(0, std::span<std::string_view>(runTexts_));
    // Sized for the run once, filled by index: this runs for every record.
    heldDests_.resize(n);
    heldTexts_.resize(n);
    heldAt_.resize(n);
    size_t i = 0, k = 0;
    for (; i < n; ++i) {
      const auto [to, from] = copies[i];
      // A text the record path does not give (too long for it) is copied by Copy.
      if (from >= placed) break;
      const std::string_view text = runTexts_[static_cast<size_t>(from)];
      if (checking_) {
        host_.NoteCheckedValue(to, text.empty());
      } else if (!text.empty()) {
        heldDests_[k] = to;
        heldTexts_[k] = text;
        heldAt_[k] = i;
        ++k;
      }
    }
    if (checking_ || k == 0) return i;
    const size_t held = recordOut_->HoldTexts(std::span(heldDests_.data(), k), std::span(heldTexts_.data(), k));
    return held < k ? heldAt_[held] : i;
  } catch (...) {
    // Nothing was held yet: Copy does them one at a time and reports what fails.
    return 0;
  }
}

bool TNVFunc::CopyRecordText(int32_t dest, int32_t source) {
  if (!RecordPaths()) return false;
  if (!PlainTextField(false, source) || !PlainTextField(true, dest)) return false;
  // What the lookup path does for text into text: the source's text, nothing when empty.
  std::string_view text;
  if (recordIn_->GetRecordTexts(source, std::span<std::string_view>(&text, 1)) != 1) return false;
  if (checking_) {
    host_.NoteCheckedValue(dest, text.empty());
    return true;
  }
  return text.empty() || recordOut_->HoldText(dest, text);
}

IFieldTable* TNVFunc::Table(ITransPort* port, ITransPort*& asked, IntfPtr<IFieldTable>& table) {
  if (port != asked) {
    asked = port;
    table = port ? QueryIntf<IFieldTable>(port) : nullptr;
  }
  return table.get();
}

template <class I>
I* TNVFunc::Resolve(std::vector<FieldSlot<I>>& slots, ITransPort* port, int32_t index, IntfPtr<ITransField>& field,
                    IntfPtr<I>& other) {
  field = port->GetField(index);
  if (!field) return nullptr;
  // Ports of other libraries answer any index, so indexes beyond a sensible number share
  // the last slot.
  constexpr size_t kMaxSlot = 4096;
  const size_t i = std::min(static_cast<size_t>(index), kMaxSlot);
  if (i >= slots.size()) slots.resize(i + 1);
  FieldSlot<I>& slot = slots[i];
  ITransField* f = field.get();
  const void* object = dynamic_cast<const void*>(f);
  const std::type_info* type = &typeid(*f);
  if (slot.intf && slot.object == object && slot.type == type) return slot.intf;
  IntfPtr<I> intf = field.Query<I>();
  if (intf && dynamic_cast<const void*>(intf.get()) == object) {
    slot = {object, type, intf.get()};
    return intf.get();
  }
  slot = {};
  other = std::move(intf);
  return other.get();
}

int32_t TNVFunc::Execute(std::string_view name, std::span<const TCommonData* const> args, bool check,
                         TCommonData& result) {
  // Called per field and record with the upper-cased names of compiled formulas.
  if (name == "IMPORT" || SameTextAscii(name, "Import")) return Import(args, check, result);
  if (name == "SETEXPORT" || SameTextAscii(name, "SetExport")) return SetExport(args, check, result);
  return kErrNoFunction;
}

IFieldReader* TNVFunc::SourceField(int32_t index, IntfPtr<ITransField>& held, IntfPtr<IFieldReader>& other) {
  IImport* source = host_.Source.get();
  if (IFieldTable* table = Table(source, sourceAsked_, sourceTable_)) return table->ReaderAt(index);
  return source ? Resolve(readers_, source, index, held, other) : nullptr;
}

IFieldWriter* TNVFunc::DestField(int32_t index, IntfPtr<ITransField>& held, IntfPtr<IFieldWriter>& other) {
  IExport* dest = host_.Dest.get();
  if (IFieldTable* table = Table(dest, destAsked_, destTable_)) return table->WriterAt(index);
  return dest ? Resolve(writers_, dest, index, held, other) : nullptr;
}

void TNVFunc::ImportValue(int32_t index, TCommonData& result) {
  result.SetVoid();
  IntfPtr<ITransField> held;
  IntfPtr<IFieldReader> other;
  if (IFieldReader* field = SourceField(index, held, other)) ReadField(*field, field->GetDataType(), result);
}

void TNVFunc::ExportValue(int32_t index, const TCommonData& value) {
  IntfPtr<ITransField> held;
  IntfPtr<IFieldWriter> other;
  IFieldWriter* field = DestField(index, held, other);
  if (!field) return;
  if (checking_) {
    const bool empty = value.IsNull || value.DataType == kDataVoid || (value.DataType == kDataString && value.StrValue.empty());
    host_.NoteCheckedValue(index, empty);
    return;
  }
  WriteField(*field, value);
}

void TNVFunc::Copy(int32_t dest, int32_t source) {
  if (CopyRecordText(dest, source)) return;
  IntfPtr<ITransField> heldSource, heldDest;
  IntfPtr<IFieldReader> otherSource;
  IntfPtr<IFieldWriter> otherDest;
  IFieldReader* from = SourceField(source, heldSource, otherSource);
  IFieldWriter* to = from ? DestField(dest, heldDest, otherDest) : nullptr;
  if (!to) return;
  const int32_t toType = to->GetDataType();
  const int32_t fromType = from->GetDataType();
  if (checking_) {
    host_.NoteCheckedValue(dest, IsTextType(toType) ? CopyText(*from, fromType).empty() : from->IsEmpty());
    return;
  }
  // Into text the value goes as the source writes it: "000123" stays "000123", a date of
  // 1899-12-30 stays a date, a long decimal keeps every digit. Nothing for an empty value.
  if (IsTextType(toType)) {
    if (fromType == kFtWideString && toType == kFtWideString) {
      std::u16string wide = from->GetAsWideString();
      if (!wide.empty()) to->SetAsWideString(wide);
      return;
    }
    std::string text = CopyText(*from, fromType);
    if (text.empty()) return;
    if (toType == kFtWideString) to->SetAsWideString(ToWide(text));
    else to->SetAsString(text);
    return;
  }
  // Into a typed field an empty value stays empty, whatever the types.
  if (from->IsEmpty()) return;
  TCommonData& v = copyValue_;
  v.SetVoid();
  ReadField(*from, fromType, v);
  if (v.DataType == kDataInt) {
    v.FloatValue = v.IntValue;
    v.DataType = kDataDouble;
  }
  v.ClearIfNull();
  WriteField(*to, v);
}

int32_t TNVFunc::Import(std::span<const TCommonData* const> args, bool check, TCommonData& result) {
  if (args.size() != 1 || !args[0]) return kErrBadArguments;
  const int32_t index = IndexArg(*args[0]);
  if (index < 0) return kErrBadArguments;
  if (check) {
    result.SetVoid();
    IImport* source = host_.Source.get();
    IntfPtr<ITransField> held;
    IntfPtr<IFieldReader> other;
    IFieldReader* field = source ? Resolve(readers_, source, index, held, other) : nullptr;
    if (!field) return 0;
    result.DataType = ImportType(field->GetDataType());
    result.Clear();
    return 0;
  }
  ImportValue(index, result);
  return 0;
}

int32_t TNVFunc::SetExport(std::span<const TCommonData* const> args, bool check, TCommonData& result) {
  if (args.size() != 2 || !args[0] || !args[1]) return kErrBadArguments;
  const int32_t index = IndexArg(*args[0]);
  if (index < 0) return kErrBadArguments;
  result.SetVoid();
  if (check) return 0;
  ExportValue(index, *args[1]);
  return 0;
}

}  // namespace ryn
