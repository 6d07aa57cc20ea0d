#include "csv/csv_input.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/stream.h"

namespace ryn {
namespace {

// ASCII, or UTF-8 with at most one byte that is no part of a character for every
// kUtf8Ratio characters; a character that the end of the bytes cuts off is not held
// against them, since the rest of it may follow.
Utf8Verdict JudgeMostlyUtf8(std::string_view bytes) {
  size_t good = 0, bad = 0, i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      // A file that stays ASCII is judged chunk after chunk: eight bytes at a time.
      ++i;
      constexpr uint64_t kHighBits = 0x8080808080808080ull;
      uint64_t word;
      while (i + sizeof word <= bytes.size() && (std::memcpy(&word, bytes.data() + i, sizeof word), (word & kHighBits) == 0))
        i += sizeof word;
      continue;
    }
    size_t n = Utf8CharLength(bytes.substr(i));
    if (n > 0) {
      ++good;
      i += n;
    } else if (bytes.size() - i < 4 && JudgeUtf8(bytes.substr(i)) != Utf8Verdict::kNotUtf8) {
      break;
    } else {
      ++bad;
      ++i;
    }
  }
  if (good == 0 && bad == 0) return Utf8Verdict::kAscii;
  return good > 0 && good >= bad * TCsvInput::kUtf8Ratio ? Utf8Verdict::kUtf8 : Utf8Verdict::kNotUtf8;
}

// The encoding a byte-order mark at the start of bytes names, and the mark's length.
std::pair<const char*, size_t> ByteOrderMark(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return {"UTF-8", 3};
  if (bytes.substr(0, 2) == "\xFF\xFE") return {"UTF-16LE", 2};
  if (bytes.substr(0, 2) == "\xFE\xFF") return {"UTF-16BE", 2};
  return {nullptr, 0};
}

}  // namespace

TCsvInput::TCsvInput(const std::string& path, const TCsvFormat& format, bool counting)
    : file_(std::make_unique<TFileStream>(path, FileMode::kOpenRead, false)),
      counting_(counting),
      delimiter_(format.delimiter) {
  delimiterMayBeTrail_ = ProcessCodePage().MayBeTrailByte(static_cast<uint8_t>(format.delimiter));
  automatic_ = format.encoding.empty();
  encoding_ = format.encoding;
  if (!automatic_) Decide(format.encoding);
  raw_.resize(kChunkSize);
}

TCsvInput::~TCsvInput() = default;

void TCsvInput::Decide(const std::string& encoding) {
  decided_ = true;
  const std::string key = EncodingKey(encoding);
  const std::string process = EncodingKey(ProcessCodePage().Name());
  const bool sourceUtf8 = key == "UTF8";
  fieldsInUtf8_ = key != process || sourceUtf8 || delimiterMayBeTrail_;
  // In UTF-8 no byte of a longer character is below 0x80; in these double-byte encodings
  // none is below 0x40 (0x30 in GB18030), where the usual delimiters lie.
  const bool doubleByte = key == "GBK" || key == "CP936" || key == "GB2312" || key == "BIG5" || key == "GB18030";
  if (counting_ && (sourceUtf8 || (doubleByte && static_cast<unsigned char>(delimiter_) < 0x30))) return;
  if (!fieldsInUtf8_ || sourceUtf8) return;
  transcoder_ = std::make_unique<TTranscoder>("UTF-8", encoding);
  transcoder_->SetBadInputMark('\xFF');
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
      auto [marked, length] = ByteOrderMark(view);
      if (marked && (automatic_ || EncodingKey(marked) == EncodingKey(encoding_))) {
        view.remove_prefix(length);
        if (automatic_) Decide(marked);
      }
    }
    if (!decided_) {
      Utf8Verdict verdict = JudgeMostlyUtf8(view);
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
