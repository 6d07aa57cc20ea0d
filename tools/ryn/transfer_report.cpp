#include "transfer_report.h"

#include <climits>
#include <iterator>
#include <ostream>
#include <stdexcept>

#include "file_names.h"
#include "platform/codepage.h"

namespace ryn::tool {
namespace {

const char* const kKindNames[kValueProblemKinds] = {"conversion", "code page", "bad bytes"};

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// A value cut to a length a console line can show, in whole characters.
std::string Shown(const std::string& utf8) {
  constexpr size_t kMax = 60;
  if (utf8.size() <= kMax) return utf8;
  size_t cut = kMax;
  while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
  return utf8.substr(0, cut) + "...";
}

std::string FieldLabel(int32_t index, const std::string& name) {
  if (index < 0) return "?";
  return std::to_string(index) + (name.empty() ? std::string() : " " + Quoted(ToUtf8(name)));
}

}  // namespace

std::string SummaryLine(const TRunCounts& c) {
  std::string line = std::to_string(c.read) + " read, " + std::to_string(c.written) + " written, " +
                     std::to_string(c.filtered) + " filtered, " + std::to_string(c.rejected) + " rejected, " +
                     std::to_string(c.Changed()) + (c.Changed() == 1 ? " value" : " values") + " changed";
  std::string kinds;
  for (size_t k = 0; k < kValueProblemKinds; ++k)
    if (c.changed[k] > 0) kinds += (kinds.empty() ? "" : ", ") + std::to_string(c.changed[k]) + " " + kKindNames[k];
  if (!kinds.empty()) line += " (" + kinds + ")";
  return line;
}

void PrintColumnReport(std::ostream& out, const TRunCounts& counts, const std::vector<std::string>& destNames) {
  for (size_t j = 0; j < counts.columns.size(); ++j) {
    const TColumnCounts& c = counts.columns[j];
    const std::string name = j < destNames.size() ? destNames[j] : std::string();
    out << "field " << FieldLabel(static_cast<int32_t>(j), name) << ": " << c.values << " values, " << c.empty
        << " empty, " << c.problems << (c.problems == 1 ? " problem" : " problems") << "\n";
    for (const TValueProblem& p : c.first)
      out << "  record " << p.record << ": " << Quoted(Shown(ToUtf8(p.value))) << " " << ToUtf8(p.message) << "\n";
  }
}

std::string ProblemText(const TValueProblem& p, const std::string& destName, const std::string& mapping) {
  std::string text = Ansi("第") + std::to_string(p.record) + Ansi("条记录");
  if (p.destField >= 0) text += Ansi("，字段") + std::to_string(p.destField) + Ansi("“") + destName + Ansi("”");
  if (!mapping.empty()) text += Ansi("（") + mapping + Ansi("）");
  text += Ansi("：") + p.message;
  if (!p.value.empty()) text += Ansi("；源值“") + FromUtf8(Shown(ToUtf8(p.value))) + Ansi("”");
  return text;
}

TRejectsFile::TRejectsFile(const std::string& path, const std::vector<std::string>& sourceNames) : path_(path) {
  out_.open(FilePath(path), std::ios::binary | std::ios::trunc);
  if (!out_) throw std::runtime_error("cannot write the reject file " + path);
  out_ << "\xEF\xBB\xBF";
  std::vector<std::string> heading = {Ansi("记录"), Ansi("目标字段"), Ansi("映射"), Ansi("问题")};
  heading.insert(heading.end(), sourceNames.begin(), sourceNames.end());
  Row(heading);
}

void TRejectsFile::Row(const std::vector<std::string>& values) {
  std::string line;
  for (size_t i = 0; i < values.size(); ++i) line += (i ? "," : "") + Quoted(ToUtf8(values[i]));
  out_ << line << "\r\n";
}

void TRejectsFile::Add(const TValueProblem& p, const std::string& destName, const std::string& mapping,
                       const std::vector<std::string>& sourceValues) {
  std::vector<std::string> row = {std::to_string(p.record), destName, mapping, p.message};
  row.insert(row.end(), sourceValues.begin(), sourceValues.end());
  Row(row);
}

void TRejectsFile::Close() {
  out_.flush();
  const bool ok = static_cast<bool>(out_);
  out_.close();
  if (!ok || out_.fail()) throw std::runtime_error("writing the reject file " + path_ + " failed");
}

std::set<int32_t> ReadRejectedRecords(const std::string& path) {
  std::ifstream in(FilePath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  std::set<int32_t> records;
  size_t i = 0;
  int line = 1;
  bool heading = true;
  while (i < text.size()) {
    // The first value of the record, RFC 4180; the rest of the record is passed over.
    std::string first;
    int fieldNo = 0;
    const int recordLine = line;
    for (;;) {
      std::string value;
      if (i < text.size() && text[i] == '"') {
        ++i;
        for (;;) {
          if (i >= text.size()) throw std::runtime_error(path + ":" + std::to_string(recordLine) + ": unclosed quote");
          if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              value += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (text[i] == '\n') ++line;
          value += text[i++];
        }
      } else {
        while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') value += text[i++];
      }
      if (fieldNo++ == 0) first = value;
      if (i < text.size() && text[i] == ',') {
        ++i;
        continue;
      }
      if (i < text.size() && text[i] == '\r') ++i;
      if (i < text.size() && text[i] == '\n') ++i, ++line;
      break;
    }
    if (heading) {
      heading = false;
      continue;
    }
    if (first.empty() && fieldNo == 1) continue;  // a blank line
    size_t used = 0;
    long long n = -1;
    try {
      n = std::stoll(first, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != first.size() || n < 1 || n > INT32_MAX)
      throw std::runtime_error(path + ":" + std::to_string(recordLine) + ": \"" + first + "\" is no record number");
    records.insert(static_cast<int32_t>(n));
  }
  return records;
}

}  // namespace ryn::tool
