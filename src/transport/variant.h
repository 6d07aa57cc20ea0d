// A dynamically typed value of the kinds the value assignment distinguishes, with the
// conversions between them. A conversion that cannot be made throws EVariantError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace ryn {

enum class VarType : uint8_t {
  kEmpty,
  kNull,
  kSmallInt,
  kInteger,
  kSingle,
  kDouble,
  kCurrency,  // fixed point, scaled by 10000
  kDate,
  kBoolean,
  kShortInt,
  kByte,
  kWord,
  kLongWord,
  kInt64,
  kString,  // narrow text
  kOleStr,  // wide text
};

class TVariant {
 public:
  TVariant() = default;
  TVariant(bool v) : type_(VarType::kBoolean), int_(v ? 1 : 0) {}
  TVariant(int8_t v) : type_(VarType::kShortInt), int_(v) {}
  TVariant(uint8_t v) : type_(VarType::kByte), int_(v) {}
  TVariant(int16_t v) : type_(VarType::kSmallInt), int_(v) {}
  TVariant(uint16_t v) : type_(VarType::kWord), int_(v) {}
  TVariant(int32_t v) : type_(VarType::kInteger), int_(v) {}
  TVariant(uint32_t v) : type_(VarType::kLongWord), int_(v) {}
  TVariant(int64_t v) : type_(VarType::kInt64), int_(v) {}
  TVariant(float v) : type_(VarType::kSingle), float_(v) {}
  TVariant(double v) : type_(VarType::kDouble), float_(v) {}
  TVariant(std::string v) : type_(VarType::kString), str_(std::move(v)) {}
  TVariant(const char* v) : TVariant(std::string(v)) {}
  TVariant(std::u16string v) : type_(VarType::kOleStr), wstr_(std::move(v)) {}
  TVariant(const char16_t* v) : TVariant(std::u16string(v)) {}
  // Other pointers would silently become Booleans.
  template <class T>
  TVariant(T*) = delete;

  static TVariant Null();
  static TVariant Date(TDateTime v);
  static TVariant Currency(int64_t scaled);

  VarType Type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::kEmpty; }
  bool IsNull() const { return type_ == VarType::kNull; }
  bool IsInteger() const;  // any of the integer kinds

  // Direct access to the stored text of kString / kOleStr.
  const std::string& StringRef() const { return str_; }
  const std::u16string& WideRef() const { return wstr_; }

  // Numbers round to the nearest integer, ties to even; text is read as a number.
  int32_t ToInt32() const;
  int64_t ToInt64() const;
  double ToDouble() const;
  long double ToExtended() const;
  // Numbers: non-zero is true. Text: "True"/"False" in any case, or a number.
  bool ToBoolean() const;
  // Numbers are days; text is read with the locale's date settings.
  TDateTime ToDateTime() const;
  // Numbers in general format with the locale's decimal separator, dates by the locale's
  // settings, Booleans "True"/"False".
  std::string ToString() const;
  std::u16string ToWideString() const;

  // The raw bytes of a number, Boolean or date in memory order; text as its narrow bytes.
  // False for empty and null values.
  bool RawBytes(std::string& out) const;

 private:
  VarType type_ = VarType::kEmpty;
  int64_t int_ = 0;      // integer kinds, Boolean (0/1), currency (scaled)
  double float_ = 0;     // single, double, date
  std::string str_;
  std::u16string wstr_;
};

// Reads a decimal number from text (blanks around it allowed; decimal separator of the
// locale); false when the text is not a number.
bool TryTextToFloat(std::string_view text, long double& out);

}  // namespace ryn
