#include "expr/function_signature.h"

#include "platform/codepage.h"

namespace ryn {
namespace {

// A type name followed by the space that separates it from the name after it.
std::string TypePrefix(int32_t type) {
  std::string s(DataTypeName(type));
  return s.empty() ? s : s + ' ';
}

}  // namespace

std::string DeclarationText(const TSyntaxFunction& function) {
  std::string s = TypePrefix(function.ResultType) + function.Name + "(";
  for (int i = 0; i < function.Count(); ++i) {
    const TSyntaxFunctionParam* p = function.Params(i);
    if (i > 0) s += ", ";
    s += TypePrefix(p->ParamType) + p->Name;
  }
  return s + ")";
}

std::string SignatureText(const TSyntaxFunction& function) {
  std::string s = Ansi("说明：") + function.Title + "\r\n";
  s += Ansi("声明: ") + DeclarationText(function) + "\r\n\r\n";
  for (int i = 0; i < function.Count(); ++i) {
    const TSyntaxFunctionParam* p = function.Params(i);
    s += "\r\n" + Ansi("参数 ") + p->Name + ": " + p->Title;
  }
  return s;
}

}  // namespace ryn
