// TXlsxWorkbook: what a workbook package tells before any sheet is read. The sheets in
// workbook order with their parts (found through the package's relationships, not by
// their usual names), the date system, which cell styles show dates, and the shared
// strings, loaded once and converted to the process code page once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/xlsx_part.h"

namespace ryn {

struct TXlsxSheet {
  std::string name;  // in the process code page
  std::string part;  // the zip entry of its XML
};

class TXlsxWorkbook {
 public:
  // Opens the package and reads the workbook, its relationships and its styles; the
  // shared strings too when withStrings is set. false with the reason (process code page).
  bool Open(const std::string& path, bool withStrings, std::string& error);

  const std::vector<TXlsxSheet>& Sheets() const { return sheets_; }
  // The sheet named exactly so, else (text being 1-based digits) the sheet of that number;
  // -1 when neither.
  int32_t FindSheet(const std::string& text) const;
  bool Date1904() const { return date1904_; }
  bool IsDateStyle(uint32_t style) const { return style < dateStyles_.size() && dateStyles_[style]; }

  // Shared string index in the process code page, and how many of its characters the code
  // page lacked; false for an index beyond the table.
  bool SharedString(size_t index, std::string_view& text, size_t& unmapped) const;
  size_t SharedStringCount() const { return stringEnds_.size(); }

  TZipArchive& Archive() { return archive_; }

 private:
  bool ReadStyles(const std::string& part, std::string& error);
  bool ReadStrings(const std::string& part, std::string& error);

  TZipArchive archive_;
  std::vector<TXlsxSheet> sheets_;
  bool date1904_ = false;
  std::vector<bool> dateStyles_;
  std::string strings_;                  // every shared string, one after the other
  std::vector<size_t> stringEnds_;       // where each ends in strings_
  std::vector<uint32_t> stringUnmapped_; // per string: characters replaced by "?"
};

// The entry a relationship's target names, seen from the part at base ("xl/workbook.xml"):
// relative to base's folder, or from the package root when it starts with "/".
std::string ResolvePartTarget(std::string_view base, std::string_view target);

}  // namespace ryn
