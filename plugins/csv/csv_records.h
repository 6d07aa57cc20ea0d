// The records of a CSV text by RFC 4180 (quoted fields, doubled quotes, line breaks inside
// quotes, CR LF, LF or CR line ends), read the way libcsv reads them where the RFC says
// nothing: blank lines hold no record, blanks around fields are data, a quote inside an
// unquoted field is a plain character, and a quoted field whose closing quote is
// followed by anything but a delimiter or a line end keeps that quote and goes on.
// Records are split one at a time out of a buffer of input; fields are views of the input
// where they stand in it, and only fields with doubled quotes (or converted text) are
// copied. A field converted to the process code page that lost characters on the way is
// named in Problems. CountCsvRecords counts the same records without keeping any field.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "csv/csv_input.h"

namespace ryn {

class TTranscoder;

class TCsvRecords {
 public:
  // Throws what TCsvInput throws.
  TCsvRecords(const std::string& path, const TCsvFormat& format);
  ~TCsvRecords();
  TCsvRecords(const TCsvRecords&) = delete;
  TCsvRecords& operator=(const TCsvRecords&) = delete;

  // The next record's fields in the process code page, valid until the next call; false
  // after the last record. Throws EStreamError when reading fails.
  bool Next(std::vector<std::string_view>& fields);

  // A field of the last record whose conversion put in "?": for bytes that were no
  // character of the file's encoding, and for characters the process code page lacks.
  struct FieldProblem {
    size_t field;
    size_t badBytes;
    size_t unmapped;
  };
  const std::vector<FieldProblem>& Problems() const { return problems_; }
  // The last record has a quoted field that the end of the file cut off before its
  // closing quote: everything after the opening quote went into that field.
  bool UnclosedQuote() const { return unclosedQuote_; }

 private:
  // A field of the record: bytes of the input, or of the record's copies.
  struct FieldRef {
    size_t offset;
    size_t length;
    bool copied;
  };
  enum class Split { kRecord, kNeedInput, kEnd };

  // Splits the record at pos_; without allBuffered_, a record that the buffered input's end
  // cuts off waits for more input.
  Split SplitRecord();
  // The record's fields stay in place from record to record; only a longer record grows them.
  void AddField(const FieldRef& f) {
    if (fieldCount_ == refs_.size()) refs_.resize(refs_.size() * 2 + 16);
    refs_[fieldCount_++] = f;
  }

  void ConvertFields(std::vector<std::string_view>& fields);

  TCsvInput input_;
  char delimiter_;
  bool processUtf8_ = false;
  std::unique_ptr<TTranscoder> fromUtf8_;  // into the process code page
  std::vector<FieldProblem> problems_;
  bool unclosedQuote_ = false;
  uint8_t stops_[256] = {};   // bytes that end an unquoted field
  std::string buffer_;        // input from the record not yet handed out
  size_t pos_ = 0;            // where that record starts in buffer_
  bool allBuffered_ = false;  // the input is all in buffer_
  std::string copies_;        // fields that could not stay views of the input
  std::vector<FieldRef> refs_;
  size_t fieldCount_ = 0;
  std::vector<std::string> converted_;
};

// The number of records Next would hand out, heading included. Throws like TCsvRecords.
int64_t CountCsvRecords(const std::string& path, const TCsvFormat& format);

}  // namespace ryn
