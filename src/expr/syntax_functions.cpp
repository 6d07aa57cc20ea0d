#include "expr/syntax_functions.h"

#include <algorithm>

#include "expr/syntax_listener.h"
#include "platform/text.h"

namespace ryn {

TSyntaxFunction& TSyntaxFunction::AddParam(std::string name, std::string title, bool bareText, bool optional,
                                           int32_t type) {
  auto p = std::make_unique<TSyntaxFunctionParam>();
  p->Name = std::move(name);
  p->Title = std::move(title);
  p->BareText = bareText;
  p->Optional = optional;
  p->ParamType = type;
  ParamList.push_back(std::move(p));
  return *this;
}

const TSyntaxFunctionParam* TSyntaxFunction::Params(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return ParamList[static_cast<size_t>(index)].get();
}

TSyntaxFunction& TSyntaxFunctions::Add(std::string name, std::string title) {
  items_.push_back(std::make_unique<TSyntaxFunction>(std::move(name), std::move(title)));
  TSyntaxFunction* f = items_.back().get();
  Notify(f, Change::kAdded);
  return *f;
}

TSyntaxFunction* TSyntaxFunctions::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

int TSyntaxFunctions::IndexOf(const TSyntaxFunction* item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

TSyntaxFunction* TSyntaxFunctions::Find(std::string_view name) const {
  // Formulas call functions by short ASCII names, once per record: fold those on the stack
  // rather than through a string.
  char folded[32];
  std::string longKey;
  std::string_view key;
  if (name.size() <= sizeof folded &&
      std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::transform(name.begin(), name.end(), folded,
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    key = std::string_view(folded, name.size());
  } else {
    longKey = AsciiUpper(name);
    key = longKey;
  }
  for (const auto& [k, f] : index_[Bucket(key)])
    if (k == key) return f;
  return nullptr;
}

bool TSyntaxFunctions::Delete(int index) {
  std::unique_ptr<TSyntaxFunction> gone = Extract(Items(index));
  return gone != nullptr;
}

std::unique_ptr<TSyntaxFunction> TSyntaxFunctions::Extract(TSyntaxFunction* item) {
  int i = item ? IndexOf(item) : -1;
  if (i < 0) return nullptr;
  std::unique_ptr<TSyntaxFunction> out = std::move(items_[static_cast<size_t>(i)]);
  items_.erase(items_.begin() + i);
  Notify(out.get(), Change::kRemoved);
  return out;
}

void TSyntaxFunctions::Clear() {
  for (auto& bucket : index_) bucket.clear();
  items_.clear();
}

void TSyntaxFunctions::Notify(TSyntaxFunction* item, Change change) {
  NoteSyntaxListenerChange();
  if (change == Change::kAdded) {
    std::string key = AsciiUpper(item->Name);
    index_[Bucket(key)].emplace_back(std::move(key), item);
    return;
  }
  // The name may have been changed since adding, so search every bucket by identity.
  for (auto& bucket : index_) {
    auto it = std::find_if(bucket.begin(), bucket.end(), [item](const auto& e) { return e.second == item; });
    if (it != bucket.end()) {
      bucket.erase(it);
      return;
    }
  }
}

size_t TSyntaxFunctions::Bucket(std::string_view upperName) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (char c : upperName) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return (h ^ (h >> 8) ^ (h >> 16) ^ (h >> 24)) & 0xFF;
}

}  // namespace ryn
