#include "transfer/run_report.h"

#include <algorithm>

#include "platform/codepage.h"

namespace ryn {
namespace {

std::string Count(int64_t n) { return std::to_string(n); }

// One line of text: a break or a tab would split the log's line or hide what the value
// holds, so each shows as its escape; other control bytes become blanks. Bytes below 0x20
// are never part of a multi-byte character, so a byte-wise pass is safe in every code page.
std::string OneLine(std::string_view text, size_t limit) {
  const CodePage& cp = ProcessCodePage();
  std::string out;
  const char* p = text.data();
  const char* end = p + text.size();
  size_t shown = 0;  // bytes of the text taken, before escapes
  while (p < end) {
    const size_t len = cp.CharLength(p, end);
    if (shown + len > limit) {
      out += Ansi("…");
      break;
    }
    shown += len;
    if (len == 1 && static_cast<unsigned char>(*p) < 0x20) {
      switch (*p) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += ' '; break;
      }
    } else {
      out.append(p, len);
    }
    p += len;
  }
  return out;
}

}  // namespace

std::string RunCountsText(const TRunCounts& counts) {
  std::string text = Ansi("读取") + Count(counts.read) + Ansi("条，写入") + Count(counts.written) + Ansi("条，筛除") +
                     Count(counts.filtered) + Ansi("条，拒绝") + Count(counts.rejected) + Ansi("条，") +
                     Count(counts.Changed()) + Ansi("个值有变化");
  static constexpr const char* kKindWords[kValueProblemKinds] = {"映射出错", "代码页", "无效字节"};
  std::string kinds;
  for (size_t k = 0; k < kValueProblemKinds; ++k) {
    if (counts.changed[k] == 0) continue;
    if (!kinds.empty()) kinds += Ansi("，");
    kinds += Ansi(kKindWords[k]) + Count(counts.changed[k]) + Ansi("个");
  }
  if (!kinds.empty()) text += Ansi("（") + kinds + Ansi("）");
  return text;
}

std::string ProblemLine(const TValueProblem& problem, std::string_view fieldName, std::string_view mappingText) {
  std::string place;
  if (!fieldName.empty()) place = Ansi("字段“") + OneLine(fieldName, std::string_view::npos) + Ansi("”");
  else if (problem.destField >= 0) place = Ansi("字段") + Count(problem.destField);
  else place = Ansi("映射“") + OneLine(mappingText, std::string_view::npos) + Ansi("”");
  std::string line = Ansi("第") + Count(problem.record) + Ansi("条记录，") + place + Ansi("：") +
                     OneLine(problem.message, std::string_view::npos);
  if (!problem.value.empty())
    line += Ansi("，源值“") + OneLine(problem.value, kProblemValueShown) + Ansi("”");
  return line;
}

std::string ProblemsNotListedText(int64_t count) { return Ansi("另有") + Count(count) + Ansi("个值的问题没有列出"); }

std::string RunTotalsText(int64_t warnings, int64_t errors, int64_t milliseconds) {
  const int64_t tenths = (std::max<int64_t>(milliseconds, 0) + 50) / 100;
  return Ansi("警告") + Count(warnings) + Ansi("个，错误") + Count(errors) + Ansi("个，用时") + Count(tenths / 10) + "." +
         Count(tenths % 10) + Ansi("秒");
}

std::string CancelledText() { return Ansi("传输已被用户取消：输出的数据不保留，目标保持原样"); }

std::string ValuesChangedFailureText(int64_t count) {
  return Ansi("有") + Count(count) + Ansi("个值不能原样传输：传输失败，输出的数据不保留");
}

}  // namespace ryn
