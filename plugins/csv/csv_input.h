// The text of a CSV file as the record parser reads it, a chunk at a time: without a
// UTF-8 byte-order mark, converted from the file's encoding into the process code page,
// or into UTF-8 when the delimiter could be the second byte of a double-byte character
// of the process code page (the parser then converts each field itself). In automatic
// mode the encoding is decided by the first chunk that holds a byte above 0x7F: UTF-8
// when that chunk reads as UTF-8, GBK otherwise; ASCII reads the same in both.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace ryn {

class TFileStream;
class TTranscoder;

struct TCsvFormat {
  char delimiter = ',';
  bool headerRow = true;
  std::string encoding;  // an iconv name; empty: automatic
};

class TCsvInput {
 public:
  static constexpr size_t kChunkSize = 256 * 1024;

  // Throws EFileOpenError when the file cannot be opened for reading. For counting, text
  // whose delimiter, quote and line ends are the same bytes without conversion is handed
  // out unconverted.
  TCsvInput(const std::string& path, const TCsvFormat& format, bool counting = false);
  ~TCsvInput();
  TCsvInput(const TCsvInput&) = delete;
  TCsvInput& operator=(const TCsvInput&) = delete;

  // The next piece of text, valid until the next call; false at the end. Throws
  // EStreamError when reading fails.
  bool Next(std::string_view& chunk);
  // Fields come out in UTF-8 and still need converting to the process code page.
  bool FieldsInUtf8() const { return fieldsInUtf8_; }

 private:
  size_t ReadRaw();
  void Decide(const std::string& encoding);

  std::unique_ptr<TFileStream> file_;
  std::unique_ptr<TTranscoder> transcoder_;
  std::string raw_, decoded_;
  std::string parseEncoding_;
  bool fieldsInUtf8_ = false;
  bool decided_ = false;
  bool automatic_ = false;
  bool sourceUtf8_ = false;
  bool first_ = true;
  bool finished_ = false;
  bool counting_ = false;
  char delimiter_ = ',';
};

}  // namespace ryn
