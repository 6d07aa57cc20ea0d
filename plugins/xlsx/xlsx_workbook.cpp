#include "xlsx/xlsx_workbook.h"

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "xlsx/xlsx_cells.h"

namespace ryn {
namespace {

bool EndsWith(std::string_view s, std::string_view tail) { return s.size() >= tail.size() && s.ends_with(tail); }

struct TRelationship {
  std::string type, target;
};

// A relationships part: Id -> type and target.
class TRelsPart final : public TXmlPart {
 public:
  std::map<std::string, TRelationship> rels;

 protected:
  void OnStart(std::string_view name, const char** atts) override {
    if (name != "Relationship") return;
    const char* id = XmlAttr(atts, "Id");
    const char* type = XmlAttr(atts, "Type");
    const char* target = XmlAttr(atts, "Target");
    if (id && target) rels[id] = {type ? type : "", target};
  }
  void OnEnd(std::string_view) override {}
};

class TWorkbookPart final : public TXmlPart {
 public:
  struct Sheet {
    std::string name, rel;
  };
  std::vector<Sheet> sheets;
  bool date1904 = false;

 protected:
  void OnStart(std::string_view name, const char** atts) override {
    if (name == "workbookPr") {
      const char* v = XmlAttr(atts, "date1904");
      date1904 = v && (std::string_view(v) == "1" || std::string_view(v) == "true");
    } else if (name == "sheet") {
      const char* n = XmlAttr(atts, "name");
      const char* id = XmlAttr(atts, "id");
      if (n && id) sheets.push_back({n, id});
    }
  }
  void OnEnd(std::string_view) override {}
};

class TStylesPart final : public TXmlPart {
 public:
  std::map<long, std::string> formats;  // custom number formats
  std::vector<long> xfFormats;          // cellXfs: each style's number format

 protected:
  void OnStart(std::string_view name, const char** atts) override {
    if (name == "numFmt") {
      const char* id = XmlAttr(atts, "numFmtId");
      const char* code = XmlAttr(atts, "formatCode");
      if (id && code) formats[std::strtol(id, nullptr, 10)] = code;
    } else if (name == "cellXfs") {
      inCellXfs_ = true;
    } else if (name == "xf" && inCellXfs_) {
      const char* id = XmlAttr(atts, "numFmtId");
      xfFormats.push_back(id ? std::strtol(id, nullptr, 10) : 0);
    }
  }
  void OnEnd(std::string_view name) override {
    if (name == "cellXfs") inCellXfs_ = false;
  }

 private:
  bool inCellXfs_ = false;
};

// The shared strings: each <si>'s text runs joined, phonetic guides (<rPh>) left out.
class TStringsPart final : public TXmlPart {
 public:
  explicit TStringsPart(std::function<void(std::string_view)> add) : add_(std::move(add)) {}

 protected:
  void OnStart(std::string_view name, const char**) override {
    if (name == "si") text_.clear(), inItem_ = true;
    else if (name == "rPh") ++phonetic_;
    else if (name == "t" && inItem_ && phonetic_ == 0) inText_ = true;
  }
  void OnEnd(std::string_view name) override {
    if (name == "t") inText_ = false;
    else if (name == "rPh") --phonetic_;
    else if (name == "si") add_(text_), inItem_ = false;
  }
  void OnText(std::string_view s) override {
    if (inText_) text_ += s;
  }

 private:
  std::function<void(std::string_view)> add_;
  std::string text_;
  bool inItem_ = false, inText_ = false;
  int phonetic_ = 0;
};

std::string FolderOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

std::string RelsOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  return std::string(part.substr(0, start)) + "_rels/" + std::string(part.substr(start)) + ".rels";
}

}  // namespace

std::string ResolvePartTarget(std::string_view base, std::string_view target) {
  std::string path = target.starts_with('/') ? std::string(target.substr(1)) : FolderOf(base) + std::string(target);
  // Folder steps ".." and "." as a file system would take them.
  std::vector<std::string> steps;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string step = path.substr(start, end - start);
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& s : steps) out += (out.empty() ? "" : "/") + s;
  return out;
}

bool TXlsxWorkbook::Open(const std::string& path, bool withStrings, std::string& error) {
  if (!archive_.Open(path, error)) return false;
  // The package's own relationships name the workbook part.
  std::string workbook = "xl/workbook.xml";
  if (archive_.Has("_rels/.rels")) {
    TRelsPart root;
    if (!root.Open(archive_, "_rels/.rels", error) || !root.ReadAll(error)) return false;
    for (const auto& [id, rel] : root.rels)
      if (EndsWith(rel.type, "/officeDocument")) workbook = ResolvePartTarget("", rel.target);
  }
  TWorkbookPart book;
  if (!book.Open(archive_, workbook, error) || !book.ReadAll(error)) return false;
  date1904_ = book.date1904;
  TRelsPart rels;
  if (!rels.Open(archive_, RelsOf(workbook), error) || !rels.ReadAll(error)) return false;

  sheets_.clear();
  for (const auto& s : book.sheets) {
    auto it = rels.rels.find(s.rel);
    // Chart sheets and dialog sheets hold no cells.
    if (it == rels.rels.end() || !EndsWith(it->second.type, "/worksheet")) continue;
    sheets_.push_back({FromUtf8(s.name), ResolvePartTarget(workbook, it->second.target)});
  }
  std::string styles, strings;
  for (const auto& [id, rel] : rels.rels) {
    if (EndsWith(rel.type, "/styles")) styles = ResolvePartTarget(workbook, rel.target);
    if (EndsWith(rel.type, "/sharedStrings")) strings = ResolvePartTarget(workbook, rel.target);
  }
  dateStyles_.clear();
  if (!styles.empty() && !ReadStyles(styles, error)) return false;
  strings_.clear();
  stringEnds_.clear();
  stringUnmapped_.clear();
  if (withStrings && !strings.empty() && !ReadStrings(strings, error)) return false;
  return true;
}

bool TXlsxWorkbook::ReadStyles(const std::string& part, std::string& error) {
  TStylesPart styles;
  if (!styles.Open(archive_, part, error) || !styles.ReadAll(error)) return false;
  for (long id : styles.xfFormats) {
    auto custom = styles.formats.find(id);
    dateStyles_.push_back(custom != styles.formats.end() ? IsDateFormatCode(custom->second)
                                                         : IsBuiltinDateFormat(static_cast<int32_t>(id)));
  }
  return true;
}

bool TXlsxWorkbook::ReadStrings(const std::string& part, std::string& error) {
  TTranscoder toCodePage(ProcessCodePage().Name(), "UTF-8");
  const bool utf8 = EncodingKey(ProcessCodePage().Name()) == "UTF8";
  std::string converted;
  TStringsPart strings([&](std::string_view text) {
    const std::string decoded = DecodeXlsxEscapes(text);
    uint32_t unmapped = 0;
    if (IsAscii(decoded) || (utf8 && IsWholeUtf8(decoded))) {
      strings_ += decoded;
    } else {
      toCodePage.ResetReplaced();
      toCodePage.ConvertAll(decoded, converted);
      strings_ += converted;
      unmapped = static_cast<uint32_t>(toCodePage.Replaced().Total());
    }
    stringEnds_.push_back(strings_.size());
    stringUnmapped_.push_back(unmapped);
  });
  return strings.Open(archive_, part, error) && strings.ReadAll(error);
}

bool TXlsxWorkbook::SharedString(size_t index, std::string_view& text, size_t& unmapped) const {
  if (index >= stringEnds_.size()) return false;
  const size_t begin = index == 0 ? 0 : stringEnds_[index - 1];
  text = std::string_view(strings_).substr(begin, stringEnds_[index] - begin);
  unmapped = stringUnmapped_[index];
  return true;
}

int32_t TXlsxWorkbook::FindSheet(const std::string& text) const {
  for (size_t i = 0; i < sheets_.size(); ++i)
    if (sheets_[i].name == text) return static_cast<int32_t>(i);
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
  const long n = std::strtol(text.c_str(), nullptr, 10);
  return n >= 1 && static_cast<size_t>(n) <= sheets_.size() ? static_cast<int32_t>(n - 1) : -1;
}

}  // namespace ryn
