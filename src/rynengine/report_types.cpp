#include "rynengine/report_types.h"

#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {
namespace {

struct ReportType {
  const char* code;
  const char* name;  // UTF-8 source text
};

constexpr ReportType kReportTypes[kReportTypeCount] = {
    {"N", "年"}, {"H", "半年"}, {"J", "季度"}, {"Y", "月"}, {"X", "旬"}, {"Z", "周"}, {"R", "日"}, {"B", "不定期"},
};

}  // namespace

std::string ReportTypeName(std::string_view code) {
  for (const auto& t : kReportTypes)
    if (code == t.code) return Ansi(t.name);
  return Ansi("不定期");
}

std::string ReportTypeCode(std::string_view name) {
  for (const auto& t : kReportTypes)
    if (SameTextAscii(name, Ansi(t.name))) return t.code;
  return "B";
}

void EnumReportTypes(const std::function<void(const std::string& code)>& callback) {
  for (const auto& t : kReportTypes) callback(t.code);
}

std::string DataTypeCaption(int dataType) {
  switch (dataType) {
    case 0: return Ansi("固定数据");
    case 1: return Ansi("浮动数据");
    case 2: return Ansi("维度数据");
    default: return std::string();
  }
}

}  // namespace ryn
