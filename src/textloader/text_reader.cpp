#include "textloader/text_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/stream.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
        Split(line_.data(), line_.data() + line_.size(), !st.sawQuote);
      } else {
        Split(base + lineBegin, base + lineEnd, !st.sawQuote);
      }
      // A line break that ends the window may also end the stream: learn which now, so
      // that Eof answers for a trailing empty line the same whatever the window's size.
      // The values are copied out already, so the window is free.
      if (pos_ == end_ && !streamDone_) {
        pos_ = end_ = 0;
        Fill();
      }
      return;
    }
    if (streamDone_) {
      // The last line: a trailing run of line-break bytes is a broken line break. It is
      // cut from the whole line, wherever the loads put its parts.
      auto breakByte = [this](char c) { return lineBreak_.find(c) != std::string::npos; };
      const char* b = base + pos_;
      const char* e = base + end_;
      pos_ = end_;
      if (assembled) {
        line_.append(b, static_cast<size_t>(e - b));
        while (!line_.empty() && breakByte(line_.back())) line_.pop_back();
        Split(line_.data(), line_.data() + line_.size(), !st.sawQuote);
      } else {
        while (e > b && breakByte(e[-1])) --e;
        Split(b, e, !st.sawQuote);
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

void TAFTextReader::Split(const char* p, const char* end, bool noQuotes) {
  count_ = 0;
  if (p == end) return;
  const TDelimiterFinder& finder = ValueFinder();
  if (finder.Simple() && (noQuotes || !std::memchr(p, finder.QuoteByte(), static_cast<size_t>(end - p)))) {
    SplitPlain(p, end, finder.DelimiterByte());
    return;
  }
  values_.clear();
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

// Nothing quoted: every delimiter byte ends a value, and the values are the line's own
// bytes, copied once. A delimiter at the end of the line gives no trailing empty value.
void TAFTextReader::SplitPlain(const char* p, const char* end, char delim) {
  const char* line = p;
  values_.assign(p, static_cast<size_t>(end - p));
  const char* start = p;
#ifdef __SSE2__
  const __m128i d = _mm_set1_epi8(delim);
  while (end - p >= 16) {
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), d)));
    while (mask != 0) {
      const char* at = p + __builtin_ctz(mask);
      StorePlain(line, start, at);
      start = at + 1;
      mask &= mask - 1;
    }
    p += 16;
  }
#endif
  for (; p < end; ++p) {
    if (*p == delim) {
      StorePlain(line, start, p);
      start = p + 1;
    }
  }
  if (start < end) StorePlain(line, start, end);
}

TAFTextReader::Span& TAFTextReader::NewSpan() {
  if (static_cast<size_t>(count_) == spans_.size()) spans_.emplace_back();
  return spans_[static_cast<size_t>(count_++)];
}

void TAFTextReader::StorePlain(const char* lineStart, const char* b, const char* e) {
  if (trimValues_) {
    while (b < e && static_cast<unsigned char>(*b) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(e[-1]) <= 32) --e;
  }
  Span& s = NewSpan();
  s.offset = static_cast<size_t>(b - lineStart);
  s.length = static_cast<size_t>(e - b);
  s.block = false;
}

void TAFTextReader::Store(const char* b, const char* e) {
  if (trimValues_) {
    while (b < e && static_cast<unsigned char>(*b) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(e[-1]) <= 32) --e;
  }
  std::string_view raw(b, static_cast<size_t>(e - b));
  const size_t offset = values_.size();
  Span& span = NewSpan();
  span.offset = offset;
  span.block = false;
  if (!blockOpen_.empty() && !blockClose_.empty() && raw.starts_with(blockOpen_) &&
      raw.size() >= blockOpen_.size() + blockClose_.size() && raw.ends_with(blockClose_)) {
    span.block = true;
    values_.append(raw.substr(blockOpen_.size(), raw.size() - blockOpen_.size() - blockClose_.size()));
  } else if (quote_.empty() || raw.find(quote_[0]) == std::string_view::npos) {
    values_.append(raw);
  } else {
    // Unquote: every tripled quote becomes one, then one enclosing pair goes.
    const std::string triple = quote_ + quote_ + quote_;
    size_t i = 0;
    while (i < raw.size()) {
      size_t j = raw.find(triple, i);
      if (j == std::string_view::npos) {
        values_.append(raw.substr(i));
        break;
      }
      values_.append(raw.substr(i, j - i));
      values_.append(quote_);
      i = j + triple.size();
    }
    const size_t q = quote_.size();
    std::string_view v(values_.data() + offset, values_.size() - offset);
    if (v.size() >= 2 * q && v.starts_with(quote_) && v.ends_with(quote_)) {
      values_.erase(values_.size() - q);
      values_.erase(offset, q);
    }
  }
  span.length = values_.size() - offset;
}

}  // namespace ryn
