// Function declarations: what a function listener offers (names, titles, parameters and
// result types). The parser checks calls against them and the formula editor lists them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "expr/common_data.h"

namespace ryn {

class TSyntaxFunctionParam : public TObject {
 public:
  std::string Name;
  std::string Title;
  int32_t ParamType = kDataVoid;
  // An empty argument is allowed and passes a null value of ParamType.
  bool Optional = false;
  // A string argument written as a bare run of identifier characters, not an expression.
  bool BareText = false;
  // For an index: the highest one a number written here may name (a field of a port whose
  // fields are known); unset, any. A computed index only its callee can judge at run time.
  std::optional<int32_t> LastIndex;
};

class TSyntaxFunction : public TObject {
 public:
  TSyntaxFunction(std::string name, std::string title) : Name(std::move(name)), Title(std::move(title)) {}

  std::string Name;  // as declared; lookups ignore case
  std::string Title;
  std::string Description;
  int32_t ResultType = kDataVoid;
  // Further arguments of the last parameter's type may follow the declared ones.
  bool Variadic = false;

  // Appends a parameter; returns this declaration so that parameters can be chained.
  TSyntaxFunction& AddParam(std::string name, std::string title, bool bareText, bool optional, int32_t type);
  int Count() const { return static_cast<int>(ParamList.size()); }
  // Null outside 0 <= index < Count().
  const TSyntaxFunctionParam* Params(int index) const;
  TSyntaxFunctionParam* Params(int index) {
    return const_cast<TSyntaxFunctionParam*>(std::as_const(*this).Params(index));
  }

 private:
  std::vector<std::unique_ptr<TSyntaxFunctionParam>> ParamList;
};

// The ordered declarations of one listener with a name index of 256 buckets. Every path
// that adds or takes out a declaration goes through Notify, so the index never holds a
// declaration the list no longer owns.
class TSyntaxFunctions : public TObject {
 public:
  TSyntaxFunctions() = default;
  TSyntaxFunctions(const TSyntaxFunctions&) = delete;
  TSyntaxFunctions& operator=(const TSyntaxFunctions&) = delete;

  // Appends a declaration (not variadic, result void) and returns it.
  TSyntaxFunction& Add(std::string name, std::string title);
  int Count() const { return static_cast<int>(items_.size()); }
  TSyntaxFunction* Items(int index) const;  // null outside 0 <= index < Count()
  int IndexOf(const TSyntaxFunction* item) const;  // -1 when not in the list
  // The first declaration whose name equals name ignoring case; null when none.
  TSyntaxFunction* Find(std::string_view name) const;
  // Removes and frees the declaration at index; false outside the list.
  bool Delete(int index);
  // Removes the declaration and hands it to the caller; null when not in the list.
  std::unique_ptr<TSyntaxFunction> Extract(TSyntaxFunction* item);
  void Clear();

 private:
  enum class Change { kAdded, kRemoved };
  void Notify(TSyntaxFunction* item, Change change);
  static size_t Bucket(std::string_view upperName);

  std::vector<std::unique_ptr<TSyntaxFunction>> items_;
  // Upper-cased name at the time of adding, and the declaration.
  std::array<std::vector<std::pair<std::string, TSyntaxFunction*>>, 256> index_;
};

}  // namespace ryn
