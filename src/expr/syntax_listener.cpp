#include "expr/syntax_listener.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "expr/syntax_errors.h"
#include "expr/text_limits.h"
#include "platform/text.h"

namespace ryn {

TSyntaxFunction* TCustomSyntaxFunctionListener::FindFunction(std::string_view name) { return functions_.Find(name); }

int32_t TCustomSyntaxFunctionListener::Execute(std::string_view, std::span<const TCommonData* const>, bool,
                                               TCommonData&) {
  return 0;
}

std::string TCustomSyntaxFunctionListener::GetErrorText(int32_t) { return {}; }

int32_t ExecuteListener(ISyntaxFunctionListener& listener, std::string_view name,
                        std::span<const TCommonData* const> args, bool check, TCommonData& result) {
  int32_t code = 0;
  try {
    code = listener.Execute(name, args, check, result);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  } catch (...) {
    return kErrBadArguments;
  }
  if (code == 0 && result.DataType == kDataString && result.StrValue.size() > kMaxFormulaText) return kErrBadArguments;
  return code;
}

namespace {

std::atomic<uint64_t> gGeneration{1};

SyntaxListenerList& Listeners() {
  static SyntaxListenerList list;
  return list;
}

}  // namespace

uint64_t SyntaxListenerGeneration() { return gGeneration.load(std::memory_order_relaxed); }

void NoteSyntaxListenerChange() { gGeneration.fetch_add(1, std::memory_order_relaxed); }

const SyntaxListenerList& GlobalSyntaxListeners() { return Listeners(); }

void RegisterSyntaxListener(const IntfPtr<ISyntaxFunctionListener>& listener) {
  if (!listener) return;
  SyntaxListenerList& list = Listeners();
  if (std::find(list.begin(), list.end(), listener) == list.end()) list.push_back(listener);
  NoteSyntaxListenerChange();
}

void UnregisterSyntaxListener(const IntfPtr<ISyntaxFunctionListener>& listener) {
  SyntaxListenerList& list = Listeners();
  list.erase(std::remove(list.begin(), list.end(), listener), list.end());
  NoteSyntaxListenerChange();
}

}  // namespace ryn
