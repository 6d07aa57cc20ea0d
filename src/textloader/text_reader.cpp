#include "textloader/text_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/stream.h"

namespace ryn {

TAFTextReader::TAFTextReader() : buffer_(kBufferSize) {}

TAFTextReader::TAFTextReader(TStream* stream) : TAFTextReader() { SetStream(stream); }

TAFTextReader::~TAFTextReader() = default;

void TAFTextReader::SetStream(TStream* stream) {
  stream_ = stream;
  First();
}

void TAFTextReader::Reconfigure() {
  lineFinder_.reset();
  valueFinder_.reset();
}

const TDelimiterFinder& TAFTextReader::LineFinder() {
  if (!lineFinder_) lineFinder_ = std::make_unique<TDelimiterFinder>(lineBreak_, quote_, blockOpen_, blockClose_);
  return *lineFinder_;
}

const TDelimiterFinder& TAFTextReader::ValueFinder() {
  if (!valueFinder_) valueFinder_ = std::make_unique<TDelimiterFinder>(delimiter_, quote_, blockOpen_, blockClose_);
  return *valueFinder_;
}

void TAFTextReader::SetBufferSize(size_t size) {
  size_t minimum = 4 * std::max(LineFinder().Lookahead(), ValueFinder().Lookahead()) + 8;
  buffer_.assign(std::max(size, minimum), '\0');
  if (stream_) First();
}

void TAFTextReader::First() {
  pos_ = end_ = 0;
  streamDone_ = false;
  count_ = 0;
  if (!stream_) return;
  stream_->SetPosition(0);
  Next();
}

void TAFTextReader::Next() {
  count_ = 0;
  if (!stream_) return;
  ReadLine();
}

bool TAFTextReader::Eof() const { return !stream_ || (streamDone_ && pos_ == end_ && count_ == 0); }

const std::string& TAFTextReader::GetValue(int index) const {
  static const std::string kEmpty;
  return index >= 0 && index < count_ ? values_[static_cast<size_t>(index)] : kEmpty;
}

// Reads more of the stream into the free end of the window.
void TAFTextReader::Fill() {
  if (streamDone_ || end_ == buffer_.size()) return;
  size_t want = buffer_.size() - end_;
  size_t got = stream_->Read(buffer_.data() + end_, want);
  end_ += got;
  if (got < want) streamDone_ = true;
}

void TAFTextReader::ReadLine() {
  const TDelimiterFinder& finder = LineFinder();
  bool assembled = false;
  ScanState st;
  size_t scanFrom = pos_;
  if (pos_ == end_) {
    pos_ = end_ = scanFrom = 0;
    Fill();
  }
  for (;;) {
    const char* base = buffer_.data();
    const char* resume = nullptr;
    const char* found = finder.Find(base + scanFrom, base + end_, st, streamDone_, &resume);
    if (found) {
      size_t lineEnd = static_cast<size_t>(found - base);
      size_t lineBegin = pos_;
      pos_ = lineEnd + lineBreak_.size();
      if (assembled) {
        line_.append(base + lineBegin, lineEnd - lineBegin);
        Split(line_.data(), line_.data() + line_.size());
      } else {
        Split(base + lineBegin, base + lineEnd);
      }
      return;
    }
    if (streamDone_) {
      // The last line: a trailing run of line-break bytes is a broken line break.
      const char* b = base + pos_;
      const char* e = base + end_;
      while (e > b && lineBreak_.find(e[-1]) != std::string::npos) --e;
      pos_ = end_;
      if (assembled) {
        line_.append(b, static_cast<size_t>(e - b));
        Split(line_.data(), line_.data() + line_.size());
      } else {
        Split(b, e);
      }
      return;
    }
    size_t resumeAt = static_cast<size_t>(resume - base);
    if (end_ == buffer_.size()) {
      // Make room: drop what is consumed, or when the whole window is one line, move the
      // scanned part of it out into the line.
      size_t keepFrom = pos_;
      if (pos_ == 0) {
        if (!assembled) line_.clear();
        line_.append(base, resumeAt);
        assembled = true;
        keepFrom = resumeAt;
      }
      std::memmove(buffer_.data(), buffer_.data() + keepFrom, end_ - keepFrom);
      end_ -= keepFrom;
      resumeAt -= keepFrom;
      pos_ = 0;
    }
    scanFrom = resumeAt;
    Fill();
  }
}

void TAFTextReader::Split(const char* p, const char* end) {
  count_ = 0;
  if (p == end) return;
  const TDelimiterFinder& finder = ValueFinder();
  const size_t delimLen = delimiter_.size();
  while (p < end) {
    ScanState st;
    const char* found = finder.Find(p, end, st, true, nullptr);
    if (!found) {
      Store(p, end);
      return;
    }
    Store(p, found);
    p = found + delimLen;
  }
}

void TAFTextReader::Store(const char* b, const char* e) {
  if (static_cast<size_t>(count_) == values_.size()) values_.emplace_back();
  std::string& v = values_[static_cast<size_t>(count_++)];
  if (trimValues_) {
    while (b < e && static_cast<unsigned char>(*b) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(e[-1]) <= 32) --e;
  }
  std::string_view raw(b, static_cast<size_t>(e - b));
  if (!blockOpen_.empty() && !blockClose_.empty() && raw.starts_with(blockOpen_)) {
    if (raw.size() >= blockOpen_.size() + blockClose_.size() && raw.ends_with(blockClose_)) {
      v.assign(raw.substr(blockOpen_.size(), raw.size() - blockOpen_.size() - blockClose_.size()));
      return;
    }
  }
  if (quote_.empty() || raw.find(quote_[0]) == std::string_view::npos) {
    v.assign(raw);
    return;
  }
  // Unquote: every tripled quote becomes one, then one enclosing pair goes.
  const std::string triple = quote_ + quote_ + quote_;
  v.clear();
  size_t i = 0;
  while (i < raw.size()) {
    size_t j = raw.find(triple, i);
    if (j == std::string_view::npos) {
      v.append(raw.substr(i));
      break;
    }
    v.append(raw.substr(i, j - i));
    v.append(quote_);
    i = j + triple.size();
  }
  const size_t q = quote_.size();
  if (v.size() >= 2 * q && v.compare(0, q, quote_) == 0 && v.compare(v.size() - q, q, quote_) == 0) {
    v.erase(v.size() - q);
    v.erase(0, q);
  }
}

}  // namespace ryn
