#include "xlsx/xlsx_engine.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/field_types.h"
#include "transport/options_text.h"
#include "xlsx/xlsx_workbook.h"

namespace ryn {
namespace {

// A row number option: "" (the default, -1), or digits from least up to the last row.
bool ParseRowOption(std::string_view text, int32_t least, int32_t& out) {
  out = -1;
  if (text.empty()) return true;
  if (text.size() > 7 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
  const int32_t n = std::stoi(std::string(text));
  if (n < least || n > kXlsxMaxRows) return false;
  out = n;
  return true;
}

}  // namespace

const std::string& XlsxKeyFile() { return Ansi("文件"); }
const std::string& XlsxKeySheet() { return Ansi("工作表"); }
const std::string& XlsxKeyHeadingRow() { return Ansi("列名行"); }
const std::string& XlsxKeyFirstDataRow() { return Ansi("数据起始行"); }
const std::string& XlsxKeyRange() { return Ansi("区域"); }

const std::string& XlsxEngineName() { return Ansi("Excel文件"); }
const std::string& XlsxEngineDescription() { return Ansi("Excel工作簿（.xlsx）中的工作表"); }

bool XlsxSheetNames(const std::string& file, std::vector<std::string>& names, std::string& error) {
  names.clear();
  TXlsxWorkbook book;
  if (!book.Open(file, false, error)) return false;
  for (const auto& s : book.Sheets()) names.push_back(s.name);
  return true;
}

TXlsxSource::TXlsxSource() = default;
TXlsxSource::~TXlsxSource() = default;

void TXlsxSource::ReportAll() {
  ReportProblems();
  errors_.Flush([this](int32_t column, int64_t count, int32_t record, const std::string& value) {
    IntfPtr<ITransField> f = GetField(column);
    const std::string name = f ? f->GetName() : std::string();
    Report(kSourceMsgUnfit, FormatText(Ansi("列%d“%s”有%lld个错误值，按类型读作空值（第一个在第%d行：%s）").c_str(),
                                       column, name.c_str(), static_cast<long long>(count), record, value.c_str()));
  });
}

void TXlsxSource::Fina() {
  // A reading stopped before its end still tells what it met so far.
  if (reader_) ReportAll();
  reader_.reset();
  readerDone_ = true;
  eof_ = true;
  ClearValues();
}

std::string TXlsxSource::GetOptions() {
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  // Every key, the blank ones too: a wizard's copy handed back to the engine clears what
  // the user cleared.
  w.WriteOption(XlsxKeyFile(), file_);
  w.WriteOption(XlsxKeySheet(), sheet_);
  w.WriteOption(XlsxKeyHeadingRow(), headingText_);
  w.WriteOption(XlsxKeyFirstDataRow(), firstDataText_);
  w.WriteOption(XlsxKeyRange(), rangeText_);
  return stream.TakeData();
}

int32_t TXlsxSource::Fail(int32_t code, const std::string& text) {
  Report(kXlsxMsgError, text);
  book_.reset();
  return code;
}

int32_t TXlsxSource::SetOptions(std::string_view options) {
  TMemoryStream stream{std::string(options)};
  TOPtionsReader reader(&stream);
  reader.RegisterHandler(XlsxKeyFile(), [this](const std::string& v) { file_ = v; });
  reader.RegisterHandler(XlsxKeySheet(), [this](const std::string& v) { sheet_ = v; });
  reader.RegisterHandler(XlsxKeyHeadingRow(), [this](const std::string& v) { headingText_ = TrimBlanks(v); });
  reader.RegisterHandler(XlsxKeyFirstDataRow(), [this](const std::string& v) { firstDataText_ = TrimBlanks(v); });
  reader.RegisterHandler(XlsxKeyRange(), [this](const std::string& v) { rangeText_ = TrimBlanks(v); });
  reader.Parse();
  Fina();
  if (!reader.UnknownKeys().empty()) Report(kMsgUnknownOptionKeys, UnknownOptionKeysText(GetName(), reader.UnknownKeys()));
  ready_ = false;
  SetColumns({});
  book_.reset();
  int32_t heading = 0, firstData = 0;
  auto bad = [this](const std::string& key, const std::string& value) {
    return Fail(kXlsxOptionsBadValue, FormatText(Ansi("选项“%s”的值“%s”无效").c_str(), key.c_str(), value.c_str()));
  };
  if (!ParseRowOption(headingText_, 0, heading)) return bad(XlsxKeyHeadingRow(), headingText_);
  if (!ParseRowOption(firstDataText_, 1, firstData)) return bad(XlsxKeyFirstDataRow(), firstDataText_);
  rangeGiven_ = !rangeText_.empty();
  if (rangeGiven_ && !ParseCellRange(rangeText_, range_)) return bad(XlsxKeyRange(), rangeText_);
  if (file_.empty()) return Fail(kXlsxOptionsNoFile, Ansi("没有指定Excel文件！"));

  book_ = std::make_unique<TXlsxWorkbook>();
  std::string error;
  if (!book_->Open(file_, true, error))
    return Fail(kXlsxOptionsOpenFailed, FormatText(Ansi("Excel文件“%s”打开失败：%s").c_str(), file_.c_str(), error.c_str()));
  const int32_t sheet = sheet_.empty() ? (book_->Sheets().empty() ? -1 : 0) : book_->FindSheet(sheet_);
  if (sheet < 0)
    return Fail(kXlsxOptionsNoSheet,
                FormatText(Ansi("Excel文件“%s”中没有工作表“%s”").c_str(), file_.c_str(), sheet_.c_str()));
  part_ = book_->Sheets()[static_cast<size_t>(sheet)].part;
  const int32_t rc = Survey();
  if (rc != 0) return rc;

  // The heading row, by default the range's first; the data from the row after it.
  int32_t headingRow = heading >= 0 ? heading : range_.firstRow;
  std::vector<TSourceColumn> columns(static_cast<size_t>(range_.lastColumn - range_.firstColumn + 1));
  if (headingRow > 0) {
    TXlsxRow row;
    if (!ReadRow(headingRow, row, error))
      return Fail(kXlsxOptionsOpenFailed, FormatText(Ansi("Excel文件“%s”打开失败：%s").c_str(), file_.c_str(), error.c_str()));
    std::string buffer;
    for (const auto& cell : row.cells) {
      const int32_t c = cell.column - range_.firstColumn;
      if (c < 0 || static_cast<size_t>(c) >= columns.size()) continue;
      TSourceValue v;
      values_.Read(cell, *book_, buffer, v);
      columns[static_cast<size_t>(c)].name = std::string(v.text);
    }
  }
  range_.firstRow = firstData >= 0 ? firstData : headingRow > 0 ? headingRow + 1 : range_.firstRow;
  text_.assign(columns.size(), std::string());
  SetColumns(columns);
  ready_ = true;
  return 0;
}

int32_t TXlsxSource::Survey() {
  TXlsxSheetReader reader;
  std::string error;
  TXlsxRow row;
  auto broken = [&] {
    return Fail(kXlsxOptionsOpenFailed, FormatText(Ansi("Excel文件“%s”打开失败：%s").c_str(), file_.c_str(), error.c_str()));
  };
  if (!reader.Open(book_->Archive(), part_, error)) return broken();
  bool any = reader.Next(row, error);
  if (!error.empty()) return broken();
  if (rangeGiven_) {
    // A range may reach far below the sheet's last row: no records are made up there.
    if (reader.HasDimension()) range_.lastRow = std::min(range_.lastRow, reader.Dimension().lastRow);
    return 0;
  }
  // Writers that stream their rows out may state "A1" whatever follows: only a range of
  // more than that one cell is taken at its word.
  const TCellRange& d = reader.Dimension();
  if (reader.HasDimension() && (d.lastColumn > 0 || d.lastRow > 1)) {
    range_ = d;
    return 0;
  }
  // No statement of the used range: the whole sheet is read once to find it.
  range_ = TCellRange{};
  bool first = true;
  for (; any; any = reader.Next(row, error)) {
    for (const auto& cell : row.cells) {
      if (first) range_ = {cell.column, cell.column, row.number, row.number};
      first = false;
      range_.firstColumn = std::min(range_.firstColumn, cell.column);
      range_.lastColumn = std::max(range_.lastColumn, cell.column);
      range_.firstRow = std::min(range_.firstRow, row.number);
      range_.lastRow = std::max(range_.lastRow, row.number);
    }
  }
  if (!error.empty()) return broken();
  if (first) range_.lastRow = 0;  // an empty sheet: one column, no rows
  return 0;
}

bool TXlsxSource::ReadRow(int32_t number, TXlsxRow& row, std::string& error) {
  TXlsxSheetReader reader;
  if (!reader.Open(book_->Archive(), part_, error)) return false;
  // Rows come in order: one past the number means the sheet has no such row.
  while (reader.Next(row, error) && row.number <= number)
    if (row.number == number) return true;
  row.cells.clear();
  return error.empty();
}

int32_t TXlsxSource::DataCount() {
  if (!ready_) return -1;
  return std::max(0, range_.lastRow - range_.firstRow + 1);
}

void TXlsxSource::MoveFirst() {
  ReportAll();
  ForgetProblems();
  errors_.Reset();
  warnedOutside_ = false;
  eof_ = true;
  ClearValues();
  reader_.reset();
  if (!ready_) return;
  reader_ = std::make_unique<TXlsxSheetReader>();
  std::string error;
  if (!reader_->Open(book_->Archive(), part_, error)) {
    Report(kXlsxMsgError, FormatText(Ansi("Excel文件“%s”读取出错：%s").c_str(), file_.c_str(), error.c_str()));
    reader_.reset();
    return;
  }
  readerDone_ = hasPending_ = false;
  rowNo_ = range_.firstRow - 1;
  Advance();
}

void TXlsxSource::MoveNext() {
  if (!eof_) Advance();
}

void TXlsxSource::Advance() {
  ClearValues();
  if (++rowNo_ > range_.lastRow) {
    eof_ = true;
    ReportAll();
    reader_.reset();
    return;
  }
  while (!readerDone_ && (!hasPending_ || pending_.number < rowNo_)) {
    std::string error;
    hasPending_ = reader_->Next(pending_, error);
    if (hasPending_) continue;
    readerDone_ = true;
    if (!error.empty()) {
      // The rest of the sheet cannot be read: the reading ends here, and says why.
      Report(kXlsxMsgError, FormatText(Ansi("Excel文件“%s”读取出错：%s").c_str(), file_.c_str(), error.c_str()));
      eof_ = true;
      ReportAll();
      reader_.reset();
      return;
    }
  }
  eof_ = false;
  if (hasPending_ && pending_.number == rowNo_) Load(pending_);
}

void TXlsxSource::Load(const TXlsxRow& row) {
  std::vector<TSourceValue>& values = Values();
  for (const auto& cell : row.cells) {
    const int32_t col = cell.column - range_.firstColumn;
    if (col < 0 || static_cast<size_t>(col) >= values.size()) {
      // Beyond a range the user chose is left out on purpose; beyond the range the sheet
      // states, the sheet misstated it.
      if (!rangeGiven_ && !warnedOutside_) {
        warnedOutside_ = true;
        Report(kSourceMsgNotice,
               FormatText(Ansi("单元格%s%d在工作表所述的区域之外，未读取（同一区域外的其他单元格也未读取）").c_str(),
                          ColumnName(cell.column).c_str(), row.number));
      }
      continue;
    }
    const size_t i = static_cast<size_t>(col);
    const TXlsxReadNotes notes = values_.Read(cell, *book_, text_[i], values[i]);
    if (notes.unmapped > 0) NoteCodePage(col, row.number, values[i].text);
    if (notes.unfit) NoteUnfit(col, row.number, values[i].text);
    if (notes.error) errors_.Note(col, row.number, values[i].text);
  }
}

}  // namespace ryn
