#include "platform/thread_mark.h"

#include <pthread.h>

#include <utility>

namespace ryn {
namespace {

using Mark = std::shared_ptr<std::atomic<bool>>;

// A raw pointer, not a thread_local object with a destructor (that would keep the module
// loaded until every thread that used it ended); a key destructor tells the thread's end.
thread_local Mark* tMark = nullptr;

void EndMark(void* value) {
  auto* mark = static_cast<Mark*>(value);
  (*mark)->store(true, std::memory_order_release);
  if (tMark == mark) tMark = nullptr;
  delete mark;
}

struct Key {
  pthread_key_t key{};
  bool made = pthread_key_create(&key, &EndMark) == 0;
  // At unload: no thread may run the destructor of an unmapped module afterwards. The
  // marks of threads still running stay behind, and never end: their wizards stay theirs.
  // The unloading (or exiting) thread's own mark goes: its key destructor will not run.
  ~Key() {
    if (made) pthread_key_delete(key);
    made = false;
    delete std::exchange(tMark, nullptr);
  }
};

Key& TheKey() {
  static Key key;
  return key;
}

}  // namespace

ThreadMark ThisThreadMark() {
  if (!tMark) {
    tMark = new Mark(std::make_shared<std::atomic<bool>>(false));
    if (Key& k = TheKey(); k.made) pthread_setspecific(k.key, tMark);
  }
  return *tMark;
}

}  // namespace ryn
