// TXlsxSheetReader: the rows of one worksheet as they stream out of its XML, one row per
// call. A row or cell without its "r" reference follows the one before it; rows and cells
// a writer left out are simply not there (the engine fills them in as empty).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xlsx/xlsx_cells.h"
#include "xlsx/xlsx_part.h"

namespace ryn {

struct TXlsxCell {
  // The cell types of the format: n number (also a date by its style), s shared string,
  // str formula text, inlineStr, b boolean, e error, d ISO date text.
  enum class Type : uint8_t { kNumber, kShared, kFormulaText, kInline, kBoolean, kError, kIsoDate };
  int32_t column = 0;  // 0-based
  Type type = Type::kNumber;
  uint32_t style = 0;
  std::string text;  // <v>, or the joined text runs of an inline string (UTF-8, escapes kept)
};

struct TXlsxRow {
  int32_t number = 0;  // 1-based
  std::vector<TXlsxCell> cells;  // only cells with a value, in the order written
};

class TXlsxSheetReader final : public TXmlPart {
 public:
  // The next row of the sheet; false at its end, or with error set on a broken part.
  bool Next(TXlsxRow& row, std::string& error);
  // The sheet's own statement of its used range (<dimension>), once the reading has passed
  // it: it comes before the rows.
  bool HasDimension() const { return hasDimension_; }
  const TCellRange& Dimension() const { return dimension_; }

 protected:
  void OnStart(std::string_view name, const char** atts) override;
  void OnEnd(std::string_view name) override;
  void OnText(std::string_view s) override;

 private:
  TXlsxRow* row_ = nullptr;
  bool ready_ = false;
  bool inCell_ = false, hasValue_ = false, inValue_ = false, inInline_ = false, inText_ = false;
  int phonetic_ = 0;
  int32_t lastRow_ = 0, lastColumn_ = -1;
  TXlsxCell cell_;
  bool hasDimension_ = false;
  TCellRange dimension_;
};

}  // namespace ryn
