#include "xlsx/xlsx_values.h"

#include <cstdlib>

#include "common/transcoder.h"
#include "common/value_text.h"
#include "platform/codepage.h"
#include "xlsx/xlsx_cells.h"
#include "xlsx/xlsx_workbook.h"

namespace ryn {

TXlsxValueReader::TXlsxValueReader()
    : toCodePage_(std::make_unique<TTranscoder>(ProcessCodePage().Name(), "UTF-8")),
      utf8CodePage_(EncodingKey(ProcessCodePage().Name()) == "UTF8") {}

TXlsxValueReader::~TXlsxValueReader() = default;

void TXlsxValueReader::ConvertText(const std::string& utf8, std::string& out, TXlsxReadNotes& notes) {
  decoded_ = DecodeXlsxEscapes(utf8);
  // expat hands over whole UTF-8 only; the escapes may add control characters, still UTF-8.
  if (IsAscii(decoded_) || utf8CodePage_) {
    out.swap(decoded_);
    return;
  }
  toCodePage_->ResetReplaced();
  toCodePage_->ConvertAll(decoded_, out);
  notes.unmapped = toCodePage_->Replaced().Total();
}

TXlsxReadNotes TXlsxValueReader::Read(const TXlsxCell& cell, const TXlsxWorkbook& book, std::string& buffer,
                                      TSourceValue& v) {
  using Kind = TSourceValue::Kind;
  using Type = TXlsxCell::Type;
  TXlsxReadNotes notes;
  v = TSourceValue{};
  switch (cell.type) {
    case Type::kShared: {
      char* end = nullptr;
      const unsigned long long index = std::strtoull(cell.text.c_str(), &end, 10);
      std::string_view text;
      if (!cell.text.empty() && *end == 0 && book.SharedString(index, text, notes.unmapped)) {
        v.kind = text.empty() ? Kind::kEmpty : Kind::kText;
        v.text = text;
        return notes;
      }
      // An index beyond the table: the file is damaged there, and says so by its text.
      buffer = "#REF!";
      notes.error = true;
      v.kind = Kind::kUnfit;
      v.text = buffer;
      return notes;
    }
    case Type::kInline:
    case Type::kFormulaText:
      ConvertText(cell.text, buffer, notes);
      v.kind = buffer.empty() ? Kind::kEmpty : Kind::kText;
      v.text = buffer;
      return notes;
    case Type::kBoolean:
      if (cell.text == "1" || cell.text == "true" || cell.text == "0" || cell.text == "false") {
        const bool on = cell.text == "1" || cell.text == "true";
        v.kind = Kind::kInteger;
        v.integer = on ? 1 : 0;
        v.text = on ? "TRUE" : "FALSE";
        return notes;
      }
      break;
    case Type::kError:
      ConvertText(cell.text, buffer, notes);
      notes.error = true;
      v.kind = Kind::kUnfit;
      v.text = buffer;
      return notes;
    case Type::kIsoDate:
      ConvertText(cell.text, buffer, notes);
      v.text = buffer;
      v.kind = ParseIsoDateTime(buffer, v.real) ? Kind::kDateTime : Kind::kText;
      if (buffer.empty()) v.kind = Kind::kEmpty;
      return notes;
    case Type::kNumber: {
      if (cell.text.empty()) return notes;  // a formula not yet computed
      double d = 0;
      if (!XlsxNumberText(cell.text, buffer, d)) break;
      v.text = buffer;
      if (book.IsDateStyle(cell.style)) {
        bool dayless = false;
        if (XlsxSerialToDateTime(d, book.Date1904(), v.real, dayless)) {
          buffer = XlsxDateTimeText(v.real, dayless);
          v.text = buffer;
          v.kind = Kind::kDateTime;
          return notes;
        }
        // No day of the calendar (the 1900 system's 1900-02-29, a negative serial): the
        // number arrives as it is, and the user is told.
        notes.unfit = true;
        v.kind = Kind::kUnfit;
        return notes;
      }
      if (ParseInteger(buffer, v.integer) && buffer.find_first_of(".E") == std::string::npos) {
        v.kind = Kind::kInteger;
      } else {
        v.kind = Kind::kReal;
        v.real = d;
      }
      return notes;
    }
  }
  // A value its cell type cannot hold ("2" in a boolean cell, "abc" in a number cell):
  // its text as written.
  ConvertText(cell.text, buffer, notes);
  notes.unfit = true;
  v.kind = Kind::kUnfit;
  v.text = buffer;
  return notes;
}

}  // namespace ryn
