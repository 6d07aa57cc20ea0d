#include "expr/str_functions.h"

#include <algorithm>
#include <string>

#include "expr/syntax_errors.h"
#include "expr/text_limits.h"
#include "platform/codepage.h"
#include "platform/locale_settings.h"
#include "platform/text.h"

namespace ryn {
namespace {

enum class StrFn { kTrimLeft, kTrimRight, kTrim, kFillLeft, kFillRight, kFormatDate };

struct StrFnName {
  std::string_view name;
  StrFn fn;
  size_t params;
};

constexpr StrFnName kNames[] = {
    {"Trimleft", StrFn::kTrimLeft, 1},  {"TrimRight", StrFn::kTrimRight, 1}, {"Trim", StrFn::kTrim, 1},
    {"FillLeft", StrFn::kFillLeft, 3},  {"FillRight", StrFn::kFillRight, 3}, {"FormatDate", StrFn::kFormatDate, 2},
};

constexpr const char* kDefaultDateFormat = "yyyy-mm-dd";

bool IsStringOrMissing(const TCommonData& v) { return v.IsNull || v.DataType == kDataString; }

// n bytes: the trimmed text cut to n bytes, padded with whole copies of the fill
// character on the right (or, aligned right, on the left). A character that does not fit
// whole, of the text or of a double-byte fill, leaves blanks at the outer edge.
std::string Fill(FunctionArgs args, bool alignRight) {
  const size_t n = static_cast<size_t>(std::max(IntArg(*args[0]), 0));
  std::string_view text = TrimBlanks(args[1]->StrValue);
  std::string s = CutAtCharBoundaries(text, 0, n);
  const size_t padding = n - s.size();
  if (padding == 0) return s;
  const TCommonData& chr = *args[2];
  std::string_view fill = !chr.IsNull && !chr.StrValue.empty() ? std::string_view(chr.StrValue) : " ";
  fill = fill.substr(0, ProcessCodePage().CharLength(fill.data(), fill.data() + fill.size()));
  std::string run;
  run.reserve(padding + fill.size());
  while (run.size() < padding) run += fill;
  const std::string pad = CutAtCharBoundaries(run, alignRight ? run.size() - padding : 0, padding);
  return alignRight ? pad + s : s + pad;
}

}  // namespace

TStrFunc::TStrFunc() {
  auto declare = [this](const char* name, const char* title) -> TSyntaxFunction& {
    TSyntaxFunction& f = functions_.Add(name, Ansi(title));
    f.ResultType = kDataString;
    return f;
  };
  declare("Trimleft", "剪除左边空格").AddParam("Str", Ansi("字符串"), false, false, kDataString);
  declare("TrimRight", "剪除右边空格").AddParam("Str", Ansi("字符串"), false, false, kDataString);
  declare("Trim", "剪除空格").AddParam("Str", Ansi("字符串"), false, false, kDataString);
  declare("FillLeft", "左边填充空格")
      .AddParam("Len", Ansi("字符串总长度"), false, false, kDataInt)
      .AddParam("Str", Ansi("填充字符串"), false, false, kDataString)
      .AddParam("Chr", Ansi("填充字符(缺省为空格)"), false, true, kDataString);
  declare("FillRight", "右边填充空格")
      .AddParam("Len", Ansi("字符串总长度"), false, false, kDataInt)
      .AddParam("Str", Ansi("填充字符串"), false, false, kDataString)
      .AddParam("Chr", Ansi("填充字符(缺省为空格)"), false, true, kDataString);
  declare("FormatDate", "格式化日期字符串")
      .AddParam("Date", Ansi("日期"), false, false, kDataDate)
      .AddParam("Format", Ansi("格式字符串"), false, true, kDataString);
}

int32_t TStrFunc::Execute(std::string_view name, FunctionArgs args, bool check, TCommonData& result) {
  auto it = std::find_if(std::begin(kNames), std::end(kNames),
                         [name](const StrFnName& n) { return SameTextAscii(n.name, name); });
  if (it == std::end(kNames)) return kErrUnknownSyntax;
  if (args.size() != it->params || std::find(args.begin(), args.end(), nullptr) != args.end())
    return kErrBadArguments;

  switch (it->fn) {
    case StrFn::kTrimLeft:
    case StrFn::kTrimRight:
    case StrFn::kTrim: {
      if (args[0]->DataType != kDataString) return kErrBadArguments;
      if (check) break;
      std::string_view s = args[0]->StrValue;
      s = it->fn == StrFn::kTrimLeft ? TrimLeftBlanks(s) : it->fn == StrFn::kTrimRight ? TrimRightBlanks(s) : TrimBlanks(s);
      result.SetString(std::string(s));
      return 0;
    }
    case StrFn::kFillLeft:
    case StrFn::kFillRight:
      if (!IsNumber(*args[0]) || args[1]->DataType != kDataString || !IsStringOrMissing(*args[2]))
        return kErrBadArguments;
      if (check) break;
      if (IntArg(*args[0]) > 0 && static_cast<size_t>(IntArg(*args[0])) > kMaxFormulaText) return kErrBadArguments;
      result.SetString(Fill(args, it->fn == StrFn::kFillLeft));
      return 0;
    case StrFn::kFormatDate: {
      if (args[0]->DataType != kDataDate || !IsStringOrMissing(*args[1])) return kErrBadArguments;
      const TCommonData& format = *args[1];
      const bool given = !format.IsNull && !format.StrValue.empty();
      // A pattern letter prints at most two bytes, so the pattern is what must be bounded.
      if (format.StrValue.size() > kMaxFormulaText / 2) return kErrBadArguments;
      result.SetString(FormatDateTime(given ? std::string_view(format.StrValue) : kDefaultDateFormat,
                                      args[0]->DateValue, LocaleSettings()));
      return 0;
    }
  }
  result.SetString({});
  return 0;
}

}  // namespace ryn
