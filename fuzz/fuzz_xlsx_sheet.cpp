// Any worksheet XML in an otherwise sound workbook: the Excel source opens or refuses the
// sheet, and every record it reads gives each field's value in every form without a fault.
#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_temp_dir.h"
#include "quiet_events.h"
#include "platform/codepage.h"
#include "transport/interfaces.h"
#include "transport/object.h"
#include "xlsx/xlsx_engine.h"

namespace {

using ryn::fuzz::QuietEvents;

const char kRel[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

void Add(zip_t* z, const char* name, const std::string& content) {
  zip_source_t* src = zip_source_buffer(z, content.data(), content.size(), 0);
  if (!src || zip_file_add(z, name, src, ZIP_FL_OVERWRITE) < 0) std::abort();
}

}  // namespace

// Input: a flags byte (bit 0: the 1904 system, bit 1: no heading row, bit 2: a cell range),
// then the shared strings part up to the first NUL, then the sheet part.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t nul = rest.find('\0');
  const std::string strings = nul == std::string::npos ? std::string() : rest.substr(0, nul);
  const std::string sheet = nul == std::string::npos ? rest : rest.substr(nul + 1);

  const std::string file = ryn::fuzz::TempFolder() + "/in.xlsx";
  int error = 0;
  zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) std::abort();
  const std::string rel(kRel);
  const std::string rels = "<Relationships><Relationship Id=\"a\" Type=\"" + rel +
                           "worksheet\" Target=\"s.xml\"/><Relationship Id=\"b\" Type=\"" + rel +
                           "styles\" Target=\"st.xml\"/><Relationship Id=\"c\" Type=\"" + rel +
                           "sharedStrings\" Target=\"ss.xml\"/></Relationships>";
  const std::string book = std::string("<workbook><workbookPr date1904=\"") + ((flags & 1) ? "1" : "0") +
                           "\"/><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"a\"/></sheets></workbook>";
  const std::string styles = "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"[h]:mm &quot;d&quot;\"/>"
                             "</numFmts><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/>"
                             "<xf numFmtId=\"22\"/></cellXfs></styleSheet>";
  Add(z, "xl/workbook.xml", book);
  Add(z, "xl/_rels/workbook.xml.rels", rels);
  Add(z, "xl/st.xml", styles);
  Add(z, "xl/ss.xml", strings);
  Add(z, "xl/s.xml", sheet);
  if (zip_close(z) != 0) std::abort();

  std::string options = ryn::Ansi("文件") + "=" + file;
  if (flags & 2) options += ";\r\n" + ryn::Ansi("列名行") + "=0";
  if (flags & 4) options += ";\r\n" + ryn::Ansi("区域") + "=B2:E9";
  ryn::IntfPtr<ryn::TXlsxSource> source = ryn::MakeIntf<ryn::TXlsxSource>();
  source->SetEvents(ryn::MakeIntf<QuietEvents>().get());
  source->SetOptions(options);
  if (source->Established()) {
    (void)source->DataCount();
    const int32_t fields = source->GetFieldCount();
    for (int32_t i = 0; i < fields && i < 64; ++i) (void)source->GetField(i)->GetName();
    int records = 0;
    for (source->MoveFirst(); !source->IsEof() && records < 2000; source->MoveNext(), ++records) {
      for (int32_t i = 0; i < fields && i < 64; ++i) {
        ryn::IFieldReader* reader = source->ReaderAt(i);
        if (!reader) std::abort();
        (void)reader->IsEmpty();
        (void)reader->GetAsString();
        (void)reader->GetAsDouble();
        (void)reader->GetAsInt64();
        (void)reader->GetAsDateTime();
      }
    }
  }
  source->Fina();
  return 0;
}
