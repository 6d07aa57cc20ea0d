#include "plugins/xlsx_package.h"

#include <zip.h>

#include <stdexcept>

namespace ryn::testing {

void WriteZip(const std::string& path, const Parts& parts) {
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) throw std::runtime_error("zip_open " + path);
  for (const auto& [name, content] : parts) {
    if (name.empty()) continue;
    zip_source_t* src = zip_source_buffer(z, content.data(), content.size(), 0);
    if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) throw std::runtime_error("zip add " + name);
  }
  // The buffers are read at close.
  if (zip_close(z) != 0) throw std::runtime_error("zip_close " + path);
}

Parts Workbook(const std::vector<TestSheet>& sheets, const std::string& sharedItems, const std::string& numFmts,
               const std::string& cellXfs, bool date1904) {
  const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  Parts parts;
  parts.push_back({"_rels/.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
                                      "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"});
  std::string book = "<workbook " + ns + "><workbookPr" + (date1904 ? " date1904=\"1\"" : "") + "/><sheets>";
  std::string rels = "<Relationships>";
  for (size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    book += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rIdS" + n + "\"/>";
    rels += "<Relationship Id=\"rIdS" + n + "\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet" + n +
            ".xml\"/>";
    std::string xml = "<worksheet " + ns + ">";
    if (!sheets[i].dimension.empty()) xml += "<dimension ref=\"" + sheets[i].dimension + "\"/>";
    parts.push_back({"xl/worksheets/sheet" + n + ".xml", xml + "<sheetData>" + sheets[i].sheetData + "</sheetData></worksheet>"});
  }
  parts.push_back({"xl/workbook.xml", book + "</sheets></workbook>"});
  rels += "<Relationship Id=\"rIdT\" Type=\"" + rel + "styles\" Target=\"/xl/styles.xml\"/>";
  if (!sharedItems.empty())
    rels += "<Relationship Id=\"rIdU\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
  parts.push_back({"xl/_rels/workbook.xml.rels", rels + "</Relationships>"});
  parts.push_back({"xl/styles.xml", "<styleSheet " + ns + ">" + (numFmts.empty() ? "" : "<numFmts>" + numFmts + "</numFmts>") +
                                        "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs>" + cellXfs +
                                        "</cellXfs></styleSheet>"});
  if (!sharedItems.empty()) parts.push_back({"xl/sharedStrings.xml", "<sst " + ns + ">" + sharedItems + "</sst>"});
  return parts;
}

}  // namespace ryn::testing
