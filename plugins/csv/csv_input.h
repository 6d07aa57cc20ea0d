// The text of a CSV file as the record parser reads it, a chunk at a time, without its
// byte-order mark (UTF-8, UTF-16LE or UTF-16BE). A file in the process code page (other
// than UTF-8) is parsed as it is. Any other file is parsed in UTF-8: converted into it
// chunk by chunk unless it is UTF-8 already, and the parser then converts (or, under a
// UTF-8 code page, checks) each field that is not ASCII on its own, so that a character
// replaced by "?" is known by record and column. Bytes that are no character of the
// file's encoding stay invalid UTF-8 (0xFF) until then.
// In automatic mode a byte-order mark names the encoding; otherwise the first chunk that
// holds a byte above 0x7F decides: UTF-8 when at least kUtf8Ratio well-formed UTF-8
// characters stand in it for every byte that is no part of one (a stray byte in a UTF-8
// file is reported where it stands, not taken for a sign of GBK; GBK text read as UTF-8
// has far more bad bytes than good characters), GBK otherwise. ASCII reads the same in
// both.
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
  static constexpr size_t kUtf8Ratio = 4;

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
  // Fields come out in UTF-8 and still need converting to (or checking against) the
  // process code page. Settled by the first chunk that is not ASCII; fields before it are
  // ASCII and need nothing.
  bool FieldsInUtf8() const { return fieldsInUtf8_; }

 private:
  size_t ReadRaw();
  void Decide(const std::string& encoding);

  std::unique_ptr<TFileStream> file_;
  std::unique_ptr<TTranscoder> transcoder_;
  std::string raw_, decoded_;
  bool fieldsInUtf8_ = false;
  bool decided_ = false;
  bool automatic_ = false;
  bool delimiterMayBeTrail_ = false;
  std::string encoding_;  // as named; empty: automatic
  bool first_ = true;
  bool finished_ = false;
  bool counting_ = false;
  char delimiter_ = ',';
};

}  // namespace ryn
