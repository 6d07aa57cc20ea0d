// TXlsxSource, the Excel workbook engine: a source that reads the rows of one worksheet
// of an .xlsx file as they stream out of the package, one field per column of the sheet's
// used range (or of the cell range the options give). Field names come from the heading
// row; every column is text, since the values of a column may be of any cell type: each
// value still carries its own kind, so the number and date getters read it as what it is.
// Rows the sheet leaves out within the range are empty records; messages name a value by
// its sheet row, where the user finds it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/source_engine.h"
#include "xlsx/xlsx_sheet.h"
#include "xlsx/xlsx_values.h"

namespace ryn {

class TXlsxWorkbook;

// SetOptions results of this engine.
constexpr int32_t kXlsxOptionsNoFile = 0x10005001;      // no file named
constexpr int32_t kXlsxOptionsOpenFailed = 0x10005002;  // not a workbook, or it cannot be read
constexpr int32_t kXlsxOptionsNoSheet = 0x10005003;     // no such sheet
constexpr int32_t kXlsxOptionsBadValue = 0x10005004;    // a key holds a value it cannot take

constexpr int32_t kXlsxMsgError = 3;  // options refused, reading failed

const std::string& XlsxEngineName();         // "Excel文件"
const std::string& XlsxEngineDescription();  // "Excel工作簿（.xlsx）中的工作表"

// The keys of the options text.
const std::string& XlsxKeyFile();          // "文件"
const std::string& XlsxKeySheet();         // "工作表": a name, or the sheet's 1-based number
const std::string& XlsxKeyHeadingRow();    // "列名行": the row of field names, 0 for none
const std::string& XlsxKeyFirstDataRow();  // "数据起始行"
const std::string& XlsxKeyRange();         // "区域": "B2:F100"

// The names of the worksheets of a workbook, in workbook order; false with the reason.
bool XlsxSheetNames(const std::string& file, std::vector<std::string>& names, std::string& error);

class TXlsxSource final : public TRecordSource {
 public:
  TXlsxSource();
  ~TXlsxSource() override;

  std::string GetName() override { return XlsxEngineName(); }
  // A new wizard that edits a copy of this engine (TXlsxConfig).
  IntfPtr<IEngineConfig> GetConfig() override;
  void Fina() override;
  std::string GetOptions() override;
  int32_t SetOptions(std::string_view options) override;
  bool Established() override { return ready_; }

  int32_t DataCount() override;
  void MoveFirst() override;
  void MoveNext() override;
  bool IsEof() override { return eof_; }

 private:
  int32_t Fail(int32_t code, const std::string& text);
  // The columns and rows to read, and the field names; 0 or a SetOptions result.
  int32_t Survey();
  // Row number of the sheet, or an empty row when the sheet has none such.
  bool ReadRow(int32_t number, TXlsxRow& row, std::string& error);
  void Advance();
  void Load(const TXlsxRow& row);
  // The counted problems of the reading so far, one message per column and kind.
  void ReportAll();

  std::string file_, sheet_, headingText_, firstDataText_, rangeText_;

  bool ready_ = false;
  std::unique_ptr<TXlsxWorkbook> book_;
  std::string part_;  // the sheet's XML in the package
  TCellRange range_;  // the columns read, and the rows (firstRow: the first data row)
  bool rangeGiven_ = false;
  TXlsxValueReader values_;
  std::vector<std::string> text_;  // per column, the current record's value text

  std::unique_ptr<TXlsxSheetReader> reader_;
  TXlsxRow pending_;  // the next row the sheet holds
  bool hasPending_ = false, readerDone_ = true;
  int32_t rowNo_ = 0;
  bool eof_ = true;
  bool warnedOutside_ = false;
  TColumnProblems errors_;
};

}  // namespace ryn
