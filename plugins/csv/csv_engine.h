// TCsvSource, the CSV file engine: a source that reads the records of one delimited text
// file as they stream past, one field per column of the heading (or of the first record
// when the file has no heading). Its options name the file, the delimiter, whether the
// first record is the heading, the encoding and whether columns get types.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/source_engine.h"
#include "csv/csv_input.h"

namespace ryn {

class TCsvRecords;

// SetOptions results of this engine.
constexpr int32_t kCsvOptionsNoFile = 0x10002001;      // no file name given
constexpr int32_t kCsvOptionsOpenFailed = 0x10002002;  // the file cannot be read
constexpr int32_t kCsvOptionsBadValue = 0x10002003;    // a key holds a value it cannot take

// Message kinds (warnings), each sent once per file. Values that do not fit their column,
// replaced characters and an unclosed quote are reported with the kinds of
// common/source_engine.h, once per column and reading.
constexpr int32_t kCsvMsgShortRecord = 8194;  // a record has fewer fields than the heading
constexpr int32_t kCsvMsgLongRecord = 8198;   // a record has more fields than the heading
constexpr int32_t kCsvMsgOptions = 3;         // SetOptions failed

// How many records decide a column's type.
constexpr int32_t kCsvTypeSample = 1000;

const std::string& CsvEngineName();         // "CSV文件"
const std::string& CsvEngineDescription();  // "逗号分隔的文本文件"

// The keys of the options text, and the encoding value that asks for detection.
const std::string& CsvKeyFileName();        // "文件名"
const std::string& CsvKeyDelimiter();       // "分隔符"
const std::string& CsvKeyHeaderRow();       // "列名行": "1" or "0"
const std::string& CsvKeyEncoding();        // "编码"
const std::string& CsvKeyInferTypes();      // "类型推断": "1" or "0"
const std::string& CsvAutomaticEncoding();  // "自动"
// Whether text names a delimiter the engine can split at: "TAB" in any letter case, or
// one ASCII character that is no quote and no line end.
bool IsCsvDelimiter(std::string_view text);

class TCsvSource final : public TRecordSource {
 public:
  TCsvSource();
  ~TCsvSource() override;

  std::string GetName() override { return CsvEngineName(); }
  // A new wizard that edits a copy of this engine (TCsvConfig).
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
  // Reads the heading and, when asked, the type sample; 0, or kCsvOptionsOpenFailed
  // (reported) when the file cannot be read.
  int32_t Open();
  void InferTypes(TCsvRecords& records, std::vector<TSourceColumn>& columns);
  // Makes the next record current, or ends the reading.
  void Advance();
  void Load();

  std::string fileName_;
  TCsvFormat format_;
  std::string encodingText_;  // as the options gave it; empty: automatic
  bool inferTypes_ = false;

  bool ready_ = false;
  std::vector<int32_t> types_;
  int64_t count_ = -2;  // -2: not counted yet
  std::unique_ptr<TCsvRecords> records_;
  std::vector<std::string_view> record_;
  int32_t recordNo_ = 0;
  bool eof_ = true;
  bool warnedShort_ = false, warnedLong_ = false;
};

}  // namespace ryn
