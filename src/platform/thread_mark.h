// A mark of the calling thread, for windows that belong to the thread that opened them:
// no other thread ever gets an equal mark (thread ids are reused), and a mark tells when
// its thread has ended. Each library that links this has marks of its own.
#pragma once

#include <atomic>
#include <memory>

namespace ryn {

// Holds true once the thread has ended.
using ThreadMark = std::shared_ptr<const std::atomic<bool>>;

ThreadMark ThisThreadMark();

}  // namespace ryn
