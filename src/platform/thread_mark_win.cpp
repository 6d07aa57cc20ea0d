// Thread marks on Windows: a fiber-local slot whose callback runs when the thread ends
// (every thread is one fiber unless it makes more), marking its end.
#include "platform/thread_mark.h"

#include <utility>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace ryn {
namespace {

using Mark = std::shared_ptr<std::atomic<bool>>;

// A raw pointer, as on POSIX systems: a thread_local object with a destructor would run
// that destructor in every thread's end for the life of the process, also after unload.
thread_local Mark* tMark = nullptr;

void WINAPI EndMark(void* value) {
  if (!value) return;
  auto* mark = static_cast<Mark*>(value);
  (*mark)->store(true, std::memory_order_release);
  if (tMark == mark) tMark = nullptr;
  delete mark;
}

struct Slot {
  DWORD index = FlsAlloc(&EndMark);
  bool made = index != FLS_OUT_OF_INDEXES;
  // At unload the slot goes; the system then runs the callback for the values still set,
  // so no thread is left to run code of an unmapped module.
  ~Slot() {
    if (made) {
      FlsSetValue(index, nullptr);
      delete std::exchange(tMark, nullptr);
      FlsFree(index);
    }
    made = false;
  }
};

Slot& TheSlot() {
  static Slot slot;
  return slot;
}

}  // namespace

ThreadMark ThisThreadMark() {
  if (!tMark) {
    tMark = new Mark(std::make_shared<std::atomic<bool>>(false));
    if (Slot& s = TheSlot(); s.made) FlsSetValue(s.index, tMark);
  }
  return *tMark;
}

}  // namespace ryn
