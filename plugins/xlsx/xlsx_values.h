// How one cell of a sheet becomes a value: by the cell's own type, never by its column's.
// Strings exactly (converted to the process code page), numbers in their exact text, dates
// by their style's number format, booleans as TRUE and FALSE (as the sheet shows them,
// reading as 1 and 0 through the number getters), and error cells as their text.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "common/source_engine.h"
#include "xlsx/xlsx_sheet.h"

namespace ryn {

class TTranscoder;
class TXlsxWorkbook;

struct TXlsxReadNotes {
  size_t unmapped = 0;  // characters the process code page lacks, each now "?"
  bool error = false;   // an error cell (#DIV/0!, #N/A): its text arrives, no number does
  bool unfit = false;   // a value its type cannot hold (a date serial no calendar has)
};

class TXlsxValueReader {
 public:
  TXlsxValueReader();
  ~TXlsxValueReader();
  TXlsxValueReader(const TXlsxValueReader&) = delete;
  TXlsxValueReader& operator=(const TXlsxValueReader&) = delete;

  // The value's text is in buffer or in the workbook's shared strings, valid while both
  // are left alone.
  TXlsxReadNotes Read(const TXlsxCell& cell, const TXlsxWorkbook& book, std::string& buffer, TSourceValue& v);

 private:
  // UTF-8 with its escapes into the process code page.
  void ConvertText(const std::string& utf8, std::string& out, TXlsxReadNotes& notes);

  std::unique_ptr<TTranscoder> toCodePage_;
  bool utf8CodePage_;
  std::string decoded_;
};

}  // namespace ryn
