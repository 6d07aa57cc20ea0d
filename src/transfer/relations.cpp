#include "transfer/relations.h"

#include <limits>

#include "platform/text.h"

namespace ryn {
namespace {

constexpr std::string_view kExportPrefix = "Export(";

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
      if (i < text.size() || start < i) lines.push_back(text.substr(start, i - start));
      if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  return lines;
}

// An optional sign and the decimal digits that follow, up to the first other byte; 0
// without digits. Values beyond the 32-bit range name no field and read as -1.
int64_t LeadingInteger(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int64_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > std::numeric_limits<int32_t>::max()) return -1;
  }
  return negative ? -value : value;
}

}  // namespace

bool IsBlankValue(std::string_view text) {
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

void ReadRelations(std::string_view script, std::vector<TRelationRow>& rows, std::string& filter) {
  for (std::string_view raw : SplitLines(script)) {
    std::string_view line = TrimBlanks(raw);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (line.size() > kExportPrefix.size() &&
        SameTextAscii(line.substr(0, kExportPrefix.size()), kExportPrefix)) {
      int64_t index = LeadingInteger(line.substr(kExportPrefix.size()));
      std::string_view value = TrimBlanks(line.substr(eq + 1));
      if (index >= 0 && index < static_cast<int64_t>(rows.size()) && !value.empty())
        rows[static_cast<size_t>(index)].value = std::string(value);
    } else if (SameTextAscii(TrimBlanks(line.substr(0, eq)), "Filter")) {
      filter = std::string(TrimBlanks(line.substr(eq + 1)));
    }
  }
}

TRelationScript WriteRelations(std::string_view filter, const std::vector<TRelationRow>& rows,
                               const TFieldIndexOf& indexOf) {
  TRelationScript out;
  std::vector<std::string> lines;
  std::vector<int32_t> lineIndex;  // destination index of each line; -1 for the filter
  std::string_view cond = TrimBlanks(filter);
  if (!cond.empty()) {
    lines.push_back("Filter=" + std::string(cond));
    lineIndex.push_back(-1);
  }
  for (const TRelationRow& row : rows) {
    if (IsBlankValue(row.value)) continue;
    std::string_view name = TrimBlanks(row.name);
    int32_t index = indexOf ? indexOf(name) : -1;
    if (index < 0) {
      out.unknownRows.emplace_back(name);
      continue;
    }
    std::string line = "Export(" + std::to_string(index) + ")=" + row.value;
    size_t at = 0;
    while (at < lineIndex.size() && lineIndex[at] != index) ++at;
    if (at < lines.size()) {
      lines[at] = std::move(line);
    } else {
      lines.push_back(std::move(line));
      lineIndex.push_back(index);
    }
  }
  for (const std::string& line : lines) out.script += line + "\r\n";
  return out;
}

}  // namespace ryn
