// Finds the first delimiter that stands outside quotes and outside (nested) blocks. The
// scan is a state machine over the bytes, so it can be suspended at the end of one buffer
// load and resumed in the next: a line splits the same way wherever the loads fall.
//
// Quotes: a run of three quotes is one literal quote and leaves the state as it is; any
// other quote opens or closes a quoted section. That is how the writer escapes quotes, so
// everything it writes scans back to the same boundaries. Under a multi-byte code page a
// byte inside a double-byte character is never taken for a mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ryn {

struct ScanState {
  bool inQuote = false;
  int depth = 0;
  bool sawQuote = false;  // a quote was met since the state was made
};

class TDelimiterFinder {
 public:
  // An empty quote switches quote handling off, and block marks with it; blocks are on
  // only when both marks are non-empty.
  TDelimiterFinder(std::string_view delimiter, std::string_view quote, std::string_view blockOpen,
                   std::string_view blockClose);

  // Scans [p, end) from state st for the delimiter at depth 0 outside quotes and returns
  // its position. Returns null when there is none: then, with complete set, st is the
  // state at end; without it (more bytes may follow end) *resume is where the scan must
  // continue once they are there, and st is the state at that point.
  const char* Find(const char* p, const char* end, ScanState& st, bool complete, const char** resume) const;
  const char* Find(std::string_view text) const {
    ScanState st;
    return Find(text.data(), text.data() + text.size(), st, true, nullptr);
  }

  // Whether text, written between the block marks, keeps the block open to its end:
  // no block close outside quotes drops the depth to zero, and the scan ends outside
  // quotes at the starting depth.
  bool KeepsBlockOpen(std::string_view text) const;

  // Bytes a decision may need to look ahead.
  size_t Lookahead() const { return lookahead_; }
  bool Quoting() const { return quoting_; }
  // One-byte delimiter and quote, no blocks, no multi-byte concerns: a line without
  // quotes splits at every delimiter byte.
  bool Simple() const {
    return delim_.size() == 1 && quote_.size() == 1 && !blocks_ && !charWalk_;
  }
  char DelimiterByte() const { return delim_.empty() ? '\0' : delim_[0]; }
  char QuoteByte() const { return quote_.empty() ? '\0' : quote_[0]; }
  bool Blocks() const { return blocks_; }

 private:
  static bool At(const char* p, const char* end, const std::string& mark) {
    size_t n = mark.size();
    if (n == 1) return p < end && *p == mark[0];
    return n != 0 && static_cast<size_t>(end - p) >= n && std::memcmp(p, mark.data(), n) == 0;
  }
  bool TripleQuote(const char* p, const char* end) const {
    size_t q = quote_.size();
    return At(p, end, quote_) && At(p + q, end, quote_) && At(p + 2 * q, end, quote_);
  }
  // Steps over the quote at p: three in a row are one literal quote and change nothing,
  // any other quote opens or closes a quoted section.
  const char* PassQuote(const char* p, const char* end, ScanState& st) const {
    if (TripleQuote(p, end)) return p + 3 * quote_.size();
    st.inQuote = !st.inQuote;
    return p + quote_.size();
  }
  const char* FindPlain(const char* p, const char* end, bool complete, const char** resume) const;

  std::string delim_, quote_, open_, close_;
  bool quoting_;
  bool blocks_;
  bool charWalk_;  // a mark may begin with a byte that can stand inside a character
  size_t lookahead_;
  uint8_t outside_[256] = {};  // first bytes of the marks that matter outside quotes
  char outsideBytes_[4] = {};  // the same as a list, for the vector search
  int outsideCount_ = 0;
};

}  // namespace ryn
