// L$, M$, R$, LEN, VAL, POS, ISDIGIT, STR, IDC. Positions and lengths count bytes, so a
// Chinese character counts two under GBK; stored layouts rely on those widths. A cut never
// leaves half a character: the bytes of a character cut at either edge become blanks.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "expr/check_codes.h"
#include "expr/common_functions_internal.h"
#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/locale_settings.h"
#include "platform/text.h"

namespace ryn::common_functions {
namespace {

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// The number at the start of text (after spaces), read as far as it goes: "12.5kg" is
// 12.5, text without digits 0.
long double LeadingNumber(std::string_view text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  // from_chars would also take "inf" and "nan", which are not numbers here.
  bool digitFirst = i < text.size() && IsDigitChar(text[i]);
  bool pointFirst = i + 1 < text.size() && text[i] == '.' && IsDigitChar(text[i + 1]);
  if (!digitFirst && !pointFirst) return 0;
  long double x = 0;
  auto [end, ec] = FromCharsExtended(text.data() + i, text.data() + text.size(), x);
  (void)end;
  if (ec != std::errc() || !std::isfinite(x)) return 0;
  return negative ? -x : x;
}

}  // namespace

int32_t Left(FunctionArgs args, TCommonData& result) {
  int32_t n = IntArg(*args[1]);
  result.SetString(n <= 0 ? std::string() : CutAtCharBoundaries(args[0]->StrValue, 0, static_cast<size_t>(n)));
  return 0;
}

int32_t Mid(FunctionArgs args, TCommonData& result) {
  const std::string& text = args[0]->StrValue;
  int64_t start = std::max<int64_t>(IntArg(*args[1]), 1);
  int32_t n = IntArg(*args[2]);
  if (n <= 0 || start > static_cast<int64_t>(text.size())) result.SetString({});
  else result.SetString(CutAtCharBoundaries(text, static_cast<size_t>(start - 1), static_cast<size_t>(n)));
  return 0;
}

int32_t Right(FunctionArgs args, TCommonData& result) {
  const std::string& text = args[0]->StrValue;
  int32_t n = IntArg(*args[1]);
  if (n <= 0) result.SetString({});
  else if (static_cast<size_t>(n) >= text.size()) result.SetString(text);
  else result.SetString(CutAtCharBoundaries(text, text.size() - static_cast<size_t>(n), static_cast<size_t>(n)));
  return 0;
}

int32_t Len(FunctionArgs args, TCommonData& result) {
  result.SetInt(static_cast<int32_t>(std::min<size_t>(args[0]->StrValue.size(), INT32_MAX)));
  return 0;
}

int32_t Val(FunctionArgs args, TCommonData& result) {
  std::string text = args[0]->StrValue;
  std::erase(text, ',');
  result.SetDouble(LeadingNumber(text));
  return 0;
}

// A match must start and end on character boundaries: the trail byte of a double-byte
// character followed by the next character is no occurrence of anything, and neither is
// half a character.
int32_t Pos(FunctionArgs args, TCommonData& result) {
  std::string_view sub = args[0]->StrValue;
  std::string_view total = args[1]->StrValue;
  int32_t found = 0;
  if (!sub.empty()) {
    const CodePage& cp = ProcessCodePage();
    const char* end = total.data() + total.size();
    auto endsOnBoundary = [&](size_t i) {
      const size_t stop = i + sub.size();
      while (i < stop) i += cp.CharLength(total.data() + i, end);
      return i == stop;
    };
    for (size_t i = 0; i + sub.size() <= total.size(); i += cp.CharLength(total.data() + i, end)) {
      if (total.compare(i, sub.size(), sub) == 0 && endsOnBoundary(i)) {
        found = static_cast<int32_t>(i + 1);
        break;
      }
    }
  }
  result.SetInt(found);
  return 0;
}

int32_t IsDigit(FunctionArgs args, TCommonData& result) {
  const std::string& text = args[0]->StrValue;
  result.SetBool(std::all_of(text.begin(), text.end(), IsDigitChar));
  return 0;
}

// A value left empty prints as the zero value of its type.
int32_t Str(FunctionArgs args, TCommonData& result) {
  const TCommonData& v = *args[0];
  const bool null = v.IsNull;
  switch (v.DataType) {
    case kDataInt: result.SetString(std::to_string(null ? 0 : v.IntValue)); break;
    case kDataDouble:
      result.SetString(FormatGeneral(null ? 0.0L : v.FloatValue, LocaleSettings().decimalSeparator));
      break;
    case kDataString: result.SetString(null ? std::string() : v.StrValue); break;
    case kDataBool: result.SetString(!null && v.BoolValue ? "True" : "False"); break;
    case kDataDate: result.SetString(FormatDateTime("yyyy-MM-dd", null ? 0.0 : v.DateValue, LocaleSettings())); break;
    default: result.SetString({}); break;
  }
  return 0;
}

// A code that is not eight valid characters gives the character code 0.
int32_t Idc(FunctionArgs args, TCommonData& result) {
  result.SetString(std::string(1, OrgCodeCheckChar(args[0]->StrValue)));
  return 0;
}

}  // namespace ryn::common_functions
