#include "libengineport/lib_field.h"

#include <cstdint>
#include <cstring>

#include "libengineport/lib_engine.h"
#include "libengineport/lib_port.h"
#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/locale_settings.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/variant.h"

namespace ryn {
namespace {

constexpr int32_t kChunk = 512;

// The characters a library says it placed, never more than the room it was given.
size_t Placed(int32_t len, int32_t capacity) { return static_cast<size_t>(len < 0 ? 0 : len < capacity ? len : capacity); }

// Reads a text through a getter with the buffer protocol: a first buffer of at least 512
// characters, and once more with the size the library asked for. The buffer keeps its
// size, so a value that needed the second call once fits the first call afterwards.
// A length above the limit makes tooLong true and the value empty.
template <class Char, class Getter>
std::basic_string_view<Char> ReadText(Getter get, RynHandle h, int32_t index, std::basic_string<Char>& buffer,
                                      bool& tooLong) {
  tooLong = false;
  if (buffer.size() < static_cast<size_t>(kChunk)) buffer.resize(kChunk);
  constexpr size_t kMaxCapacity = INT32_MAX;
  const auto capacity = static_cast<int32_t>(buffer.size() < kMaxCapacity ? buffer.size() : kMaxCapacity);
  int32_t len = capacity;
  if (get(h, index, buffer.data(), &len) != 0) return {buffer.data(), Placed(len, capacity)};
  if (len <= 0) return {};
  if (len > lib::kMaxTextLength) {
    tooLong = true;
    return {};
  }
  if (static_cast<size_t>(len) > buffer.size()) buffer.resize(static_cast<size_t>(len));
  const int32_t asked = len;
  if (get(h, index, buffer.data(), &len) == 0) return {};
  return {buffer.data(), Placed(len, asked)};
}

}  // namespace

std::string TLibTransField::GetName() {
  if (FFieldGetName) {
    int32_t len = 0;
    FFieldGetName(FHandle, FIndex, nullptr, &len);
    if (len > 0 && len <= lib::kMaxTextLength) {
      std::string name(static_cast<size_t>(len), '\0');
      int32_t capacity = len;
      if (FFieldGetName(FHandle, FIndex, name.data(), &len) != 0) {
        name.resize(static_cast<size_t>(len < 0 ? 0 : len < capacity ? len : capacity));
        return name;
      }
    }
  }
  return Ansi("列") + std::to_string(FIndex);
}

void TLibTransField::SetName(std::string_view name) {
  if (FFieldSetName) FFieldSetName(FHandle, FIndex, name.data(), static_cast<int32_t>(name.size()));
}

// As the library told it when the port handed the field out.
int32_t TLibTransField::GetDataType() { return FDataType; }

void TLibTransField::Retire() {
  FHandle = 0;
  FFieldGetName = nullptr;
  FFieldSetName = nullptr;
  FFieldGetType = nullptr;
  FFieldIsEmpty = nullptr;
  FAccessor = nullptr;
  FFieldGetValueText = nullptr;
  FRecordSource = nullptr;
  FRecordSink = nullptr;
  FDataType = 0;
  FRetired = true;
}

void TLibTransField::ConversionFailed() {
  if (TLibTransEngine* engine = FPort ? FPort->Engine() : nullptr)
    engine->SendMessage(18, FormatText(Ansi("第%d行 %d列 数据格式转换失败！").c_str(), FPort->RecordNo(), FIndex));
}

// ---- reader ------------------------------------------------------------------------------

// A library without FieldIsEmpty has every value present.
bool TLibFieldReader::IsEmpty() {
  if (FRetired) return true;
  return FFieldIsEmpty ? FFieldIsEmpty(FHandle, FIndex) != 0 : false;
}

int32_t TLibFieldReader::Ordinal() {
  auto get = AccessorFor<RynGetOrdinal>({1, 2, 3, 4, 5, 6, 8});
  return get ? get(FHandle, FIndex) : 0;
}

bool TLibFieldReader::GetAsBoolean() { return Ordinal() != 0; }

int64_t TLibFieldReader::GetAsInt64() {
  auto get = AccessorFor<RynGetInt64>({7});
  return get ? get(FHandle, FIndex) : 0;
}

float TLibFieldReader::GetAsSingle() {
  auto get = AccessorFor<RynGetSingle>({17});
  return get ? get(FHandle, FIndex) : 0;
}

double TLibFieldReader::GetAsDouble() {
  auto get = AccessorFor<RynGetDouble>({18});
  return get ? get(FHandle, FIndex) : 0;
}

long double TLibFieldReader::GetAsExtended() {
  long double v;
  if (TryTextToFloat(TextValue(), v)) return v;
  ConversionFailed();
  return 0;
}

TGUID TLibFieldReader::GetAsGuid() {
  TGUID g{};
  auto get = AccessorFor<RynGetGuid>({33});
  if (get) {
    RynGuid r{};
    get(&r, FHandle, FIndex);
    std::memcpy(&g, &r, sizeof g);
  }
  return g;
}

TDateTime TLibFieldReader::GetAsDateTime() {
  auto get = AccessorFor<RynGetDateTime>({49, 50, 51});
  if (!get) return 0;
  RynSystemTime r{};
  get(&r, FHandle, FIndex);
  SystemTime st;
  std::memcpy(&st, &r, sizeof st);
  TDateTime value;
  if (SystemTimeToDateTime(st, value)) return value;
  ConversionFailed();
  return 0;
}

std::string_view TLibFieldReader::TextValue() {
  auto get = AccessorFor<RynGetText>({0, 65, 19});
  if (!get) return {};
  bool tooLong = false;
  std::string_view text = ReadText<char>(get, FHandle, FIndex, FText, tooLong);
  if (tooLong) ConversionFailed();
  return text;
}

// A field of another type has text when the library offers the optional FieldGetValueText:
// its value as the source holds it. Without it, only text fields have text.
std::string TLibFieldReader::GetAsString() {
  // The record export gives what the text getter of a text field gives, and what
  // FieldGetValueText gives: it stands in for those two calls only.
  const bool plainText = AccessorFor<RynGetText>({0, 65}) != nullptr;
  std::string_view whole;
  if (FRecordSource && (plainText || (!AccessorFor<RynGetText>({19}) && FFieldGetValueText)) &&
      FRecordSource->RecordText(FIndex, whole)) {
    if (whole.size() <= static_cast<size_t>(lib::kMaxTextLength)) return std::string(whole);
    ConversionFailed();
    return std::string();
  }
  if (AccessorFor<RynGetText>({0, 65, 19}) || !FFieldGetValueText) return std::string(TextValue());
  auto get = FFieldGetValueText;
  bool tooLong = false;
  std::string text(ReadText<char>(get, FHandle, FIndex, FText, tooLong));
  if (tooLong) ConversionFailed();
  return text;
}

std::u16string TLibFieldReader::GetAsWideString() {
  auto get = AccessorFor<RynGetWide>({66});
  if (!get) return {};
  bool tooLong = false;
  std::u16string text(ReadText<char16_t>(get, FHandle, FIndex, FWideText, tooLong));
  if (tooLong) ConversionFailed();
  return text;
}

bool TLibFieldReader::SaveToStream(TStream& stream) {
  auto get = AccessorFor<RynGetBinary>({67});
  if (!get) return false;
  char buffer[kChunk];
  for (;;) {
    int32_t last = 0;
    int32_t n = get(FHandle, FIndex, buffer, kChunk, &last);
    if (n > 0) stream.Write(buffer, static_cast<size_t>(n < kChunk ? n : kChunk));
    // A library that places nothing and never says "last" would keep us here forever.
    if (last != 0 || n <= 0) break;
  }
  return true;
}

// ---- writer ------------------------------------------------------------------------------

void TLibFieldWriter::SetOrdinal(int32_t value) {
  if (auto set = AccessorFor<RynSetOrdinal>({1, 2, 3, 4, 5, 6, 8})) set(FHandle, FIndex, value);
}

void TLibFieldWriter::SetAsInt64(int64_t value) {
  if (auto set = AccessorFor<RynSetInt64>({7})) set(FHandle, FIndex, value);
}

void TLibFieldWriter::SetAsSingle(float value) {
  if (auto set = AccessorFor<RynSetSingle>({17})) set(FHandle, FIndex, value);
}

void TLibFieldWriter::SetAsDouble(double value) {
  if (auto set = AccessorFor<RynSetDouble>({18})) set(FHandle, FIndex, value);
}

void TLibFieldWriter::SetAsExtended(long double value) {
  SetAsString(FormatGeneral(value, LocaleSettings().decimalSeparator));
}

void TLibFieldWriter::SetAsGuid(const TGUID& value) {
  if (auto set = AccessorFor<RynSetGuid>({33})) {
    RynGuid g;
    std::memcpy(&g, &value, sizeof g);
    set(FHandle, FIndex, &g);
  }
}

void TLibFieldWriter::SetAsDateTime(TDateTime value) {
  if (auto set = AccessorFor<RynSetDateTime>({49, 50, 51})) {
    SystemTime st = DateTimeToSystemTime(value);
    RynSystemTime r;
    std::memcpy(&r, &st, sizeof r);
    set(FHandle, FIndex, &r);
  }
}

void TLibFieldWriter::SetAsString(std::string_view value) {
  // Zero-terminated as well as counted, as the contract promises the library.
  if (auto set = AccessorFor<RynSetText>({0, 65})) {
    if (FRecordSink && FRecordSink->Hold(FIndex, value)) return;
    FText.assign(value);
    set(FHandle, FIndex, FText.c_str(), static_cast<int32_t>(FText.size()));
  } else if (auto setExt = AccessorFor<RynSetExtendedText>({19})) {
    FText.assign(value);
    setExt(FHandle, FIndex, FText.c_str(), static_cast<int32_t>(FText.size()));
  }
}

void TLibFieldWriter::SetAsWideString(std::u16string_view value) {
  if (auto set = AccessorFor<RynSetWide>({66})) {
    FWideText.assign(value);
    set(FHandle, FIndex, FWideText.c_str(), static_cast<int32_t>(FWideText.size() * 2));
  }
}

void TLibFieldWriter::LoadFromStream(TStream& stream) {
  auto set = AccessorFor<RynSetBinary>({67});
  if (!set) return;
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream)) {
    // A memory stream goes as one chunk: its whole block.
    const std::string& data = memory->Data();
    set(FHandle, FIndex, data.data(), static_cast<int32_t>(data.size()), -1);
    return;
  }
  char buffer[kChunk];
  int64_t size = stream.Size();
  while (stream.Position() < size) {
    size_t n = stream.Read(buffer, kChunk);
    bool last = n < static_cast<size_t>(kChunk) || stream.Position() >= size;
    set(FHandle, FIndex, buffer, static_cast<int32_t>(n), last ? -1 : 0);
    if (n == 0) break;
  }
}

}  // namespace ryn
