// What the progress log window says about a run of the script host, in the system's
// words: the counts of the run on one line, and one line per value that could not be
// carried exactly. The lines are kept to one line each and of a readable length, whatever
// the values hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "expr/named_host.h"

namespace ryn {

// "读取3000条，写入2948条，筛除52条，拒绝0条，2个值有变化（代码页2个）": every count always,
// the kinds of the changed values only when there are some, in the order of their kinds.
std::string RunCountsText(const TRunCounts& counts);

// "第12条记录，字段“JE”：MESSAGE，源值“abc”". The place is the destination field's name;
// without a name its index, and without a known field the mapping line. The source value
// is left out when empty; line breaks and tabs in it show as \r \n \t, and a long value is
// cut at a whole character, marked with "…".
std::string ProblemLine(const TValueProblem& problem, std::string_view fieldName, std::string_view mappingText);

// The longest source value a problem line shows, in bytes before the "…".
constexpr size_t kProblemValueShown = 64;

// The line after the listed problems: "另有N个值的问题没有列出".
std::string ProblemsNotListedText(int64_t count);

// The second line of a run's summary: "警告2个，错误0个，用时1.5秒" (the time in tenths of a
// second, rounded).
std::string RunTotalsText(int64_t warnings, int64_t errors, int64_t milliseconds);

// The log's last line after the user stopped a run.
std::string CancelledText();

// The error of a run whose values could not all be carried exactly.
std::string ValuesChangedFailureText(int64_t count);

}  // namespace ryn
