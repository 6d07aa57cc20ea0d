#include "csv/csv_engine.h"

#include "common/transcoder.h"
#include "common/value_text.h"
#include "csv/csv_records.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/field_types.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

// "0" or "1"; anything else is no switch value.
bool ParseSwitch(std::string_view text, bool& out) {
  if (text == "0" || text == "1") {
    out = text == "1";
    return true;
  }
  return false;
}

}  // namespace

const std::string& CsvKeyFileName() { return Ansi("文件名"); }
const std::string& CsvKeyDelimiter() { return Ansi("分隔符"); }
const std::string& CsvKeyHeaderRow() { return Ansi("列名行"); }
const std::string& CsvKeyEncoding() { return Ansi("编码"); }
const std::string& CsvKeyInferTypes() { return Ansi("类型推断"); }
const std::string& CsvAutomaticEncoding() { return Ansi("自动"); }

bool IsCsvDelimiter(std::string_view text) {
  if (SameTextAscii(text, "TAB")) return true;
  // One byte of ASCII that is no quote and no line end: libcsv splits at single bytes.
  return text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80 && text[0] != '"' && text[0] != '\r' &&
         text[0] != '\n';
}

const std::string& CsvEngineName() { return Ansi("CSV文件"); }
const std::string& CsvEngineDescription() { return Ansi("逗号分隔的文本文件"); }

TCsvSource::TCsvSource() = default;
TCsvSource::~TCsvSource() = default;

void TCsvSource::Fina() {
  // A reading that stops before its end still tells what it met so far.
  if (records_) ReportProblems();
  records_.reset();
  eof_ = true;
  ClearValues();
}

std::string TCsvSource::GetOptions() {
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  if (!fileName_.empty()) w.WriteOption(CsvKeyFileName(), fileName_);
  w.WriteOption(CsvKeyDelimiter(), format_.delimiter == '\t' ? std::string("TAB") : std::string(1, format_.delimiter));
  w.WriteOption(CsvKeyHeaderRow(), format_.headerRow ? "1" : "0");
  w.WriteOption(CsvKeyEncoding(), encodingText_.empty() ? CsvAutomaticEncoding() : encodingText_);
  w.WriteOption(CsvKeyInferTypes(), inferTypes_ ? "1" : "0");
  return stream.TakeData();
}

int32_t TCsvSource::SetOptions(std::string_view options) {
  TMemoryStream stream{std::string(options)};
  TOPtionsReader reader(&stream);
  // The first value that cannot be taken is reported; the others still apply.
  std::string badKey, badValue;
  auto bad = [&](const std::string& key, const std::string& value) {
    if (badKey.empty()) badKey = key, badValue = value;
  };
  reader.RegisterHandler(CsvKeyFileName(), [this](const std::string& v) { fileName_ = v; });
  bool emptyDelimiter = false;
  reader.RegisterHandler(CsvKeyDelimiter(), [&](const std::string& v) {
    // An empty value is most often a ";" that ended the entry: never guess a comma.
    if (v.empty()) emptyDelimiter = true;
    else if (!IsCsvDelimiter(v)) bad(CsvKeyDelimiter(), v);
    else format_.delimiter = SameTextAscii(v, "TAB") ? '\t' : v[0];
  });
  reader.RegisterHandler(CsvKeyHeaderRow(), [&](const std::string& v) {
    if (!ParseSwitch(v, format_.headerRow)) bad(CsvKeyHeaderRow(), v);
  });
  reader.RegisterHandler(CsvKeyEncoding(), [&](const std::string& v) {
    if (v.empty() || v == CsvAutomaticEncoding()) {
      encodingText_.clear();
    } else if (CanTranscode(ProcessCodePage().Name(), v)) {
      encodingText_ = v;
    } else {
      bad(CsvKeyEncoding(), v);
    }
  });
  reader.RegisterHandler(CsvKeyInferTypes(), [&](const std::string& v) {
    if (!ParseSwitch(v, inferTypes_)) bad(CsvKeyInferTypes(), v);
  });
  reader.Parse();
  format_.encoding = encodingText_;
  if (!reader.UnknownKeys().empty())
    Report(kMsgUnknownOptionKeys, UnknownOptionKeysText(CsvEngineName(), reader.UnknownKeys()));

  Fina();
  ForgetProblems();
  ready_ = false;
  count_ = -2;
  warnedShort_ = warnedLong_ = false;
  SetColumns({});
  if (emptyDelimiter) {
    Report(kCsvMsgOptions, FormatText(Ansi("CSV文件选项“%s”的值为空；分号要加引号写作 %s=\";\"，逗号写作 %s=,").c_str(),
                                  CsvKeyDelimiter().c_str(), CsvKeyDelimiter().c_str(), CsvKeyDelimiter().c_str()));
    return kCsvOptionsBadValue;
  }
  if (!badKey.empty()) {
    Report(kCsvMsgOptions, FormatText(Ansi("CSV文件选项“%s”的值无效：%s").c_str(), badKey.c_str(), badValue.c_str()));
    return kCsvOptionsBadValue;
  }
  if (fileName_.empty()) {
    Report(kCsvMsgOptions, Ansi("没有指定CSV文件名！"));
    return kCsvOptionsNoFile;
  }
  return Open();
}

int32_t TCsvSource::Open() {
  std::vector<TSourceColumn> columns;
  try {
    TCsvRecords records(fileName_, format_);
    std::vector<std::string_view> first;
    if (records.Next(first)) {
      for (std::string_view name : first)
        columns.push_back(TSourceColumn{format_.headerRow ? std::string(TrimBlanks(name)) : std::string(), kFtString});
    }
    if (inferTypes_) {
      if (!format_.headerRow) {
        // Without a heading the first record is data, and the sample starts with it.
        TCsvRecords again(fileName_, format_);
        InferTypes(again, columns);
      } else {
        InferTypes(records, columns);
      }
    }
  } catch (const ERynError& e) {
    Report(kCsvMsgOptions, FormatText(Ansi("CSV文件“%s”无法读取：%s").c_str(), fileName_.c_str(), e.what()));
    return kCsvOptionsOpenFailed;
  }
  types_.clear();
  for (const auto& c : columns) types_.push_back(c.type);
  SetColumns(columns);
  ready_ = true;
  return 0;
}

void TCsvSource::InferTypes(TCsvRecords& records, std::vector<TSourceColumn>& columns) {
  struct Seen {
    bool any = false, integer = true, decimal = true, date = true;
  };
  std::vector<Seen> seen(columns.size());
  std::vector<std::string_view> record;
  for (int32_t n = 0; n < kCsvTypeSample && records.Next(record); ++n) {
    for (size_t i = 0; i < seen.size() && i < record.size(); ++i) {
      std::string_view v = record[i];
      if (v.empty()) continue;
      Seen& s = seen[i];
      s.any = true;
      // Only values whose own text form is the source text decide a type: "000123",
      // "+5", "12E3", "3.10" or a 20-digit id would come out changed as numbers.
      int64_t iv;
      double dv;
      TDateTime tv;
      if (s.integer && !ParseCanonicalInteger(v, iv)) s.integer = false;
      if (s.decimal && !ParseCanonicalDecimal(v, dv)) s.decimal = false;
      if (s.date && !ParseCanonicalDate(v, tv)) s.date = false;
    }
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    const Seen& s = seen[i];
    columns[i].type = !s.any       ? kFtString
                      : s.integer ? kFtInt64
                      : s.decimal ? kFtDouble
                      : s.date    ? kFtDate
                                  : kFtString;
  }
}

int32_t TCsvSource::DataCount() {
  if (!ready_) return -1;
  if (count_ == -2) {
    try {
      int64_t n = CountCsvRecords(fileName_, format_);
      if (format_.headerRow && n > 0) --n;
      count_ = n > INT32_MAX ? -1 : n;
    } catch (const ERynError&) {
      count_ = -1;
    }
  }
  return static_cast<int32_t>(count_);
}

void TCsvSource::MoveFirst() {
  records_.reset();
  ForgetProblems();
  recordNo_ = 0;
  eof_ = true;
  ClearValues();
  if (!ready_) return;
  try {
    records_ = std::make_unique<TCsvRecords>(fileName_, format_, true);
    if (format_.headerRow && !records_->Next(record_)) {
      records_.reset();
      return;
    }
  } catch (const ERynError& e) {
    records_.reset();
    Report(kCsvMsgOptions, FormatText(Ansi("CSV文件“%s”无法读取：%s").c_str(), fileName_.c_str(), e.what()));
    return;
  }
  Advance();
}

void TCsvSource::MoveNext() {
  if (!eof_) Advance();
}

void TCsvSource::Advance() {
  bool more = false;
  try {
    more = records_ && records_->Next(record_);
  } catch (const ERynError& e) {
    Report(kCsvMsgOptions, FormatText(Ansi("CSV文件“%s”无法读取：%s").c_str(), fileName_.c_str(), e.what()));
  }
  if (!more) {
    if (records_) ReportProblems();
    records_.reset();
    eof_ = true;
    ClearValues();
    return;
  }
  eof_ = false;
  ++recordNo_;
  Load();
  if (records_->UnclosedQuote())
    Report(kSourceMsgNotice, FormatText(Ansi("CSV文件第%d行的引号没有闭合，文件其后的内容都读进了这个值").c_str(), recordNo_));
}

void TCsvSource::Load() {
  ClearRecordProblems();
  std::vector<TSourceValue>& values = Values();
  const size_t columns = values.size();
  if (record_.size() < columns && !warnedShort_) {
    warnedShort_ = true;
    Report(kCsvMsgShortRecord, FormatText(Ansi("CSV文件第%d行只有%d列，缺少的列读作空值").c_str(), recordNo_,
                                      static_cast<int>(record_.size())));
  } else if (record_.size() > columns && !warnedLong_) {
    warnedLong_ = true;
    Report(kCsvMsgLongRecord, FormatText(Ansi("CSV文件第%d行有%d列，多出的列被忽略").c_str(), recordNo_,
                                     static_cast<int>(record_.size())));
  }
  for (size_t i = 0; i < columns; ++i) {
    TSourceValue& v = values[i];
    std::string_view text = i < record_.size() ? record_[i] : std::string_view();
    v.text = text;
    if (text.empty()) {
      v.kind = TSourceValue::Kind::kEmpty;
      continue;
    }
    bool ok = true;
    switch (types_[i]) {
      case kFtInt64:
        v.kind = TSourceValue::Kind::kInteger;
        ok = ParseInteger(text, v.integer);
        break;
      case kFtDouble:
        v.kind = TSourceValue::Kind::kReal;
        ok = ParseDecimal(text, v.real);
        break;
      case kFtDate:
        v.kind = TSourceValue::Kind::kDateTime;
        ok = ParseIsoDate(text, v.real);
        break;
      default: v.kind = TSourceValue::Kind::kText; break;
    }
    if (!ok) {
      // Kept as its text, so that a text destination still gets it unchanged.
      v = TSourceValue{};
      v.kind = TSourceValue::Kind::kUnfit;
      v.text = text;
      NoteUnfit(static_cast<int32_t>(i), recordNo_, text);
    }
  }
  for (const TCsvRecords::FieldProblem& p : records_->Problems()) {
    if (p.field >= columns) continue;
    const auto column = static_cast<int32_t>(p.field);
    if (p.badBytes > 0) NoteBadBytes(column, recordNo_, record_[p.field]);
    if (p.unmapped > 0) NoteCodePage(column, recordNo_, record_[p.field]);
  }
}

}  // namespace ryn
