// The records of a CSV text by RFC 4180 (quoted fields, doubled quotes, line breaks inside
// quotes, CR LF, LF or CR line ends), read the way libcsv reads them where the RFC says
// nothing: blank lines hold no record, blanks around fields are data, a quote inside an
// unquoted field is a plain character, and a quoted field whose closing quote is
// followed by anything but a delimiter or a line end keeps that quote and goes on.
// Records are split one at a time out of a buffer of input; fields are views of the input
// where they stand in it, and only fields with doubled quotes (or converted text) are
// copied. A field converted to the process code page that lost characters on the way is
// named in Problems. CountCsvRecords counts the same records without keeping any field.
// Read ahead, a thread of the reader's own reads and splits batches of records (a few at
// most) while the caller works on the records before them; records, problems and errors
// come out in the same order either way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "csv/csv_input.h"

namespace ryn {

class TTranscoder;

class TCsvRecords {
 public:
  // Throws what TCsvInput throws. With readAhead the records are split on a thread of
  // the reader's own, which ends when the reader is destroyed.
  TCsvRecords(const std::string& path, const TCsvFormat& format, bool readAhead = false);
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
  // A field of a record: bytes of the batch's input, or of its copies (the top bit of
  // length). Small, because the splitting thread writes one per field and the caller's
  // thread reads them back: a batch's input is kept below kMaxBatchBytes for it.
  struct FieldRef {
    uint32_t offset;
    uint32_t length;
  };
  static constexpr uint32_t kCopied = 0x80000000u;
  static constexpr size_t kMaxBatchBytes = 0x7FFFFFFF;
  static FieldRef Ref(size_t offset, size_t length, bool copied) {
    return FieldRef{static_cast<uint32_t>(offset), static_cast<uint32_t>(length) | (copied ? kCopied : 0)};
  }
  struct RecordRef {
    size_t fieldsEnd;  // in Batch::fields
    bool unclosedQuote;
  };
  // Records split out of one stretch of input: about a chunk of it, the record cut off at
  // its end going to the next batch.
  struct Batch {
    std::string text;
    std::string copies;
    std::vector<FieldRef> fields;
    std::vector<RecordRef> records;
    bool fieldsInUtf8 = false;
    bool last = false;             // no record follows these
    std::exception_ptr error;      // reading failed after these records
  };
  enum class Split { kRecord, kNeedInput, kEnd };

  // Splits the record at pos in b; without allBuffered_, a record that the buffered
  // input's end cuts off waits for more input (and leaves nothing in b).
  Split SplitRecord(Batch& b, size_t& pos);
  // Fills b with the next records (the splitting side: the reading thread, if any).
  void Fill(Batch& b);
  void FillAhead();
  // The next batch to hand records out of; the one before goes back to be filled again.
  void NextBatch();

  void ConvertFields(std::vector<std::string_view>& fields);

  TCsvInput input_;
  char delimiter_;
  bool processUtf8_ = false;
  std::unique_ptr<TTranscoder> fromUtf8_;  // into the process code page
  std::vector<FieldProblem> problems_;
  bool unclosedQuote_ = false;
  uint8_t stops_[256] = {};   // bytes that end an unquoted field
  // The splitting side: input not split yet, and whether the file's end is in it.
  std::string carry_;
  bool allBuffered_ = false;
  // The handing-out side: the batch and its next record.
  std::unique_ptr<Batch> current_;
  size_t record_ = 0;
  std::vector<std::string> converted_;

  // Read ahead: batches filled and waiting, batches to fill, and the thread that fills them.
  static constexpr size_t kBatchesAhead = 4;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Batch>> filled_, empty_;
  bool stop_ = false;
  std::thread thread_;
};

// The number of records Next would hand out, heading included. Throws like TCsvRecords.
int64_t CountCsvRecords(const std::string& path, const TCsvFormat& format);

}  // namespace ryn
