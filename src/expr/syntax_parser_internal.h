// Pieces shared by the source files of TSyntaxParser; not for other users.
#pragma once

#include "expr/syntax_parser.h"

namespace ryn {

// Row and column lists of the brace section hold at most this many entries each, and a
// range of cells ("a & b") spans at most this many cells.
constexpr size_t kMaxListEntries = 10000;
// Cell and table names.
constexpr size_t kMaxNameLength = 200;
// Nested factors ("NOT NOT ...", "[[[...", calls within calls): beyond this the formula is
// refused rather than exhausting the stack.
constexpr int kMaxNesting = 100;

// Value records taken inside a scope go back to the pool when it ends, in reverse order
// of taking, so the pool works as a stack and is never freed during a parse.
class TSyntaxParser::PoolScope {
 public:
  explicit PoolScope(TSyntaxParser& parser) : parser_(parser), mark_(parser.poolUsed_) {}
  ~PoolScope() { parser_.poolUsed_ = mark_; }
  PoolScope(const PoolScope&) = delete;
  PoolScope& operator=(const PoolScope&) = delete;
  TSyntaxData& Take() { return parser_.Take(); }

 private:
  TSyntaxParser& parser_;
  size_t mark_;
};

// Silences compile and describe output for its lifetime.
class TSyntaxParser::Quiet {
 public:
  explicit Quiet(TSyntaxParser& parser) : parser_(parser) { ++parser_.quiet_; }
  ~Quiet() { --parser_.quiet_; }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  TSyntaxParser& parser_;
};

struct TSyntaxParser::CellItemsSeen {
  bool condition = false;
  bool period = false;
  bool offset = false;
  bool stat = false;
};

}  // namespace ryn
