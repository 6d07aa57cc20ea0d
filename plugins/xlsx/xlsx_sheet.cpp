#include "xlsx/xlsx_sheet.h"

#include <cstdlib>

namespace ryn {
namespace {

TXlsxCell::Type CellType(const char* t) {
  using Type = TXlsxCell::Type;
  if (!t) return Type::kNumber;
  const std::string_view s(t);
  if (s == "s") return Type::kShared;
  if (s == "str") return Type::kFormulaText;
  if (s == "inlineStr") return Type::kInline;
  if (s == "b") return Type::kBoolean;
  if (s == "e") return Type::kError;
  if (s == "d") return Type::kIsoDate;
  return Type::kNumber;
}

}  // namespace

bool TXlsxSheetReader::Next(TXlsxRow& row, std::string& error) {
  row_ = &row;
  ready_ = false;
  while (!ready_ && !Ended())
    if (!Resume(error)) break;
  row_ = nullptr;
  return ready_;
}

void TXlsxSheetReader::OnStart(std::string_view name, const char** atts) {
  if (name == "c") {
    inCell_ = true;
    hasValue_ = false;
    const char* r = XmlAttr(atts, "r");
    int32_t column = 0;
    cell_.column = r && ParseColumnOfRef(r, column) ? column : lastColumn_ + 1;
    lastColumn_ = cell_.column;
    cell_.type = CellType(XmlAttr(atts, "t"));
    const char* s = XmlAttr(atts, "s");
    cell_.style = s ? static_cast<uint32_t>(std::strtoul(s, nullptr, 10)) : 0;
    cell_.text.clear();
  } else if (!inCell_) {
    if (name == "row") {
      const char* r = XmlAttr(atts, "r");
      const long n = r ? std::strtol(r, nullptr, 10) : 0;
      lastRow_ = n > 0 && n <= kXlsxMaxRows ? static_cast<int32_t>(n) : lastRow_ + 1;
      lastColumn_ = -1;
      if (row_) {
        row_->number = lastRow_;
        row_->cells.clear();
      }
    } else if (name == "dimension") {
      const char* ref = XmlAttr(atts, "ref");
      hasDimension_ = ref && ParseCellRange(ref, dimension_);
    }
  } else if (name == "v") {
    inValue_ = hasValue_ = true;
  } else if (name == "is") {
    inInline_ = hasValue_ = true;
  } else if (name == "rPh") {
    ++phonetic_;
  } else if (name == "t" && inInline_ && phonetic_ == 0) {
    inText_ = true;
  }
}

void TXlsxSheetReader::OnEnd(std::string_view name) {
  if (name == "v") {
    inValue_ = false;
  } else if (name == "t") {
    inText_ = false;
  } else if (name == "rPh") {
    --phonetic_;
  } else if (name == "is") {
    inInline_ = false;
  } else if (name == "c") {
    inCell_ = false;
    // A cell with a style and no value is an empty cell.
    if (hasValue_ && row_) row_->cells.push_back(cell_);
  } else if (name == "row" && row_) {
    ready_ = true;
    Stop();
  }
}

void TXlsxSheetReader::OnText(std::string_view s) {
  if (inValue_ || inText_) cell_.text += s;
}

}  // namespace ryn
