#include "common/source_engine.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "common/value_text.h"
#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/stream.h"
#include "platform/text.h"

namespace ryn {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// At most this many bytes of a value go into a message, cut between characters.
constexpr size_t kShownValue = 40;

std::string ShownValue(std::string_view text) {
  if (text.size() <= kShownValue) return std::string(text);
  const CodePage& cp = ProcessCodePage();
  const char* p = text.data();
  const char* end = p + text.size();
  size_t used = 0;
  while (p + used < end) {
    size_t n = cp.CharLength(p + used, end);
    if (used + n > kShownValue) break;
    used += n;
  }
  return std::string(text.substr(0, used)) + "...";
}

}  // namespace

void TColumnProblems::Note(int32_t column, int32_t record, std::string_view value) {
  if (column < 0) return;
  if (columns_.size() <= static_cast<size_t>(column)) columns_.resize(static_cast<size_t>(column) + 1);
  Column& c = columns_[static_cast<size_t>(column)];
  if (c.count++ == 0) {
    c.record = record;
    c.value = ShownValue(value);
  }
}

TSourceField::TSourceField(TRecordSource* source, int32_t index, int32_t type, std::string name)
    : TCustomTransField(source), source_(source), index_(index), type_(type) {
  SetName(name);
}

const TSourceValue& TSourceField::Value() const {
  static const TSourceValue kNone;
  // A field kept by a caller across a change of the field list reads as empty.
  return retired_ ? kNone : source_->ValueAt(index_);
}

int64_t TSourceField::GetAsInt64() {
  const TSourceValue& v = Value();
  switch (v.kind) {
    case TSourceValue::Kind::kInteger: return v.integer;
    case TSourceValue::Kind::kReal:
    case TSourceValue::Kind::kDateTime:
      // Beyond the 64-bit range a conversion would be undefined; such values read as 0.
      return std::isfinite(v.real) && std::fabs(v.real) < 9.2e18 ? static_cast<int64_t>(v.real) : 0;
    case TSourceValue::Kind::kText: {
      int64_t i = 0;
      double d = 0;
      if (ParseInteger(v.text, i)) return i;
      if (ParseDecimal(v.text, d) && std::fabs(d) < 9.2e18) return static_cast<int64_t>(d);
      return 0;
    }
    default: return 0;
  }
}

double TSourceField::GetAsDouble() {
  const TSourceValue& v = Value();
  switch (v.kind) {
    case TSourceValue::Kind::kInteger: return static_cast<double>(v.integer);
    case TSourceValue::Kind::kReal:
    case TSourceValue::Kind::kDateTime: return v.real;
    case TSourceValue::Kind::kText: {
      double d = 0;
      return ParseDecimal(v.text, d) ? d : 0;
    }
    default: return 0;
  }
}

TDateTime TSourceField::GetAsDateTime() {
  const TSourceValue& v = Value();
  switch (v.kind) {
    case TSourceValue::Kind::kDateTime:
    case TSourceValue::Kind::kReal: return v.real;
    case TSourceValue::Kind::kInteger: return static_cast<double>(v.integer);
    case TSourceValue::Kind::kText: {
      TDateTime d = 0;
      return ParseIsoDateTime(v.text, d) ? d : 0;
    }
    default: return 0;
  }
}

std::string TSourceField::GetAsString() {
  const TSourceValue& v = Value();
  switch (v.kind) {
    case TSourceValue::Kind::kText:
    case TSourceValue::Kind::kUnfit: return std::string(v.text);
    case TSourceValue::Kind::kInteger: return v.text.empty() ? std::to_string(v.integer) : std::string(v.text);
    case TSourceValue::Kind::kReal: return v.text.empty() ? ShortestRealText(v.real) : std::string(v.text);
    case TSourceValue::Kind::kDateTime:
      // The source's own text when it has one: it is what the user wrote.
      if (!v.text.empty()) return std::string(v.text);
      return IsoDateTimeText(v.real, type_ != kFtDate);
    case TSourceValue::Kind::kBlob: {
      // Binary bytes are no text of any code page; their hexadecimal form is.
      std::string hex;
      hex.reserve(v.text.size() * 2);
      for (unsigned char c : v.text) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
      }
      return hex;
    }
    default: return std::string();
  }
}

std::u16string TSourceField::GetAsWideString() { return ToWide(GetAsString()); }

bool TSourceField::SaveToStream(TStream& stream) {
  const TSourceValue& v = Value();
  if (v.kind == TSourceValue::Kind::kBlob || v.kind == TSourceValue::Kind::kText) {
    stream.WriteText(v.text);
  } else if (v.kind != TSourceValue::Kind::kEmpty) {
    stream.WriteText(GetAsString());
  }
  return true;
}

TRecordSource::~TRecordSource() = default;

int32_t TRecordSource::QueryInterface(const TGUID& iid, void** obj) {
  // An engine with a sink attached answers for the sink, as the exported EngineSetEvent
  // expects.
  if (AnswerFor(events_, iid, obj)) return kS_OK;
  return QueryInterfaces<ITransEngine, IImport, IFieldTable, IRecordProblems, IRecordTexts, IImplementorAccess>(
      this, iid, obj);
}

int32_t TRecordSource::GetRecordTexts(int32_t first, std::span<std::string_view> out) {
  if (first < 0 || static_cast<size_t>(first) >= fields_.size()) return 0;
  const size_t n = std::min(out.size(), fields_.size() - static_cast<size_t>(first));
  if (madeTexts_.size() < fields_.size()) madeTexts_.resize(fields_.size());
  for (size_t k = 0; k < n; ++k) {
    const size_t i = static_cast<size_t>(first) + k;
    const TSourceValue& v = values_[i];
    using Kind = TSourceValue::Kind;
    // The cases where GetAsString hands back the value's own text, or nothing.
    if (v.kind == Kind::kText || v.kind == Kind::kUnfit || v.kind == Kind::kEmpty ||
        (!v.text.empty() && (v.kind == Kind::kInteger || v.kind == Kind::kReal || v.kind == Kind::kDateTime))) {
      out[k] = v.kind == Kind::kEmpty ? std::string_view() : v.text;
      continue;
    }
    madeTexts_[i] = fields_[i]->GetAsString();
    out[k] = madeTexts_[i];
  }
  return static_cast<int32_t>(n);
}

bool TRecordSource::GetRecordProblem(int32_t index, int32_t& field, int32_t& kind) {
  if (index < 0 || static_cast<size_t>(index) >= recordProblems_.size()) return false;
  std::tie(field, kind) = recordProblems_[static_cast<size_t>(index)];
  return true;
}

IntfPtr<ITransField> TRecordSource::FindField(std::string_view name) {
  for (auto& f : fields_)
    if (SameTextAscii(f->GetName(), name)) return static_cast<ITransField*>(f.get());
  return nullptr;
}

IntfPtr<ITransField> TRecordSource::GetField(int32_t index) {
  if (index < 0 || index >= GetFieldCount()) return nullptr;
  return static_cast<ITransField*>(fields_[static_cast<size_t>(index)].get());
}

IFieldReader* TRecordSource::ReaderAt(int32_t index) {
  if (index < 0 || index >= GetFieldCount()) return nullptr;
  return fields_[static_cast<size_t>(index)].get();
}

void TRecordSource::SetColumns(const std::vector<TSourceColumn>& columns) {
  // A field somebody still holds must outlive the list it came from.
  for (auto& f : fields_) {
    if (f->ForwardedCount() > 0) {
      f->Retire();
      retired_.push_back(std::move(f));
    }
  }
  fields_.clear();
  fields_.reserve(columns.size());
  for (size_t i = 0; i < columns.size(); ++i)
    fields_.push_back(std::make_unique<TSourceField>(this, static_cast<int32_t>(i), columns[i].type, columns[i].name));
  values_.assign(columns.size(), TSourceValue{});
}

void TRecordSource::ClearValues() {
  recordProblems_.clear();
  for (auto& v : values_) v = TSourceValue{};
}

void TRecordSource::Report(int32_t kind, std::string_view text) {
  if (events_) events_->OnMessage(kind, text);
}

void TRecordSource::ReportProblems() {
  auto send = [this](TColumnProblems& problems, int32_t kind, const std::string& pattern) {
    problems.Flush([&](int32_t column, int64_t count, int32_t record, const std::string& value) {
      IntfPtr<ITransField> f = GetField(column);
      std::string name = f ? f->GetName() : std::string();
      Report(kind, FormatText(pattern.c_str(), column, name.c_str(), static_cast<long long>(count), record, value.c_str()));
    });
  };
  send(unfit_, kSourceMsgUnfit, Ansi("列%d“%s”有%lld个值不符合列的类型，按类型读作空值（第一个在第%d行：%s）"));
  send(codePage_, kSourceMsgCodePage,
       Ansi("列%d“%s”有%lld个值含有代码页没有的字符，已替换为“?”（第一个在第%d行：%s）"));
  send(badBytes_, kSourceMsgBadBytes, Ansi("列%d“%s”有%lld个值含有无效的字节序列，已替换为“?”（第一个在第%d行：%s）"));
}

void TRecordSource::ForgetProblems() {
  unfit_.Reset();
  codePage_.Reset();
  badBytes_.Reset();
}

}  // namespace ryn
