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
  bool Blocks() const { return blocks_; }

 private:
  bool At(const char* p, const char* end, const std::string& mark) const {
    return !mark.empty() && static_cast<size_t>(end - p) >= mark.size() && std::memcmp(p, mark.data(), mark.size()) == 0;
  }
  bool TripleQuote(const char* p, const char* end) const {
    size_t q = quote_.size();
    return At(p, end, quote_) && At(p + q, end, quote_) && At(p + 2 * q, end, quote_);
  }
  const char* FindPlain(const char* p, const char* end, bool complete, const char** resume) const;

  std::string delim_, quote_, open_, close_;
  bool quoting_;
  bool blocks_;
  bool charWalk_;  // a mark may begin with a byte that can stand inside a character
  size_t lookahead_;
  uint8_t outside_[256] = {};  // first bytes of the marks that matter outside quotes
};

}  // namespace ryn
