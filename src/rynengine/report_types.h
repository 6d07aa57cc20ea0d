// Report types: eight code letters with their Chinese names, and the data types of the
// exchange file whose captions also name the field-catalogue sections.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ryn {

constexpr int kReportTypeCount = 8;

// The name of the first type whose code letter equals code exactly; "不定期" otherwise.
std::string ReportTypeName(std::string_view code);
// The code letter of the first type whose name equals name ignoring ASCII case; "B"
// otherwise.
std::string ReportTypeCode(std::string_view name);
// Calls back once per type, in table order, with its code letter.
void EnumReportTypes(const std::function<void(const std::string& code)>& callback);

constexpr int kDataTypeCount = 3;
// "固定数据", "浮动数据", "维度数据" for 0, 1, 2; empty for anything else.
std::string DataTypeCaption(int dataType);

}  // namespace ryn
