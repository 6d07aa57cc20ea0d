#include "expr/syntax_errors.h"

#include <string_view>

#include "platform/codepage.h"

namespace ryn {
namespace {

struct Entry {
  int32_t code;
  std::string_view utf8;
};

constexpr Entry kMessages[] = {
    {0, "公式语法正确"},
    {1, "未知语法或语法不支持"},
    {2, "缺少左小括号“(”"},
    {3, "缺少右小括号“)”"},
    {4, "缺少左中括号“[”"},
    {5, "缺少右中括号“]”"},
    {6, "缺少左大括号“{”"},
    {7, "缺少右大括号“}”"},
    {8, "缺少标识符"},
    {9, "缺少字符"},
    {10, "缺少数字"},
    {11, "缺少字母"},
    {12, "缺少双引号“\"”"},
    {13, "缺少等于号“=”"},
    {14, "缺少逗号“,”"},
    {15, "缺少整数"},
    {16, "缺少数值"},
    {17, "缺少字符串"},
    {18, "缺少日期型"},
    {19, "缺少布尔值"},
    {20, "缺少 AND 操作符"},
    {21, "缺少 OR 操作符"},
    {22, "缺少 NOT 操作符"},
    {23, "缺少 THEN 操作符"},
    {24, "缺少 ELSE 操作符"},
    {51, "括号太多"},
    {52, "括号不匹配"},
    {53, "双引号使用错误"},
    {54, "大括号使用错误"},
    {55, "错误的行栏区间设定, 终点小于起点"},
    {56, "行栏区间设置必须在末尾"},
    {57, "需要单元区间设置"},
    {101, "存在多余的字符"},
    {102, "不合法的字符"},
    {103, "需要 IF 表达式"},
    {104, "需要 THEN 表达式"},
    {105, "需要 ELSE 表达式"},
    {151, "操作符重叠"},
    {152, "数据类型不匹配"},
    {153, "连加符“&”使用错误"},
    {154, "连加符&终点小于起点"},
    {155, "整数值越界"},
    {156, "错误的单元表达式"},
    {157, "错误的标识符"},
    {158, "条件设置重复"},
    {159, "条件设置错误"},
    {160, "时期设置重复"},
    {161, "不支持单元格通配符“*”"},
    {162, "统计模式设置重复"},
    {163, "维度设置重复"},
    {164, "文本长度超出上限（64MB）"},
    {165, "内存不足"},
    {166, "字段序号超出范围"},
    {201, "函数不存在"},
    {202, "函数的参数不正确"},
};

}  // namespace

std::string SyntaxErrorMessage(int32_t code) {
  for (const Entry& e : kMessages)
    if (e.code == code) return Ansi(e.utf8);
  return {};
}

std::string IndexOutOfRangeMessage(int64_t index, int64_t last) {
  return Ansi("字段序号") + std::to_string(index) + Ansi("超出范围 (0-") + std::to_string(last) + ")";
}

const std::string& UndefinedErrorMessage() { return Ansi("未定义的错误"); }

}  // namespace ryn
