#include "expr/syntax_parser.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "expr/syntax_errors.h"
#include "expr/syntax_parser_internal.h"
#include "expr/syntax_text.h"
#include "platform/codepage.h"

namespace ryn {

TSyntaxParser::TSyntaxParser() = default;
TSyntaxParser::~TSyntaxParser() = default;

int32_t TSyntaxParser::CheckCondition(std::string_view formula, TCommonData& result) {
  return Run(formula, kModeCondition, result);
}

int32_t TSyntaxParser::Calculate(std::string_view formula, TCommonData& result) {
  int32_t code = Run(formula, kModeValue, result);
  if (result.DataType == kDataInt) result.FloatValue = result.IntValue;
  return code;
}

int32_t TSyntaxParser::CheckAssignment(std::string_view formula, TCommonData& result) {
  return Run(formula, kModeAssignment, result);
}

std::unique_ptr<TNiporlan> TSyntaxParser::TakeCompiled() { return std::move(compiled_); }

void TSyntaxParser::AddFunctionListener(const IntfPtr<ISyntaxFunctionListener>& listener) {
  if (listener) listeners_.push_back(listener);
  NoteSyntaxListenerChange();
}

void TSyntaxParser::AddCellProvider(const IntfPtr<ISyntaxCellProvider>& provider) {
  if (provider) providers_.push_back(provider);
}

void TSyntaxParser::AddFinishNotifier(std::function<void()> notifier) {
  if (notifier) notifiers_.push_back(std::move(notifier));
}

std::string TSyntaxParser::ErrorText(int32_t code) {
  for (const auto& l : listeners_)
    if (std::string s = l->GetErrorText(code); !s.empty()) return s;
  for (const auto& l : GlobalSyntaxListeners())
    if (std::string s = l->GetErrorText(code); !s.empty()) return s;
  for (const auto& p : providers_)
    if (std::string s = p->GetErrorText(code); !s.empty()) return s;
  if (std::string s = SyntaxErrorMessage(code); !s.empty()) return s;
  return UndefinedErrorMessage();
}

std::string TSyntaxParser::LastErrorMessage() { return errorDetail_.empty() ? ErrorText(code_) : errorDetail_; }

size_t TSyntaxParser::ErrorOffsetIn(std::string_view formula) const {
  return OffsetInFormula(formula, static_cast<size_t>(std::max(errorPos_ - 1, 0)), !shownPlain_);
}

std::string TSyntaxParser::LastErrorText() {
  std::string s = LastErrorMessage();
  s += "\r\n";
  s += shownText_;
  s += "\r\n";
  s.append(static_cast<size_t>(std::max(errorPos_ - 1, 0)), ' ');
  s += '!';
  return s;
}

int32_t TSyntaxParser::Run(std::string_view formula, int mode, TCommonData& result) {
  int32_t code = 0;
  try {
    return Parse(formula, mode, result);
  } catch (const std::bad_alloc&) {
    code = kErrOutOfMemory;
  } catch (const std::length_error&) {
    code = kErrOutOfMemory;
  } catch (...) {
    code = kErrUnknownSyntax;
  }
  // Scopes have put the pool and the output flags back; what was compiled is no formula.
  if (compiled_) compiled_->Clear();
  code_ = code;
  errorPos_ = static_cast<int32_t>(pos_);
  errorDetail_.clear();
  shownText_ = text_;
  shownPlain_ = false;
  return code_;
}

int32_t TSyntaxParser::Parse(std::string_view formula, int mode, TCommonData& result) {
  code_ = 0;
  errorPos_ = 0;
  errorDetail_.clear();
  mode_ = mode;
  target_ = 1;
  branchCheck_ = false;
  depth_ = 0;
  quiet_ = 0;
  poolUsed_ = 0;
  rows_.clear();
  cols_.clear();
  description_.clear();
  text_.clear();
  Seek(0);
  if (compile_) {
    if (compiled_) compiled_->Clear();
    else compiled_ = std::make_unique<TNiporlan>();
  }

  NormalizedFormula n = NormalizeFormula(formula);
  shownPlain_ = n.code != 0;
  if (n.code != 0) {
    shownText_ = n.plain;
    code_ = n.code;
    errorPos_ = n.position;
    return code_;
  }
  shownText_ = text_ = n.text;
  if (n.text.empty()) {
    if (mode == kModeCondition) result.SetBool(true);
    else result.SetVoid();
  } else if (!Formula(result)) {
    return code_;
  }
  for (const auto& notify : notifiers_) notify();
  return 0;
}

// The brace section repeats the formula before it over rows and columns: "[*" takes each
// row of the first list, ",*" each column of the second.
bool TSyntaxParser::Formula(TCommonData& result) {
  const std::string whole = text_;
  size_t brace = FindOutsideQuotes(whole, '{');
  if (brace != std::string::npos) {
    if (!rangesEnabled_) return FailAt(kErrBraceMisuse, brace + 1);
    if (!BraceLists(brace)) return false;
  }
  std::string proper = whole.substr(0, brace);
  Wildcards w = rangesEnabled_ ? FindWildcards(proper) : Wildcards{};
  if (w.rows.empty() && w.cols.empty()) {
    // proper is a prefix of whole, so positions hold for either; show the whole formula.
    bool ok = Statement(proper, result);
    shownText_ = text_ = whole;
    return ok;
  }
  shownText_ = text_ = whole;
  if (!w.rows.empty() && rows_.empty()) return FailAt(kErrRangeNeeded, w.rows.front() + 1);
  if (!w.cols.empty() && cols_.empty()) return FailAt(kErrRangeNeeded, w.cols.front() + 1);

  // Every wildcard position in text order, with whether it takes the row.
  std::vector<std::pair<size_t, bool>> stars;
  for (size_t p : w.rows) stars.emplace_back(p, true);
  for (size_t p : w.cols) stars.emplace_back(p, false);
  std::sort(stars.begin(), stars.end());

  const std::vector<int32_t> noList{0};
  const std::vector<int32_t>& rows = w.rows.empty() ? noList : rows_;
  const std::vector<int32_t>& cols = w.cols.empty() ? noList : cols_;
  for (int32_t row : rows) {
    for (int32_t col : cols) {
      std::string text;
      size_t from = 0;
      for (const auto& [p, isRow] : stars) {
        text.append(proper, from, p - from);
        text += std::to_string(isRow ? row : col);
        from = p + 1;
      }
      text.append(proper, from, std::string::npos);
      // Each evaluation stands on its own; what is left is that of the last one.
      if (compiled_ && compile_) compiled_->Clear();
      description_.clear();
      if (!Statement(text, result)) return false;
    }
  }
  return true;
}

bool TSyntaxParser::BraceLists(size_t brace) {
  Quiet quiet(*this);
  Seek(brace + 1);
  if (!BraceList(rows_)) return false;
  SkipSpaces();
  if (AtEnd()) return true;
  if (ch_ != '{') return Fail(kErrRangeNotAtEnd);
  if (!BraceList(cols_)) return false;
  SkipSpaces();
  return AtEnd() || Fail(kErrRangeNotAtEnd);
}

// "{" item { "," item } "}" where an item is an int expression or "a~b".
bool TSyntaxParser::BraceList(std::vector<int32_t>& list) {
  Next();
  for (;;) {
    SkipSpaces();
    size_t itemPos = pos_;
    int32_t first = 0;
    if (!IntExpression(first, false)) return false;
    int32_t last = first;
    SkipSpaces();
    if (ch_ == '~') {
      Next();
      SkipSpaces();
      size_t lastPos = pos_;
      if (!IntExpression(last, false)) return false;
      if (last < first) return FailAt(kErrRangeReversed, lastPos);
    }
    int64_t count = static_cast<int64_t>(last) - first + 1;
    if (static_cast<int64_t>(list.size()) + count > static_cast<int64_t>(kMaxListEntries))
      return FailAt(kErrIntOutOfRange, itemPos);
    for (int64_t x = first; x <= last; ++x) list.push_back(static_cast<int32_t>(x));
    SkipSpaces();
    if (ch_ == ',') {
      Next();
      continue;
    }
    if (ch_ == '}') {
      Next();
      return true;
    }
    return Fail(AtEnd() ? kErrNoRightBrace : kErrBadCharacter);
  }
}

void TSyntaxParser::SetText(const std::string& text) {
  text_ = text;
  Seek(1);
}

void TSyntaxParser::Seek(size_t pos) {
  pos_ = pos;
  chLen_ = 1;
  if (pos_ == 0 || pos_ > text_.size()) {
    ch_ = 0;
    if (pos_ > text_.size()) pos_ = text_.size() + 1;
    return;
  }
  const char* p = text_.data() + (pos_ - 1);
  ch_ = static_cast<unsigned char>(*p);
  chLen_ = ProcessCodePage().CharLength(p, text_.data() + text_.size());
}

unsigned char TSyntaxParser::ByteAfter(size_t n) const {
  size_t i = pos_ - 1 + n;
  return pos_ >= 1 && i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0;
}

void TSyntaxParser::SkipSpaces() {
  while (ch_ == ' ' && !AtEnd()) Next();
}

bool TSyntaxParser::AtKeyword(std::string_view word) const {
  if (AtEnd()) return false;
  size_t offset = pos_ - 1;
  size_t len = IdentifierLength(text_, offset);
  return std::string_view(text_).substr(offset, len) == word;
}

std::string TSyntaxParser::ReadIdentifier() {
  size_t len = IdentifierLength(text_, pos_ - 1);
  std::string name = text_.substr(pos_ - 1, len);
  Seek(pos_ + len);
  return name;
}

bool TSyntaxParser::FailAt(int32_t code, size_t pos) {
  code_ = code;
  errorDetail_.clear();
  errorPos_ = static_cast<int32_t>(pos);
  return false;
}

TSyntaxData& TSyntaxParser::Take() {
  if (poolUsed_ == pool_.size()) pool_.push_back(std::make_unique<TSyntaxData>());
  TSyntaxData& d = *pool_[poolUsed_++];
  d.SetVoid();
  return d;
}

void TSyntaxParser::Emit(std::unique_ptr<TNiporlanItem> item) {
  if (compile_ && quiet_ == 0 && compiled_) compiled_->List(target_).push_back(std::move(item));
}

void TSyntaxParser::Say(std::string_view text) {
  if (describe_ && quiet_ == 0) description_ += text;
}

}  // namespace ryn
