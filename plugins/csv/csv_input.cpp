#include "csv/csv_input.h"

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/stream.h"

namespace ryn {

TCsvInput::TCsvInput(const std::string& path, const TCsvFormat& format, bool counting)
    : file_(std::make_unique<TFileStream>(path, FileMode::kOpenRead, false)),
      counting_(counting),
      delimiter_(format.delimiter) {
  const CodePage& cp = ProcessCodePage();
  fieldsInUtf8_ = cp.MayBeTrailByte(static_cast<uint8_t>(format.delimiter));
  parseEncoding_ = fieldsInUtf8_ ? "UTF-8" : cp.Name();
  automatic_ = format.encoding.empty();
  if (!automatic_) Decide(format.encoding);
  raw_.resize(kChunkSize);
}

TCsvInput::~TCsvInput() = default;

void TCsvInput::Decide(const std::string& encoding) {
  decided_ = true;
  const std::string key = EncodingKey(encoding);
  sourceUtf8_ = key == "UTF8";
  // In UTF-8 no byte of a longer character is below 0x80; in these double-byte encodings
  // none is below 0x40 (0x30 in GB18030), where the usual delimiters lie.
  const bool doubleByte = key == "GBK" || key == "CP936" || key == "GB2312" || key == "BIG5" || key == "GB18030";
  if (counting_ && (sourceUtf8_ || (doubleByte && static_cast<unsigned char>(delimiter_) < 0x30))) return;
  if (key != EncodingKey(parseEncoding_))
    transcoder_ = std::make_unique<TTranscoder>(parseEncoding_, encoding);
}

size_t TCsvInput::ReadRaw() {
  size_t got = 0;
  while (got < raw_.size()) {
    size_t n = file_->Read(raw_.data() + got, raw_.size() - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

bool TCsvInput::Next(std::string_view& chunk) {
  while (!finished_) {
    size_t n = ReadRaw();
    if (n == 0) {
      finished_ = true;
      if (!transcoder_) return false;
      decoded_.clear();
      transcoder_->Finish(decoded_);
      chunk = decoded_;
      return !decoded_.empty();
    }
    std::string_view view(raw_.data(), n);
    if (first_) {
      first_ = false;
      if (view.substr(0, 3) == "\xEF\xBB\xBF" && (automatic_ || sourceUtf8_)) {
        view.remove_prefix(3);
        if (automatic_) Decide("UTF-8");
      }
    }
    if (!decided_) {
      Utf8Verdict verdict = JudgeUtf8(view);
      if (verdict == Utf8Verdict::kAscii) {
        chunk = view;
        return true;
      }
      Decide(verdict == Utf8Verdict::kUtf8 ? "UTF-8" : "GBK");
    }
    if (!transcoder_) {
      chunk = view;
      return true;
    }
    decoded_.clear();
    transcoder_->Convert(view, decoded_);
    if (!decoded_.empty()) {
      chunk = decoded_;
      return true;
    }
  }
  return false;
}

}  // namespace ryn
