// Workbook packages written part by part in the tests, so that each rule of the format
// (prefixes, missing references, escapes, rich text, styles) is met exactly as given.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ryn::testing {

using Parts = std::vector<std::pair<std::string, std::string>>;  // entry name, content

// Writes the zip; entries with an empty name are left out.
void WriteZip(const std::string& path, const Parts& parts);

struct TestSheet {
  std::string name;       // UTF-8
  std::string sheetData;  // the XML inside <worksheet>, after any <dimension>
  std::string dimension;  // "A1:C3"; empty: none
};

// A workbook of these sheets with the given shared strings (<si> items) and cellXfs
// (<xf> items, with any <numFmts> before them).
Parts Workbook(const std::vector<TestSheet>& sheets, const std::string& sharedItems = "",
               const std::string& numFmts = "", const std::string& cellXfs = "<xf numFmtId=\"0\"/>",
               bool date1904 = false);

}  // namespace ryn::testing
