#include "expr/common_functions.h"

#include <array>
#include <cmath>
#include <limits>

#include "expr/common_functions_internal.h"
#include "expr/syntax_errors.h"
#include "platform/codepage.h"

namespace ryn {

long double NumberArg(const TCommonData& v) {
  switch (v.DataType) {
    case kDataInt: return v.IntValue;
    case kDataDouble: return v.FloatValue;
    case kDataBool: return v.BoolValue ? -1.0L : 0.0L;
    default: return 0;
  }
}

int32_t IntArg(const TCommonData& v) {
  if (v.DataType == kDataInt) return v.IntValue;
  // The default rounding mode rounds ties to even; rint is much cheaper than nearbyint,
  // which saves and restores the floating-point environment.
  long double x = std::rint(NumberArg(v));
  if (std::isnan(x)) return 0;
  if (x >= static_cast<long double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (x <= static_cast<long double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  // x is whole and in range, so the double holds it exactly; converting from a double
  // does without the x87 rounding-mode switch.
  return static_cast<int32_t>(static_cast<double>(x));
}

namespace {

namespace fn = common_functions;

struct ParamDecl {
  const char* name;
  const char* title;  // UTF-8
  int32_t type;
  bool optional;
};

struct FunctionDecl {
  const char* name;
  const char* title;        // UTF-8
  const char* description;  // UTF-8
  int32_t result;
  std::array<ParamDecl, 4> params;  // up to the first entry without a name
  TSyntaxCommonFunctionListener::Handler handler;
};

constexpr int32_t kVoid = kDataVoid;
constexpr int32_t kInt = kDataInt;
constexpr int32_t kDouble = kDataDouble;
constexpr int32_t kString = kDataString;
constexpr int32_t kBool = kDataBool;
constexpr int32_t kDate = kDataDate;

// In declaration order, which the formula editor shows.
const FunctionDecl kFunctions[] = {
    {"ABS", "绝对值", "返回给定数值的绝对值", kDouble, {{{"value", "数值", kDouble, false}}}, fn::Abs},
    {"INT", "取整", "将数值向下取整为最接近的整数", kDouble, {{{"value", "数值", kDouble, false}}}, fn::Int},
    {"ROUND",
     "四舍五入取整",
     "按指定的位数对数值进行四舍五入",
     kDouble,
     {{{"value", "数值", kDouble, false}, {"dec", "数位", kDouble, true}}},
     fn::Round},
    {"MOD",
     "求模",
     "返回两数相除的余数",
     kDouble,
     {{{"value", "数值", kDouble, false}, {"mvalue", "模数", kDouble, false}}},
     fn::Mod},
    {"POWER",
     "求幂",
     "返回某数的乘幂",
     kDouble,
     {{{"value", "数值", kDouble, false}, {"Exponent", "幂数", kDouble, false}}},
     fn::Power},
    {"L$",
     "左串",
     "从一个文本字符串的第一个字符开始返回指定个数的字符",
     kString,
     {{{"text", "字符值", kString, false}, {"length", "长度", kInt, false}}},
     fn::Left},
    {"M$",
     "中串",
     "从文本字符串中指定的起始位置起返回指定长度的字符",
     kString,
     {{{"text", "字符值", kString, false}, {"start", "开始位置", kInt, false}, {"length", "长度", kInt, false}}},
     fn::Mid},
    {"R$",
     "右串",
     "从一个文本字符串的最后一个字符开始返回指定个数的字符",
     kString,
     {{{"text", "字符值", kString, false}, {"length", "长度", kInt, false}}},
     fn::Right},
    {"LEN", "长度", "返回文本字符串中的字符个数", kDouble, {{{"text", "字符值", kString, false}}}, fn::Len},
    {"VAL", "求值", "将一个文本字符串转换成数值", kDouble, {{{"text", "字符值", kString, false}}}, fn::Val},
    {"POS",
     "在字符串中",
     "返回一个字符串在另一个字符串中出现的起始位置",
     kDouble,
     {{{"substring", "子字符串", kString, false}, {"totalstring", "完整字符值", kString, false}}},
     fn::Pos},
    {"ISDIGIT", "是数字", "判断一个字符串是否仅包含数字", kBool, {{{"text", "字符值", kString, false}}}, fn::IsDigit},
    {"STR", "字符", "将数值或其他类型数据转换成文本", kString, {{{"value", "变量值", kVoid, false}}}, fn::Str},
    {"IDC", "检验位", "返回指定8位企业代码的检验码", kString, {{{"text", "字符值", kString, false}}}, fn::Idc},
    {"DATEVALUE",
     "日期转换",
     "将日期值从字符串转化成日期类型",
     kDate,
     {{{"text", "字符值", kString, false}, {"format", "字符值", kString, true}}},
     fn::DateValue},
    {"DATE",
     "日期",
     "将指定的年、月、日转化成日期类型",
     kDate,
     {{{"year", "年", kInt, false}, {"month", "月", kInt, false}, {"day", "日", kInt, false}}},
     fn::Date},
    {"DATEADD",
     "加日期",
     "返回调整后的新日期",
     kDate,
     {{{"date", "日期", kDate, false},
       {"day", "加日", kInt, false},
       {"month", "加月", kInt, true},
       {"year", "加年", kInt, true}}},
     fn::DateAdd},
    {"YEAR", "取年", "返回日期中的年份", kDouble, {{{"date", "日期", kDate, false}}}, fn::Year},
    {"MONTH", "取月", "返回日期中的月份", kDouble, {{{"date", "日期", kDate, false}}}, fn::Month},
    {"DAY", "取日", "返回日期中的日子", kDouble, {{{"date", "日期", kDate, false}}}, fn::Day},
    {"TODAY", "今天", "返回当前日期", kDate, {}, fn::Today},
    {"ISIDCARD", "是合法身份证", "判断个人身份证是否合法", kBool, {{{"text", "身份证", kString, false}}}, fn::IsIdCard},
    {"IDCARD18",
     "转换成18位身份证",
     "将15位身份证转换成18位身份证",
     kString,
     {{{"text", "身份证", kString, false}}},
     fn::IdCard18},
    {"IDCARDDATE",
     "取身份证日期",
     "根据个人身份证返回个人的出生日期",
     kDate,
     {{{"text", "身份证", kString, false}}},
     fn::IdCardDate},
};

}  // namespace

TSyntaxCommonFunctionListener::TSyntaxCommonFunctionListener() {
  for (const FunctionDecl& d : kFunctions) {
    TSyntaxFunction& f = functions_.Add(d.name, Ansi(d.title));
    f.Description = Ansi(d.description);
    f.ResultType = d.result;
    for (const ParamDecl& p : d.params) {
      if (p.name == nullptr) break;
      f.AddParam(p.name, Ansi(p.title), false, p.optional, p.type);
    }
    handlers_.emplace_back(&f, d.handler);
  }
}

int32_t TSyntaxCommonFunctionListener::Execute(std::string_view name, FunctionArgs args, bool,
                                               TCommonData& result) {
  const TSyntaxFunction* f = FindFunction(name);
  Handler handler = nullptr;
  for (const auto& [decl, h] : handlers_) {
    if (decl == f) {
      handler = h;
      break;
    }
  }
  if (f == nullptr || handler == nullptr) return kErrNoFunction;
  if (args.size() != static_cast<size_t>(f->Count())) return kErrBadArguments;
  for (const TCommonData* a : args)
    if (a == nullptr) return kErrBadArguments;
  return handler(args, result);
}

TCommonFunctionsRegistration::TCommonFunctionsRegistration()
    : listener_(MakeIntf<TSyntaxCommonFunctionListener>()) {
  RegisterSyntaxListener(listener_);
}

TCommonFunctionsRegistration::~TCommonFunctionsRegistration() { UnregisterSyntaxListener(listener_); }

}  // namespace ryn
