#include "textloader/text_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/codepage.h"
#include "platform/stream.h"

namespace ryn {

// What the format decision looks for, built once per configuration.
struct TAFTextWriter::Marks {
  uint8_t first[256] = {};  // first bytes of the marks, the quote and the space
  uint8_t lineBreakByte[256] = {};
  bool charWalk = false;
  bool blocks = false;
  // The line break holds CR or LF: a value with either byte anywhere goes in quotes, so
  // that a reader who splits lines at a bare LF (or CR) never splits a value.
  bool lineEnds = false;
  std::unique_ptr<TDelimiterFinder> blockCheck;  // reads blocks back as a reader would
};

TAFTextWriter::TAFTextWriter() = default;
TAFTextWriter::TAFTextWriter(TStream* stream) : stream_(stream) {}
TAFTextWriter::~TAFTextWriter() = default;

void TAFTextWriter::Reconfigure() { marks_.reset(); }

const TAFTextWriter::Marks& TAFTextWriter::GetMarks() const {
  if (marks_) return *marks_;
  auto m = std::make_unique<Marks>();
  const CodePage& cp = ProcessCodePage();
  m->blocks = !blockOpen_.empty() && !blockClose_.empty();
  for (const std::string* s : {&delimiter_, &lineBreak_, &quote_, &blockOpen_, &blockClose_}) {
    if (s->empty()) continue;
    m->first[static_cast<uint8_t>((*s)[0])] = 1;
    if (cp.MayBeTrailByte(static_cast<uint8_t>((*s)[0]))) m->charWalk = true;
  }
  m->first[static_cast<uint8_t>(' ')] = 1;
  for (char c : lineBreak_) m->lineBreakByte[static_cast<uint8_t>(c)] = 1;
  m->lineEnds = !quote_.empty() && lineBreak_.find_first_of("\r\n") != std::string::npos;
  if (m->lineEnds) m->first[static_cast<uint8_t>('\r')] = m->first[static_cast<uint8_t>('\n')] = 1;
  if (m->blocks && !quote_.empty())
    m->blockCheck = std::make_unique<TDelimiterFinder>(delimiter_, quote_, blockOpen_, blockClose_);
  marks_ = std::move(m);
  return *marks_;
}

void TAFTextWriter::SetCount(int count) {
  if (count < 0) count = 0;
  while (values_.size() < static_cast<size_t>(count)) values_.emplace_back();
  for (int i = count_; i < count; ++i) values_[static_cast<size_t>(i)].clear();
  count_ = count;
}

void TAFTextWriter::SetValue(int index, std::string_view text) {
  if (index < 0) return;
  if (index >= count_) SetCount(index + 1);
  values_[static_cast<size_t>(index)].assign(text);
}

const std::string& TAFTextWriter::Empty() {
  static const std::string kEmpty;
  return kEmpty;
}

void TAFTextWriter::WriteLine() {
  line_.clear();
  const bool atStart = stream_->Position() == 0;
  if (!atStart || openEmptyLine_) line_ += lineBreak_;
  // A delimiter of one byte (the usual) goes in without a copy of a string.
  const bool oneByte = delimiter_.size() == 1;
  for (int i = 0; i < count_; ++i) {
    if (i > 0) {
      if (oneByte)
        line_.push_back(delimiter_[0]);
      else
        line_ += delimiter_;
    }
    AppendFormatted(i, line_);
  }
  openEmptyLine_ = atStart && line_.empty();
  stream_->Write(line_.data(), line_.size());
}

void TAFTextWriter::WriteFormattedLine(std::string_view line) {
  const bool atStart = stream_->Position() == 0;
  const std::string_view body = line.substr(std::min(line.size(), lineBreak_.size()));
  if (atStart && !openEmptyLine_) line = body;
  openEmptyLine_ = atStart && line.empty();
  stream_->Write(line.data(), line.size());
}

void TAFTextWriter::WriteText(std::string_view text) { stream_->Write(text.data(), text.size()); }

std::string TAFTextWriter::FormatValue(int index) const {
  std::string out;
  AppendFormatted(index, out);
  return out;
}

void TAFTextWriter::AppendFormatted(int index, std::string& out) const { AppendStandard(GetValue(index), out); }

namespace {

// Whether the last byte of text starts a character that the text does not complete.
bool EndsInsideCharacter(std::string_view text, const CodePage& cp) {
  if (text.empty() || !cp.IsLeadByte(static_cast<uint8_t>(text.back()))) return false;
  const char* p = text.data();
  const char* end = p + text.size();
  const char* last = p;
  while (p < end) {
    last = p;
    p += cp.CharLength(p, end);
  }
  return end - last == 1;
}

inline bool At(const char* p, const char* end, const std::string& mark) {
  const size_t n = mark.size();
  if (n == 0 || static_cast<size_t>(end - p) < n || *p != mark[0]) return false;
  return n == 1 || std::memcmp(p + 1, mark.data() + 1, n - 1) == 0;
}

}  // namespace

bool TAFTextWriter::WritesAsItIs(std::string_view value) const {
  // Most values hold none of the bytes that matter: a pass that stops at the first one
  // tells (values are short; this stays a small function, the rest is AppendMarked).
  PlainBytes bytes{};
  return GetPlainBytes(bytes) && IsPlain(value, bytes);
}

bool TAFTextWriter::GetPlainBytes(PlainBytes& bytes) const {
  static const uint8_t kNone[256] = {};
  const Marks& m = marks_ ? *marks_ : GetMarks();
  const bool quoting = !quote_.empty();
  if (!quoting && !m.blocks) {
    bytes = PlainBytes{kNone, kNone};
    return true;
  }
  if (m.charWalk) return false;
  bytes = PlainBytes{m.first, quoting ? m.lineBreakByte : kNone};
  return true;
}

void TAFTextWriter::AppendStandard(std::string_view value, std::string& out) const {
  if (WritesAsItIs(value))
    out.append(value);
  else
    AppendMarked(value, out, *marks_);
}

void TAFTextWriter::AppendMarked(std::string_view value, std::string& out, const Marks& m) const {
  const bool quoting = !quote_.empty();
  bool special = false, quoteOrSpace = false;
  const char* p = value.data();
  const char* end = p + value.size();
  const CodePage* cp = m.charWalk ? &ProcessCodePage() : nullptr;
  while (p < end) {
    const uint8_t b = static_cast<uint8_t>(*p);
    if (!m.first[b]) {
      p += cp ? cp->CharLength(p, end) : 1;
      continue;
    }
    if (At(p, end, delimiter_) || At(p, end, lineBreak_) || At(p, end, blockOpen_) || At(p, end, blockClose_)) {
      special = true;
      break;
    }
    if (b == ' ' || At(p, end, quote_) || (m.lineEnds && (b == '\r' || b == '\n'))) quoteOrSpace = true;
    p += cp ? cp->CharLength(p, end) : 1;
  }
  // A value that ends in the first byte of a character would take the next mark (when
  // that can follow a lead byte) into its last character: it goes in quotes, which
  // cannot.
  const bool dangling = cp && EndsInsideCharacter(value, *cp);
  if (special && m.blocks && !dangling && (!m.blockCheck || m.blockCheck->KeepsBlockOpen(value))) {
    out += blockOpen_;
    out.append(value);
    out += blockClose_;
    return;
  }
  // A last byte that belongs to the line break would be taken for a broken line break at
  // the end of the text: quote it as well.
  bool endsLikeLineBreak = !value.empty() && m.lineBreakByte[static_cast<uint8_t>(value.back())];
  if (quoting && (special || quoteOrSpace || endsLikeLineBreak || dangling)) {
    AppendQuoted(value, quote_, out);
    return;
  }
  out.append(value);
}

std::string TAFTextWriter::QuoteValue(std::string_view value, std::string_view quote) {
  std::string out;
  AppendQuoted(value, quote, out);
  return out;
}

void TAFTextWriter::AppendQuoted(std::string_view value, std::string_view quote, std::string& out) {
  if (quote.empty()) {
    out.append(value);
    return;
  }
  const size_t start = out.size();
  out.append(quote);
  const CodePage& cp = ProcessCodePage();
  const char* p = value.data();
  const char* end = p + value.size();
  while (p < end) {
    if (static_cast<size_t>(end - p) >= quote.size() && std::memcmp(p, quote.data(), quote.size()) == 0) {
      for (int i = 0; i < 3; ++i) out.append(quote);
      p += quote.size();
      continue;
    }
    size_t n = cp.CharLength(p, end);
    out.append(p, n);
    p += n;
  }
  if (value == quote) {
    out.erase(start, quote.size());  // a lone quote is written as three and nothing else
    return;
  }
  out.append(quote);
}

}  // namespace ryn
