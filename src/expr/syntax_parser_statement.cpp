// Statements: the IF form, whose three parts are read as texts of their own, and the plain
// statement of each mode.
#include "expr/syntax_errors.h"
#include "expr/syntax_parser.h"
#include "expr/syntax_parser_internal.h"
#include "expr/syntax_text.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

bool IsBlank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace

bool TSyntaxParser::Statement(const std::string& text, TCommonData& result) {
  shownText_ = text;
  PoolScope scope(*this);
  if (IdentifierLength(text, 0) == 2 && text.compare(0, 2, "IF") == 0) return IfStatement(text, result);
  TSyntaxData& v = scope.Take();
  bool ok = Part(text, mode_, v);
  result.Assign(v);
  return ok;
}

bool TSyntaxParser::IfStatement(const std::string& text, TCommonData& result) {
  size_t thenAt = FindKeyword(text, "THEN", 2);
  if (thenAt == std::string::npos) return FailAt(kErrNoThen, text.size() + 1);
  size_t elseAt = FindKeyword(text, "ELSE", thenAt + 4);
  bool hasElse = elseAt != std::string::npos;
  std::string cond = text.substr(2, thenAt - 2);
  std::string thenPart = text.substr(thenAt + 4, hasElse ? elseAt - thenAt - 4 : std::string::npos);
  std::string elsePart = hasElse ? text.substr(elseAt + 4) : std::string();
  if (IsBlank(cond)) return FailAt(kErrNeedIfExpr, thenAt + 1);
  if (IsBlank(thenPart)) return FailAt(kErrNeedThenExpr, hasElse ? elseAt + 1 : text.size() + 1);
  if (hasElse && IsBlank(elsePart)) return FailAt(kErrNeedElseExpr, text.size() + 1);

  PoolScope scope(*this);
  TSyntaxData& c = scope.Take();
  TSyntaxData& t = scope.Take();
  TSyntaxData& e = scope.Take();
  const bool outerCheck = branchCheck_;
  // The parts are texts of their own; their positions are moved back into the statement.
  auto partFailed = [&](int32_t offset, const TSyntaxData& partial) {
    branchCheck_ = outerCheck;
    target_ = 1;
    result.Assign(partial);
    errorPos_ += offset;
    shownText_ = text_ = text;
    return false;
  };

  Say(Ansi("如果 "));
  target_ = 0;
  if (!Part(cond, kModeCondition, c)) return partFailed(2, c);
  c.ClearIfNull();
  const bool truth = c.BoolValue;

  Say(Ansi(" 则 "));
  target_ = 1;
  branchCheck_ = outerCheck || !truth;
  if (!Part(thenPart, mode_, t)) return partFailed(static_cast<int32_t>(thenAt + 1 + 3), t);
  if (hasElse) {
    Say(Ansi(" 否则 "));
    target_ = 2;
    branchCheck_ = outerCheck || truth;
    if (!Part(elsePart, mode_, e)) return partFailed(static_cast<int32_t>(elseAt + 1 + 3), e);
  }
  branchCheck_ = outerCheck;
  target_ = 1;
  shownText_ = text_ = text;

  if (truth) result.Assign(t);
  else if (hasElse) result.Assign(e);
  else if (mode_ == kModeCondition) result.SetBool(true);
  else result.SetVoid();
  return true;
}

// One statement of the given mode over the whole of text.
bool TSyntaxParser::Part(const std::string& text, int mode, TSyntaxData& out) {
  SetText(text);
  SkipSpaces();
  if (mode == kModeAssignment) {
    if (!Assignment(out)) return false;
  } else if (!Expression(out)) {
    return false;
  }
  SkipSpaces();
  if (!AtEnd()) return Fail(kErrExtraText);
  if (mode == kModeCondition && out.DataType != kDataBool) return Fail(kErrNeedBool);
  return true;
}

// cell "=" expression. The cell must be known to a provider before anything is stored.
bool TSyntaxParser::Assignment(TSyntaxData& v) {
  PoolScope scope(*this);
  TSyntaxCell& cell = scope.Take().Cell;
  if (!CellSyntax(cell)) return false;
  if (!ResolveCell(cell)) return false;
  Emit(std::make_unique<TNiporlanItem>(cell));
  Say(CellReading(cell));
  SkipSpaces();
  if (ch_ != '=') return Fail(kErrNoEquals);
  Say("=");
  Next();
  if (!Expression(v)) return false;
  SkipSpaces();
  if (!AtEnd()) return Fail(kErrExtraText);
  if (!Checking()) {
    cell.Value.Assign(v);
    if (!StoreCellValue(cell)) return Fail(kErrUnknownSyntax);
  }
  EmitOp(kOpAssign);
  return true;
}

}  // namespace ryn
