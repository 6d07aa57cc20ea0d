// Engine handles churned by several threads for a fixed time, as a host running racing
// transfers might: created, used, ended by whichever thread gets there first, while the
// same slots are handed out again. Meant for the AddressSanitizer and ThreadSanitizer
// builds, where a call that reached a finished or reused engine shows as a fault; here an
// answer that neither a live nor an ended handle may give counts as a failure.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "rynfiler.h"

namespace ryn::testing {

// How long a stress runs: RYN_STRESS_MS from the build (longer under the sanitizers),
// or RYNFILER_STRESS_SECONDS from the environment for a longer hunt.
inline std::chrono::milliseconds StressBudget() {
  if (const char* s = std::getenv("RYNFILER_STRESS_SECONDS")) return std::chrono::seconds(std::atoll(s));
#ifdef RYN_STRESS_MS
  return std::chrono::milliseconds(RYN_STRESS_MS);
#else
  return std::chrono::milliseconds(2000);
#endif
}

struct ChurnApi {
  std::function<RynHandle()> create;   // a new handle, 0 when none was made
  std::function<void(RynHandle)> end;  // EngineFina or EngineAbandon
  // Calls on h by the thread that made it (engines are not serialized: no other thread
  // works through h, though any may end it); answers what was wrong, or an empty text.
  std::function<std::string(RynHandle h, uint32_t dice)> use;
  // A call on another thread's handle that must fail without touching its engine: of the
  // wrong kind for a live handle, any call for an ended one.
  std::function<std::string(RynHandle h, bool ended)> probe;
};

struct ChurnResult {
  long rounds = 0;
  long failures = 0;
  std::string first;
};

inline ChurnResult Churn(const ChurnApi& api, std::chrono::milliseconds budget, int threads = 4) {
  constexpr size_t kOwn = 2;  // each thread's published handles: few, so slots are reused all the time
  std::vector<std::atomic<RynHandle>> pool(static_cast<size_t>(threads) * kOwn);
  std::atomic<long> rounds{0}, failures{0};
  std::mutex firstMutex;
  std::string first;
  const auto deadline = std::chrono::steady_clock::now() + budget;
  auto body = [&](int t) {
    std::minstd_rand dice(static_cast<uint32_t>(t) * 7919u + 1);
    auto check = [&](const std::string& wrong) {
      if (wrong.empty()) return;
      if (failures.fetch_add(1) == 0) {
        std::lock_guard<std::mutex> lock(firstMutex);
        first = wrong;
      }
    };
    RynHandle ended = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto d = static_cast<uint32_t>(dice());
      std::atomic<RynHandle>& slot = pool[static_cast<size_t>(t) * kOwn + d % kOwn];
      RynHandle mine = api.create();
      if (!mine) check("no handle made");
      // Published: other threads may end it while this one works through it.
      if (RynHandle old = slot.exchange(mine)) {
        api.end(old);
        ended = old;
      }
      for (int i = 0; i < 3; ++i) check(api.use(pool[static_cast<size_t>(t) * kOwn + (d >> (4 + i)) % kOwn].load(),
                                               static_cast<uint32_t>(dice())));
      const RynHandle other = pool[(d >> 8) % pool.size()].load();
      if (d % 3 == 0) api.end(other);  // may be inside a call of its owner, or being ended too
      else if (other && (d >> 8) % pool.size() / kOwn != static_cast<size_t>(t)) check(api.probe(other, false));
      if (ended) check(api.probe(ended, true));
      rounds.fetch_add(1, std::memory_order_relaxed);
    }
  };
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t) running.emplace_back(body, t);
  for (auto& th : running) th.join();
  for (auto& slot : pool)
    if (RynHandle h = slot.exchange(0)) api.end(h);
  return {rounds.load(), failures.load(), first};
}

}  // namespace ryn::testing
