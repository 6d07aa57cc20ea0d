// Function calls: the listener is looked up by name, each argument is read and checked
// against its declared parameter, and the listener computes the result (or, when only
// checking, its type).
#include "expr/function_args.h"
#include "expr/syntax_errors.h"
#include "expr/syntax_operators.h"
#include "expr/syntax_parser.h"
#include "expr/syntax_parser_internal.h"
#include "expr/syntax_text.h"
#include "platform/text.h"

namespace ryn {
namespace {

bool IsPercentArgChar(unsigned char c) { return c == '.' || c == '_' || IsDigit(c) || (c >= 'A' && c <= 'Z'); }

}  // namespace

// Only a number written out is judged: what an expression computes while checking is no
// value it will have when the formula runs.
bool TSyntaxParser::IndexWithin(int32_t last, size_t start, const TCommonData& arg) {
  std::string_view written = TrimBlanks(std::string_view(text_).substr(start - 1, pos_ - start));
  if (written.empty() || written.find_first_not_of("0123456789.") != std::string_view::npos) return true;
  const int32_t index = IntArg(arg);
  if (index <= last) return true;
  FailAt(kErrIndexOutOfRange, start);
  errorDetail_ = IndexOutOfRangeMessage(index, last);
  return false;
}

// The global listeners come first, so a program-wide function cannot be shadowed by a
// parser's own.
ISyntaxFunctionListener* TSyntaxParser::FindListener(std::string_view name, bool* global) const {
  if (global) *global = true;
  for (const auto& l : GlobalSyntaxListeners())
    if (l->HasFunction(name)) return l.get();
  if (global) *global = false;
  for (const auto& l : listeners_)
    if (l->HasFunction(name)) return l.get();
  return nullptr;
}

bool TSyntaxParser::FunctionCall(const std::string& name, TSyntaxData& v) {
  ISyntaxFunctionListener* listener = FindListener(name);
  TSyntaxFunction* f = listener ? listener->FindFunction(name) : nullptr;
  if (!f) return Fail(kErrNoFunction);
  // Keep the listener alive even if a nested call unregisters it.
  IntfPtr<ISyntaxFunctionListener> keep(listener);
  Say(f->Title.empty() ? f->Name : f->Title);
  Say("(");
  Next();
  SkipSpaces();

  PoolScope scope(*this);
  std::vector<const TCommonData*> args;
  const int declared = f->Count();
  for (int i = 0;; ++i) {
    const TSyntaxFunctionParam* param = nullptr;
    if (i < declared) {
      param = f->Params(i);
    } else if (f->Variadic && (ch_ == ',' || (i == 0 && ch_ != ')'))) {
      param = declared > 0 ? f->Params(declared - 1) : nullptr;
    } else {
      break;
    }
    if (i > 0) {
      if (ch_ == ',') {
        Say(",");
        Next();
        SkipSpaces();
      } else if (ch_ != ')') {
        return Fail(kErrNoRightParen);
      }
    }
    TSyntaxData& arg = scope.Take();
    if (!Argument(param, arg)) return false;
    args.push_back(&arg);
    SkipSpaces();
  }
  if (ch_ != ')') return Fail(kErrNoRightParen);
  if (f->Variadic) {
    TCommonData count;
    count.SetInt(static_cast<int32_t>(args.size()));
    Emit(std::make_unique<TNiporlanItem>(count));
  }
  v.SetVoid();
  if (int32_t code = ExecuteListener(*listener, name, args, Checking(), v)) return Fail(code);
  Emit(std::make_unique<TNiporlanItem>(name));
  Say(")");
  Next();
  return true;
}

// One argument, read by its declared type. An empty argument passes a null of the type.
bool TSyntaxParser::Argument(const TSyntaxFunctionParam* param, TSyntaxData& arg) {
  const int32_t type = param ? param->ParamType : kDataVoid;
  if (ch_ == ',' || ch_ == ')' || AtEnd()) {
    if (!param || !param->Optional) return Fail(kErrBadArguments);
    arg.DataType = type;
    arg.IsNull = true;
    arg.Clear();
    Emit(std::make_unique<TNiporlanItem>(arg));
    return true;
  }
  if (param && param->BareText && type == kDataString) {
    std::string text;
    while (!AtEnd() && IsIdentChar(ch_)) {
      text.append(text_, pos_ - 1, chLen_);
      Next();
    }
    arg.SetString(text);
    Emit(std::make_unique<TNiporlanItem>(arg));
    Say(text);
    return true;
  }
  const size_t start = pos_;
  if (!Expression(arg)) return false;
  switch (type) {
    case kDataInt:
    case kDataDouble: {
      TCommonData one;
      one.SetInt(1);
      if (ApplyBinaryOperator(kOpMultiply, arg, one) != 0) return Fail(kErrNeedNumber);
      return !param || !param->LastIndex || IndexWithin(*param->LastIndex, start, arg);
    }
    case kDataString: return arg.DataType == kDataString || Fail(kErrNeedString);
    case kDataBool: {
      TCommonData no;
      no.SetBool(false);
      if (ApplyBinaryOperator(kOpOr, arg, no) != 0) return Fail(kErrNeedBool);
      return true;
    }
    case kDataDate: return arg.DataType == kDataDate || Fail(kErrNeedDate);
    default: return true;
  }
}

// "%" and a run of ".0-9A-Z_": the one-parameter function named "%" of the first listener
// that has one, given the run as a string.
bool TSyntaxParser::PercentCall(TSyntaxData& v) {
  ISyntaxFunctionListener* listener = FindListener("%");
  TSyntaxFunction* f = listener ? listener->FindFunction("%") : nullptr;
  if (!f) return Fail(kErrUnknownSyntax);
  if (f->Count() != 1) return Fail(kErrBadArguments);
  IntfPtr<ISyntaxFunctionListener> keep(listener);
  Next();
  size_t start = pos_;
  while (!AtEnd() && IsPercentArgChar(ch_)) Next();
  PoolScope scope(*this);
  TSyntaxData& arg = scope.Take();
  arg.SetString(text_.substr(start - 1, pos_ - start));
  Emit(std::make_unique<TNiporlanItem>(arg));
  const TCommonData* args[] = {&arg};
  v.SetVoid();
  if (int32_t code = ExecuteListener(*listener, "%", args, Checking(), v)) return Fail(code);
  Emit(std::make_unique<TNiporlanItem>(std::string("%")));
  Say(f->Title.empty() ? f->Name : f->Title);
  Say("(" + arg.StrValue + ")");
  return true;
}

}  // namespace ryn
