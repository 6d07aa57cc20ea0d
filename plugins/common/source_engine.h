// The shared shape of our source engine libraries: an engine that is its own source port,
// one field object per column reading the current record's values, and the uncounted
// field table the exported getters use. A concrete source fills the column list when its
// options are set and the value row on every move.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "transport/custom_field.h"
#include "transport/field_types.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn {

// One value of the current record. Text is in the process code page and stays valid
// until the record moves. A value that has a text of its own in the source (every CSV
// value, SQLite text) keeps it in text whatever its kind: the text getter gives it back
// exactly as the source holds it.
struct TSourceValue {
  // kUnfit: a value that does not fit its column's type. It reads as empty through
  // IsEmpty and the typed getters, and as its own text through the text getter.
  enum class Kind : uint8_t { kEmpty, kText, kInteger, kReal, kDateTime, kBlob, kUnfit };
  Kind kind = Kind::kEmpty;
  std::string_view text;  // kText, kBlob, kUnfit; the source's own text of the others
  int64_t integer = 0;    // kInteger
  double real = 0;        // kReal; kDateTime as days since 1899-12-30
};

// Message kinds our sources send about values they could not carry exactly. The low two
// bits are the severity: a value read as empty by its type is a warning, a character
// replaced (by the code page, or bytes that are no character of the source's encoding)
// is an error.
constexpr int32_t kSourceMsgUnfit = 18;      // 0x12: warning
constexpr int32_t kSourceMsgCodePage = kMsgValueCodePage;  // 0x17: error
constexpr int32_t kSourceMsgBadBytes = kMsgValueBadBytes;  // 0x1B: error
constexpr int32_t kSourceMsgNotice = 0x2A;   // warning about the file itself (an unclosed quote)

// Problems of one kind, counted per column over a reading: how many, and the first record
// and value. Summed up in one message per column when the reading ends, so that a file of
// a million bad values gives one line per column, not a million.
class TColumnProblems {
 public:
  // Forgets everything (a new reading begins).
  void Reset() { columns_.clear(); }
  void Note(int32_t column, int32_t record, std::string_view value);
  bool Any() const { return !columns_.empty(); }
  // Calls send(column, count, firstRecord, firstValue) for every column with problems, in
  // column order, then forgets them.
  template <class Send>
  void Flush(Send send) {
    for (size_t i = 0; i < columns_.size(); ++i)
      if (columns_[i].count > 0) send(static_cast<int32_t>(i), columns_[i].count, columns_[i].record, columns_[i].value);
    columns_.clear();
  }

 private:
  struct Column {
    int64_t count = 0;
    int32_t record = 0;
    std::string value;  // the first value, cut to a readable length
  };
  std::vector<Column> columns_;
};

class TRecordSource;

class TSourceField final : public TCustomTransField, public virtual IFieldReader {
 public:
  TSourceField(TRecordSource* source, int32_t index, int32_t type, std::string name);

  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<IFieldReader>(this, iid, obj);
  }
  int32_t GetDataType() override { return type_; }
  int32_t GetIndex() override { return index_; }

  bool IsEmpty() override {
    const TSourceValue::Kind k = Value().kind;
    return k == TSourceValue::Kind::kEmpty || k == TSourceValue::Kind::kUnfit;
  }
  bool GetAsBoolean() override { return GetAsInt64() != 0; }
  uint8_t GetAsByte() override { return static_cast<uint8_t>(GetAsInt64()); }
  uint16_t GetAsWord() override { return static_cast<uint16_t>(GetAsInt64()); }
  uint32_t GetAsLongWord() override { return static_cast<uint32_t>(GetAsInt64()); }
  int8_t GetAsShortInt() override { return static_cast<int8_t>(GetAsInt64()); }
  int16_t GetAsSmallInt() override { return static_cast<int16_t>(GetAsInt64()); }
  int32_t GetAsInteger() override { return static_cast<int32_t>(GetAsInt64()); }
  int64_t GetAsInt64() override;
  float GetAsSingle() override { return static_cast<float>(GetAsDouble()); }
  double GetAsDouble() override;
  long double GetAsExtended() override { return GetAsDouble(); }
  TGUID GetAsGuid() override { return TGUID{}; }
  TDateTime GetAsDateTime() override;
  std::string GetAsString() override;
  std::u16string GetAsWideString() override;
  bool SaveToStream(TStream& stream) override;

  // The field left its engine's field list; it reads as empty from now on.
  void Retire() { retired_ = true; }

 private:
  const TSourceValue& Value() const;

  TRecordSource* source_;
  int32_t index_;
  int32_t type_;
  bool retired_ = false;
};

// A column as a concrete source describes it.
struct TSourceColumn {
  std::string name;  // empty: the default name "列(n)"
  int32_t type = kFtString;
};

class TRecordSource : public TInterfacedObject,
                      public virtual ITransEngine,
                      public virtual IImport,
                      public virtual IFieldTable,
                      public virtual IRecordProblems,
                      public virtual IRecordTexts,
                      public virtual IImplementorAccess {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override;

  // ITransEngine (the concrete source gives the name, options and record moves)
  int32_t GetEngineType() override { return kDirectionSource; }
  IntfPtr<ITransPort> GetPort() override { return static_cast<IImport*>(this); }
  void SetEvents(ITransEvents* events) override { events_ = events; }
  bool Init(int32_t direction) override { return direction == kDirectionSource; }
  bool IsActive() override { return true; }
  IntfPtr<IEngineConfig> GetConfig() override { return nullptr; }

  // ITransPort
  int32_t GetFieldCount() override { return static_cast<int32_t>(fields_.size()); }
  IntfPtr<ITransField> FindField(std::string_view name) override;
  IntfPtr<ITransField> GetField(int32_t index) override;

  // IFieldTable
  IFieldReader* ReaderAt(int32_t index) override;
  IFieldWriter* WriterAt(int32_t) override { return nullptr; }
  IImport* SourcePort() override { return this; }
  IExport* DestinationPort() override { return nullptr; }

  // IRecordProblems: the code-page and bad-byte notes of the record read last.
  bool GetRecordProblem(int32_t index, int32_t& field, int32_t& kind) override;

  // IRecordTexts: a value's own text stays where the record holds it; only a value without
  // one (a number or date made by the source) is formatted, into a string of its field.
  int32_t GetRecordTexts(int32_t first, std::span<std::string_view> out) override;

  // IImplementorAccess
  TObject* GetImplementor() override { return this; }

  const TSourceValue& ValueAt(int32_t index) const { return values_[static_cast<size_t>(index)]; }

 protected:
  TRecordSource() = default;
  ~TRecordSource() override;

  // Replaces the field list; the value row gets one empty value per column.
  void SetColumns(const std::vector<TSourceColumn>& columns);
  std::vector<TSourceValue>& Values() { return values_; }
  void ClearValues();
  // Sends a message to the attached sink, if any.
  void Report(int32_t kind, std::string_view text);
  // The value of column at record does not fit the column's type: counted, and reported
  // per column by ReportProblems.
  void NoteUnfit(int32_t column, int32_t record, std::string_view text) { unfit_.Note(column, record, text); }
  // count characters of the value were replaced by "?" because the process code page
  // lacks them.
  void NoteCodePage(int32_t column, int32_t record, std::string_view text) {
    codePage_.Note(column, record, text);
    recordProblems_.push_back({column, kSourceMsgCodePage});
  }
  // Bytes of the value were no character of the source's encoding.
  void NoteBadBytes(int32_t column, int32_t record, std::string_view text) {
    badBytes_.Note(column, record, text);
    recordProblems_.push_back({column, kSourceMsgBadBytes});
  }
  // A new record is being read: the notes of the last one no longer apply.
  void ClearRecordProblems() { recordProblems_.clear(); }
  // Sends one message per column and kind of problem noted since the last call (the
  // reading ended, or stopped); the counts start again from zero.
  void ReportProblems();
  void ForgetProblems();

 private:
  IntfPtr<ITransEvents> events_;
  std::vector<std::unique_ptr<TSourceField>> fields_;
  std::vector<std::unique_ptr<TSourceField>> retired_;
  std::vector<TSourceValue> values_;
  std::vector<std::string> madeTexts_;  // per field: the text GetRecordTexts formatted
  TColumnProblems unfit_, codePage_, badBytes_;
  std::vector<std::pair<int32_t, int32_t>> recordProblems_;  // field, kind
};

}  // namespace ryn
