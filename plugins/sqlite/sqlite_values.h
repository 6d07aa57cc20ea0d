// How one value of an SQLite result becomes a value of its column. SQLite lets any column
// hold any storage class, so each value is read by its own class and then either fits the
// column's type exactly or is kept as its text and marked as not fitting: no value is ever
// forced into another type.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/source_engine.h"

namespace ryn {

class TTranscoder;

// What reading one value found, for the per-column counts.
struct TSqliteReadNotes {
  bool unfit = false;     // the value does not fit the column's type
  size_t unmapped = 0;    // characters the process code page lacks, each now "?"
  size_t badBytes = 0;    // bytes that were no UTF-8 character, each now "?"
};

class TSqliteValueReader {
 public:
  TSqliteValueReader();
  ~TSqliteValueReader();
  TSqliteValueReader(const TSqliteValueReader&) = delete;
  TSqliteValueReader& operator=(const TSqliteValueReader&) = delete;

  // Reads value col of stmt's current row for a column of type (65, 7, 18, 50 or 51).
  // Its text goes into buffer and stays valid as long as buffer is left alone.
  TSqliteReadNotes Read(sqlite3_stmt* stmt, int col, int32_t type, std::string& buffer, TSourceValue& v);

 private:
  // SQLite's UTF-8 text in the process code page.
  void ConvertText(std::string_view utf8, std::string& out, TSqliteReadNotes& notes);

  std::unique_ptr<TTranscoder> toCodePage_;
  bool utf8CodePage_;
};

// Binary bytes as text: two uppercase hexadecimal digits per byte.
std::string HexText(const void* bytes, size_t size);

}  // namespace ryn
