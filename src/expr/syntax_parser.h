// TSyntaxParser reads one formula, checks it and, in the same pass, either computes its
// value directly or compiles it into a TNiporlan for repeated evaluation. Failures are a
// numbered code with the position of the character at which reading stopped, never an
// exception. One parser serves one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/common_data.h"
#include "expr/niporlan.h"
#include "expr/niporlan_parser.h"
#include "expr/syntax_listener.h"

namespace ryn {

class TSyntaxParser : public TObject {
 public:
  // What the statement must be.
  static constexpr int kModeCondition = 0;   // an expression giving a bool
  static constexpr int kModeAssignment = 1;  // cell "=" expression
  static constexpr int kModeValue = 2;       // an expression of any type

  TSyntaxParser();
  ~TSyntaxParser() override;
  TSyntaxParser(const TSyntaxParser&) = delete;
  TSyntaxParser& operator=(const TSyntaxParser&) = delete;

  // Each answers the code of the call (0 = success) and copies the value, as far as it was
  // computed, into result. An empty formula is true as a condition and void otherwise.
  int32_t CheckCondition(std::string_view formula, TCommonData& result);
  // An int result also stands as a double in FloatValue (DataType stays int).
  int32_t Calculate(std::string_view formula, TCommonData& result);
  // "cell = expression": the value goes to the cell through the cell providers unless
  // only checking.
  int32_t CheckAssignment(std::string_view formula, TCommonData& result);

  // The formula compiled by the last call in compile mode; the caller owns it from now
  // on. Null when there is none.
  std::unique_ptr<TNiporlan> TakeCompiled();

  // Run a compiled formula with this parser's listeners and cell providers; failures
  // raise ENiporlanError. An empty formula is the double 0, or true as a condition.
  void EvaluateValue(const TNiporlan& formula, TCommonData& result) { niporlan_.EvaluateValue(formula, result); }
  bool EvaluateCondition(const TNiporlan& formula) { return niporlan_.EvaluateCondition(formula); }
  TNiporlanParser& Niporlan() { return niporlan_; }

  // The message for code: the first non-empty answer of the parser's function listeners,
  // the global listeners and the cell providers, else the fixed table.
  std::string ErrorText(int32_t code);
  // For the last call: message, CR LF, the formula text, CR LF, and a line with "!" under
  // the character at which parsing stopped.
  std::string LastErrorText();
  // The message alone.
  std::string LastErrorMessage();
  // The 0-based byte offset in formula, the text the last call was given, of the character
  // at which parsing stopped (formula's size when it stopped at the end).
  size_t ErrorOffsetIn(std::string_view formula) const;
  int32_t LastError() const { return code_; }
  int32_t ErrorPosition() const { return errorPos_; }  // 1-based, in FormulaText()
  const std::string& FormulaText() const { return shownText_; }

  void AddFunctionListener(const IntfPtr<ISyntaxFunctionListener>& listener);
  const SyntaxListenerList& FunctionListeners() const { return listeners_; }
  // The listener that supplies name: the first global listener that has it, else the
  // first of this parser's own; null when none has it. global tells which it was.
  ISyntaxFunctionListener* FindListener(std::string_view name, bool* global = nullptr) const;
  void AddCellProvider(const IntfPtr<ISyntaxCellProvider>& provider);
  // Asks the cell providers for cell.Value (none when cells are disabled); false when no
  // provider knows the cell.
  bool FetchCellValue(TSyntaxCell& cell);
  // Hands cell.Value to the first provider that knows the cell; false when none does.
  bool StoreCellValue(const TSyntaxCell& cell);
  // Called once after every successful call.
  void AddFinishNotifier(std::function<void()> notifier);

  // Functions are asked only for their result type, not their value.
  void SetCheckOnly(bool on) { checkOnly_ = on; }
  bool CheckOnly() const { return checkOnly_; }
  void SetCellsEnabled(bool on) { cellsEnabled_ = on; }
  bool CellsEnabled() const { return cellsEnabled_; }
  // Trailing "{rows}{cols}" lists allowed.
  void SetRangesEnabled(bool on) { rangesEnabled_ = on; }
  bool RangesEnabled() const { return rangesEnabled_; }
  void SetCompile(bool on) { compile_ = on; }
  bool Compile() const { return compile_; }
  // Build a Chinese reading of the formula, read back with Description().
  void SetDescribe(bool on) { describe_ = on; }
  bool Describe() const { return describe_; }
  const std::string& Description() const { return description_; }

 private:
  class PoolScope;
  class Quiet;
  struct CellItemsSeen;

  // Parse, with whatever escapes it (memory running out) turned into a code.
  int32_t Run(std::string_view formula, int mode, TCommonData& result);
  int32_t Parse(std::string_view formula, int mode, TCommonData& result);

  // Formula, brace section and statements (syntax_parser.cpp, syntax_parser_statement.cpp).
  bool Formula(TCommonData& result);
  bool BraceLists(size_t brace);
  bool BraceList(std::vector<int32_t>& list);
  bool Statement(const std::string& text, TCommonData& result);
  bool IfStatement(const std::string& text, TCommonData& result);
  bool Part(const std::string& text, int mode, TSyntaxData& out);
  bool Assignment(TSyntaxData& v);

  // Grammar (syntax_parser_expr.cpp).
  bool Expression(TSyntaxData& v);
  bool AndTerm(TSyntaxData& v);
  bool Relation(TSyntaxData& v);
  bool Sum(TSyntaxData& v);
  bool Term(TSyntaxData& v);
  bool Factor(TSyntaxData& v);
  bool IdentifierFactor(TSyntaxData& v);
  bool NumberLiteral(TSyntaxData& v);
  bool StringLiteral(TSyntaxData& v);
  bool Binary(int32_t op, TSyntaxData& left, const TSyntaxData& right);
  bool IntExpression(int32_t& out, bool sumOnly);

  // Function calls (syntax_parser_call.cpp).
  bool FunctionCall(const std::string& name, TSyntaxData& v);
  bool Argument(const TSyntaxFunctionParam* param, TSyntaxData& arg);
  // False (failing at start) when the argument read from start is a number beyond last.
  bool IndexWithin(int32_t last, size_t start, const TCommonData& arg);
  bool PercentCall(TSyntaxData& v);

  // Cell references (syntax_parser_cell.cpp).
  bool CellSyntax(TSyntaxCell& cell);
  bool CellAfterIdentifier(std::string name, TSyntaxCell& cell);
  bool BracketCell(TSyntaxCell& cell);
  bool CellItem(TSyntaxCell& cell, CellItemsSeen& seen);
  bool CellPeriod(TSyntaxCell& cell, CellItemsSeen& seen, int32_t kind, bool hasCount, int32_t count);
  bool CellDimension(TSyntaxCell& cell, const std::string& name);
  bool SignedInt(int32_t& out);
  bool UnitSuffix(TSyntaxCell& cell);
  bool CellOperand(TSyntaxCell& first, TSyntaxData& v);
  bool CellRange(const TSyntaxCell& a, const TSyntaxCell& b, TSyntaxData& v);
  bool ResolveCell(TSyntaxCell& cell);
  std::string CellReading(const TSyntaxCell& cell);

  // Scanning the working text.
  void SetText(const std::string& text);
  void Seek(size_t pos);
  void Next() { Seek(pos_ + chLen_); }
  bool AtEnd() const { return pos_ > text_.size(); }
  unsigned char ByteAfter(size_t n = 1) const;  // the byte n bytes past the current one
  void SkipSpaces();
  bool AtKeyword(std::string_view word) const;
  std::string ReadIdentifier();

  bool Fail(int32_t code) { return FailAt(code, pos_); }
  bool FailAt(int32_t code, size_t pos);
  TSyntaxData& Take();
  bool Checking() const { return checkOnly_ || branchCheck_; }

  // Compile and describe output; both are silent while reading brace lists and the row
  // and column of a cell.
  void Emit(std::unique_ptr<TNiporlanItem> item);
  void EmitOp(int32_t op) { Emit(std::make_unique<TNiporlanItem>(op)); }
  void Say(std::string_view text);

  SyntaxListenerList listeners_;
  std::vector<IntfPtr<ISyntaxCellProvider>> providers_;
  std::vector<std::function<void()>> notifiers_;

  bool checkOnly_ = false;
  bool cellsEnabled_ = true;
  bool rangesEnabled_ = true;
  bool compile_ = false;
  bool describe_ = false;

  std::unique_ptr<TNiporlan> compiled_;
  int mode_ = kModeValue;
  int target_ = 1;            // list of compiled_ receiving items: 0 condition, 1 THEN, 2 ELSE
  bool branchCheck_ = false;  // inside the IF branch that is not taken

  std::string text_;  // the text being read
  size_t pos_ = 0;    // 1-based position of the current character; 0 before the first
  unsigned char ch_ = 0;
  size_t chLen_ = 1;
  int depth_ = 0;
  int quiet_ = 0;

  int32_t code_ = 0;
  int32_t errorPos_ = 0;
  std::string shownText_;  // the text errorPos_ refers to
  bool shownPlain_ = false;  // shownText_ is the plain text, not the working text
  std::string errorDetail_;  // the message of code_ when it names values of the formula

  TNiporlanParser niporlan_{*this};

  std::vector<int32_t> rows_;
  std::vector<int32_t> cols_;
  std::vector<std::unique_ptr<TSyntaxData>> pool_;
  size_t poolUsed_ = 0;
  std::string description_;
};

}  // namespace ryn
