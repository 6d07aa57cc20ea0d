#include "transport/variant.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/locale_settings.h"
#include "platform/text.h"
#include "transport/errors.h"

namespace ryn {
namespace {

[[noreturn]] void CannotConvert(const char* to) {
  throw EVariantError(std::string("Could not convert variant into type (") + to + ")");
}

[[noreturn]] void Overflow() { throw EVariantError("Overflow while converting variant"); }

long double RoundEven(long double v) { return std::nearbyint(v); }

int64_t FloatToInt64(long double v) {
  if (!std::isfinite(v)) Overflow();
  long double r = RoundEven(v);
  if (r < -9223372036854775808.0L || r >= 9223372036854775808.0L) Overflow();
  return static_cast<int64_t>(r);
}

bool TextToBoolean(std::string_view text, bool& out) {
  std::string_view t = TrimBlanks(text);
  if (SameTextAscii(t, "True")) {
    out = true;
    return true;
  }
  if (SameTextAscii(t, "False")) {
    out = false;
    return true;
  }
  long double v;
  if (!TryTextToFloat(t, v)) return false;
  out = v != 0;
  return true;
}

}  // namespace

bool TryTextToFloat(std::string_view text, long double& out) {
  std::string t(TrimBlanks(text));
  char sep = LocaleSettings().decimalSeparator;
  if (sep != '.') {
    if (t.find('.') != std::string::npos) return false;
    for (char& c : t)
      if (c == sep) c = '.';
  }
  const char* first = t.data();
  const char* last = first + t.size();
  if (first < last && *first == '+') ++first;
  if (first == last) return false;
  long double v = 0;
  auto [ptr, ec] = FromCharsExtended(first, last, v);
  if (ec != std::errc() || ptr != last || !std::isfinite(v)) return false;
  out = v;
  return true;
}

TVariant TVariant::Null() {
  TVariant v;
  v.type_ = VarType::kNull;
  return v;
}

TVariant TVariant::Date(TDateTime d) {
  TVariant v;
  v.type_ = VarType::kDate;
  v.float_ = d;
  return v;
}

TVariant TVariant::Currency(int64_t scaled) {
  TVariant v;
  v.type_ = VarType::kCurrency;
  v.int_ = scaled;
  return v;
}

bool TVariant::IsInteger() const {
  switch (type_) {
    case VarType::kSmallInt:
    case VarType::kInteger:
    case VarType::kShortInt:
    case VarType::kByte:
    case VarType::kWord:
    case VarType::kLongWord:
    case VarType::kInt64:
      return true;
    default:
      return false;
  }
}

int64_t TVariant::ToInt64() const {
  if (IsInteger()) return int_;
  switch (type_) {
    case VarType::kEmpty: return 0;
    case VarType::kBoolean: return int_ ? -1 : 0;
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDate: return FloatToInt64(float_);
    case VarType::kCurrency: return FloatToInt64(static_cast<long double>(int_) / 10000);
    case VarType::kString:
    case VarType::kOleStr: {
      std::string text = type_ == VarType::kString ? str_ : ToNarrow(wstr_);
      std::string_view t = TrimBlanks(text);
      int64_t iv = 0;
      const char* first = t.data();
      if (!t.empty() && *first == '+') ++first;
      auto [ptr, ec] = std::from_chars(first, t.data() + t.size(), iv);
      if (ec == std::errc() && ptr == t.data() + t.size() && first != ptr) return iv;
      long double fv;
      if (!TryTextToFloat(t, fv)) CannotConvert("Int64");
      return FloatToInt64(fv);
    }
    default: CannotConvert("Int64");
  }
}

int32_t TVariant::ToInt32() const {
  int64_t v = ToInt64();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) Overflow();
  return static_cast<int32_t>(v);
}

long double TVariant::ToExtended() const {
  if (IsInteger()) return static_cast<long double>(int_);
  switch (type_) {
    case VarType::kEmpty: return 0;
    case VarType::kBoolean: return int_ ? -1 : 0;
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kDate: return float_;
    case VarType::kCurrency: return static_cast<long double>(int_) / 10000;
    case VarType::kString:
    case VarType::kOleStr: {
      long double v;
      if (!TryTextToFloat(type_ == VarType::kString ? str_ : ToNarrow(wstr_), v)) CannotConvert("Double");
      return v;
    }
    default: CannotConvert("Double");
  }
}

double TVariant::ToDouble() const { return static_cast<double>(ToExtended()); }

bool TVariant::ToBoolean() const {
  switch (type_) {
    case VarType::kString:
    case VarType::kOleStr: {
      bool b;
      if (!TextToBoolean(type_ == VarType::kString ? str_ : ToNarrow(wstr_), b)) CannotConvert("Boolean");
      return b;
    }
    case VarType::kNull: CannotConvert("Boolean");
    case VarType::kBoolean: return int_ != 0;
    default: return ToExtended() != 0;
  }
}

TDateTime TVariant::ToDateTime() const {
  switch (type_) {
    case VarType::kString:
    case VarType::kOleStr: {
      TDateTime d;
      if (!TryParseDateTime(type_ == VarType::kString ? str_ : ToNarrow(wstr_), LocaleSettings(), d))
        CannotConvert("Date");
      return d;
    }
    case VarType::kNull: CannotConvert("Date");
    default: return static_cast<TDateTime>(ToExtended());
  }
}

std::string TVariant::ToString() const {
  const TFormatSettings& fs = LocaleSettings();
  if (IsInteger()) return std::to_string(int_);
  switch (type_) {
    case VarType::kEmpty: return std::string();
    case VarType::kBoolean: return int_ ? "True" : "False";
    case VarType::kSingle: return FormatGeneral(float_, fs.decimalSeparator, 7);
    case VarType::kDouble: return FormatGeneral(float_, fs.decimalSeparator);
    case VarType::kCurrency: return FormatCurrency(int_, fs.decimalSeparator);
    case VarType::kDate: {
      double whole = std::trunc(float_);
      if (whole == 0) return FormatDateTime(fs.longTimeFormat, float_, fs);
      std::string s = FormatDateTime(fs.shortDateFormat, float_, fs);
      if (float_ != whole) s += ' ' + FormatDateTime(fs.longTimeFormat, float_, fs);
      return s;
    }
    case VarType::kString: return str_;
    case VarType::kOleStr: return ToNarrow(wstr_);
    default: CannotConvert("String");
  }
}

std::u16string TVariant::ToWideString() const {
  if (type_ == VarType::kOleStr) return wstr_;
  return ToWide(ToString());
}

bool TVariant::RawBytes(std::string& out) const {
  auto put = [&out](const void* p, size_t n) {
    out.assign(static_cast<const char*>(p), n);
    return true;
  };
  switch (type_) {
    case VarType::kSmallInt: { int16_t v = static_cast<int16_t>(int_); return put(&v, 2); }
    case VarType::kInteger: { int32_t v = static_cast<int32_t>(int_); return put(&v, 4); }
    case VarType::kSingle: { float v = static_cast<float>(float_); return put(&v, 4); }
    case VarType::kDouble:
    case VarType::kDate: return put(&float_, 8);
    case VarType::kCurrency: return put(&int_, 8);
    case VarType::kBoolean: { int16_t v = int_ ? -1 : 0; return put(&v, 2); }
    case VarType::kShortInt: { int8_t v = static_cast<int8_t>(int_); return put(&v, 1); }
    case VarType::kByte: { uint8_t v = static_cast<uint8_t>(int_); return put(&v, 1); }
    case VarType::kWord: { uint16_t v = static_cast<uint16_t>(int_); return put(&v, 2); }
    case VarType::kLongWord: { uint32_t v = static_cast<uint32_t>(int_); return put(&v, 4); }
    case VarType::kInt64: return put(&int_, 8);
    case VarType::kString: out = str_; return true;
    case VarType::kOleStr: out = ToNarrow(wstr_); return true;
    default: return false;
  }
}

}  // namespace ryn
