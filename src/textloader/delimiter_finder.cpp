#include "textloader/delimiter_finder.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ryn {
namespace {

// The first byte in [p, end) that is one of bytes[0..n) (n is 1 to 4), or end. Sixteen
// bytes at a time where the processor allows.
const char* ScanToAny(const char* p, const char* end, const char* bytes, int n, const uint8_t* table) {
#ifdef __SSE2__
  const __m128i b0 = _mm_set1_epi8(bytes[0]);
  const __m128i b1 = _mm_set1_epi8(bytes[n > 1 ? 1 : 0]);
  const __m128i b2 = _mm_set1_epi8(bytes[n > 2 ? 2 : 0]);
  const __m128i b3 = _mm_set1_epi8(bytes[n > 3 ? 3 : 0]);
  while (end - p >= 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, b0), _mm_cmpeq_epi8(x, b1)),
                             _mm_or_si128(_mm_cmpeq_epi8(x, b2), _mm_cmpeq_epi8(x, b3)));
    int mask = _mm_movemask_epi8(m);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#else
  (void)bytes;
  (void)n;
#endif
  while (p < end && !table[static_cast<uint8_t>(*p)]) ++p;
  return p;
}

}  // namespace

TDelimiterFinder::TDelimiterFinder(std::string_view delimiter, std::string_view quote, std::string_view blockOpen,
                                   std::string_view blockClose)
    : delim_(delimiter), quote_(quote), open_(blockOpen), close_(blockClose) {
  quoting_ = !quote_.empty();
  blocks_ = quoting_ && !open_.empty() && !close_.empty();
  const CodePage& cp = ProcessCodePage();
  charWalk_ = false;
  auto mark = [&](const std::string& m) {
    if (m.empty()) return;
    if (!outside_[static_cast<uint8_t>(m[0])] && outsideCount_ < 4) outsideBytes_[outsideCount_++] = m[0];
    outside_[static_cast<uint8_t>(m[0])] = 1;
    if (cp.MayBeTrailByte(static_cast<uint8_t>(m[0]))) charWalk_ = true;
  };
  mark(delim_);
  if (quoting_) mark(quote_);
  if (blocks_) {
    mark(open_);
    mark(close_);
  }
  lookahead_ = std::max({delim_.size(), 3 * quote_.size(), open_.size(), close_.size(), size_t{2}});
}

const char* TDelimiterFinder::FindPlain(const char* p, const char* end, bool complete, const char** resume) const {
  const CodePage& cp = ProcessCodePage();
  const size_t need = std::max<size_t>(delim_.size(), 2);
  while (p < end) {
    if (!charWalk_) {
      p = static_cast<const char*>(std::memchr(p, delim_[0], static_cast<size_t>(end - p)));
      if (!p) break;
    }
    if (!complete && static_cast<size_t>(end - p) < need) {
      *resume = p;
      return nullptr;
    }
    if (At(p, end, delim_)) return p;
    p += charWalk_ ? cp.CharLength(p, end) : 1;
  }
  if (!complete) *resume = end;
  return nullptr;
}

const char* TDelimiterFinder::Find(const char* p, const char* end, ScanState& st, bool complete,
                                   const char** resume) const {
  if (delim_.empty() && !quoting_) {
    if (!complete) *resume = end;
    return nullptr;
  }
  if (!quoting_) return FindPlain(p, end, complete, resume);

  const CodePage& cp = ProcessCodePage();
  const char quote0 = quote_[0];
  while (p < end) {
    if (st.inQuote) {
      // Only a quote matters inside quotes.
      if (!charWalk_) {
        p = static_cast<const char*>(std::memchr(p, quote0, static_cast<size_t>(end - p)));
        if (!p) break;
      } else if (*p != quote0) {
        if (!complete && end - p < 2) {
          *resume = p;  // a lead byte may need its trail from the next load
          return nullptr;
        }
        p += cp.CharLength(p, end);
        continue;
      }
      if (!complete && static_cast<size_t>(end - p) < lookahead_) {
        *resume = p;
        return nullptr;
      }
      p = At(p, end, quote_) ? PassQuote(p, end, st) : p + 1;
      continue;
    }

    if (!charWalk_) {
      p = ScanToAny(p, end, outsideBytes_, outsideCount_, outside_);
      if (p >= end) break;
    } else if (!outside_[static_cast<uint8_t>(*p)]) {
      if (!complete && end - p < 2) {
        *resume = p;
        return nullptr;
      }
      p += cp.CharLength(p, end);
      continue;
    }
    if (!complete && static_cast<size_t>(end - p) < lookahead_) {
      *resume = p;
      return nullptr;
    }
    if (st.depth == 0 && At(p, end, delim_)) return p;
    if (At(p, end, quote_)) {
      st.sawQuote = true;
      p = PassQuote(p, end, st);
    } else if (blocks_ && At(p, end, open_)) {
      ++st.depth;
      p += open_.size();
    } else if (blocks_ && At(p, end, close_)) {
      if (st.depth > 0) --st.depth;
      p += close_.size();
    } else {
      p += charWalk_ ? cp.CharLength(p, end) : 1;
    }
  }
  if (!complete) *resume = end;
  return nullptr;
}

bool TDelimiterFinder::KeepsBlockOpen(std::string_view text) const {
  if (!blocks_) return false;
  const CodePage& cp = ProcessCodePage();
  const char* p = text.data();
  const char* end = p + text.size();
  ScanState st{false, 1};
  while (p < end) {
    if (At(p, end, quote_)) {
      p = PassQuote(p, end, st);
    } else if (st.inQuote) {
      p += cp.CharLength(p, end);
    } else if (At(p, end, open_)) {
      ++st.depth;
      p += open_.size();
    } else if (At(p, end, close_)) {
      if (--st.depth == 0) return false;
      p += close_.size();
    } else {
      p += cp.CharLength(p, end);
    }
  }
  return !st.inQuote && st.depth == 1;
}

}  // namespace ryn
