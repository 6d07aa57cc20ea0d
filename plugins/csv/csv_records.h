// The records of a CSV text, split by libcsv (RFC 4180: quoted fields, doubled quotes,
// line breaks inside quotes, CR LF, LF or CR line ends; blank lines hold no record).
// Every chunk of input is parsed at once into a batch of records kept back to back in
// one buffer, which the caller walks record by record; blanks around fields are data.
// CountCsvRecords counts the same records without keeping any field.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "csv/csv_input.h"

struct csv_parser;

namespace ryn {

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

 private:
  static void OnField(void* data, size_t len, void* self);
  static void OnRecord(int, void* self);
  // Parses input until a record is complete or the text ends.
  void Fill();
  // Drops the records already handed out, keeping the fields of an unfinished record.
  void Compact();

  TCsvInput input_;
  std::unique_ptr<csv_parser> parser_;
  std::string arena_;               // field bytes back to back
  std::vector<size_t> fieldEnds_;   // end offset of each field in arena_
  std::vector<size_t> recordEnds_;  // fields up to and including each complete record
  size_t next_ = 0;                 // the next record of the batch to hand out
  bool ended_ = false;
  bool convertFields_ = false;
};

// The number of records Next would hand out, heading included. Throws like TCsvRecords.
int64_t CountCsvRecords(const std::string& path, const TCsvFormat& format);

}  // namespace ryn
