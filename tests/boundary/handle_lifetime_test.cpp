// When an engine closes relative to the calls on its handle: racing ends and reuse of
// slots, ends from callbacks nested deep, EngineFina's return as the point the file is
// finished, calls from a thread's own key destructors, and wizards whose opening thread
// is gone.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "boundary/host_support.h"
#include "rynfiler.h"
#include "support/handle_churn.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::ExportOptions;
using testing::NewEngine;
using testing::TempDir;

const auto setText = reinterpret_cast<RynSetText>(FieldGetProc(RYN_DESTINATION, RYN_FT_STRING));
constexpr int32_t kNoFile = 0x10001003;

void Record(RynHandle h, const char* a, const char* b) {
  Append(h);
  setText(h, 0, a, 1);
  setText(h, 1, b, 1);
  Post(h);
}

// Slots freed and handed out again while other threads are inside calls on them or end
// them: under the sanitizers, a call that reached a closed or reused engine is a fault.
TEST(HandleLifetimeTest, ChurnOfHandlesAcrossThreads) {
  TempDir dir;
  std::vector<std::string> options;
  for (int t = 0; t < 4; ++t)
    for (int k = 0; k < 2; ++k) options.push_back(ExportOptions(dir.Path("t" + std::to_string(t * 2 + k) + ".ryn")));
  testing::ChurnApi api;
  api.create = [] {
    RynHandle h = 0;
    return EngineInit(RYN_DESTINATION, &h) == RYN_OK ? h : 0;
  };
  api.end = [](RynHandle h) {
    if (h % 5 == 0) EngineAbandon(h);
    else EngineFina(h);
  };
  api.use = [&](RynHandle h, uint32_t dice) -> std::string {
    switch (dice % 4) {
      case 0: {
        const int32_t r = EngineSetOptions(h, options[(dice >> 4) % options.size()].c_str());
        if (r != 0 && r != kNoFile && r != RYN_E_HANDLE) return "EngineSetOptions " + std::to_string(r);
        break;
      }
      case 1: Record(h, "v", "w"); break;
      case 2: {
        const int32_t e = EngineEstablished(h);
        if (e != 0 && e != 1 && e != RYN_E_HANDLE) return "EngineEstablished " + std::to_string(e);
        break;
      }
      default: {
        const int32_t n = FieldGetCount(h);
        if (n != 0 && n != 2) return "FieldGetCount " + std::to_string(n);
      }
    }
    return "";
  };
  api.probe = [](RynHandle h, bool ended) -> std::string {
    if (ended) {
      const int32_t e = EngineEstablished(h);
      return e == RYN_E_HANDLE ? "" : "an ended handle answered " + std::to_string(e);
    }
    const int32_t r = ConfigIsBOF(h);
    return r == RYN_E_WIZARD_HANDLE ? "" : "an engine handle served as a wizard's: " + std::to_string(r);
  };
  testing::ChurnResult result = testing::Churn(api, testing::StressBudget());
  EXPECT_EQ(result.failures, 0) << result.first;
  EXPECT_GT(result.rounds, 0);
}

// A chain of callbacks, each calling into the library again, the innermost ending another
// engine's handle: however deep the chain, that engine is closed and its file finished.
TEST(HandleLifetimeTest, AHandleEndedFromCallbacksNestedToAnyDepth) {
  struct Chain {
    std::vector<RynHandle> links;
    RynHandle target = 0;
    size_t reached = 0;
    static void RYN_CALL OnMessage(intptr_t user, int32_t, const char*) {
      auto* chain = reinterpret_cast<Chain*>(user);
      if (++chain->reached < chain->links.size()) Append(chain->links[chain->reached]);
      else EngineFina(chain->target);
    }
  };
  for (size_t depth : {1u, 15u, 16u, 17u, 40u}) {
    TempDir dir;
    const std::string path = dir.Path("deep.ryn");
    Chain chain;
    chain.target = NewEngine();
    ASSERT_EQ(EngineSetOptions(chain.target, ExportOptions(path).c_str()), 0);
    Record(chain.target, "x", "y");
    for (size_t i = 0; i < depth; ++i) {
      chain.links.push_back(NewEngine());
      EngineSetEvent(chain.links.back(), reinterpret_cast<intptr_t>(&chain), RYN_EVENT_MESSAGE,
                     reinterpret_cast<void*>(&Chain::OnMessage));
    }
    Append(chain.links[0]);  // no file: message 4134, and down the chain
    EXPECT_EQ(chain.reached, depth);
    EXPECT_EQ(EngineEstablished(chain.target), RYN_E_HANDLE) << depth;
    EXPECT_EQ(TempDir::Read(path), "@\r\nA\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@") << depth;
    for (RynHandle h : chain.links) EngineFina(h);
  }
}

// Another thread is inside a call on the handle (held in a callback) when the host ends
// it: EngineFina and EngineAbandon return only once the engine has closed, so the file is
// in its final state at their return and no callback of the engine comes afterwards.
TEST(HandleLifetimeTest, EndingReturnsOnceTheEngineIsClosed) {
  struct Host {
    std::atomic<bool> inside{false}, release{false}, gone{false};
    std::atomic<int> late{0};
    static void RYN_CALL OnMessage(intptr_t user, int32_t, const char*) {
      auto* host = reinterpret_cast<Host*>(user);
      if (host->gone) ++host->late;
      host->inside = true;
      while (!host->release) std::this_thread::yield();
    }
  };
  struct Case {
    const char* name;
    void (*end)(RynHandle);
    bool kept;  // the file holds the record; otherwise it is gone (the engine created it)
  } cases[] = {
      {"EngineFina", [](RynHandle h) { EngineFina(h); }, true},
      {"EngineAbandon", [](RynHandle h) { EXPECT_EQ(EngineAbandon(h), RYN_OK); }, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir.Path("zero.ryn");
    Host host;
    RynHandle h = NewEngine();
    ASSERT_EQ(EngineSetOptions(h, ExportOptions(path, 0).c_str()), 0);
    Record(h, "x", "y");
    EngineSetEvent(h, reinterpret_cast<intptr_t>(&host), RYN_EVENT_MESSAGE, reinterpret_cast<void*>(&Host::OnMessage));
    std::thread inside([&] { EngineSetOptions(h, "Bogus=1"); });  // an unknown key: a message
    while (!host.inside) std::this_thread::yield();
    std::thread releaser([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      host.release = true;
    });
    c.end(h);
    const bool exists = std::filesystem::exists(path);
    const std::string text = TempDir::Read(path);
    host.gone = true;
    releaser.join();
    inside.join();
    EXPECT_EQ(exists, c.kept) << c.name;
    if (c.kept) {
      EXPECT_EQ(text, "A\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@") << c.name;
    }
    EXPECT_EQ(host.late, 0) << c.name;
    EXPECT_EQ(EngineEstablished(h), RYN_E_HANDLE) << c.name;
  }
}

// A host's own thread-specific data destructor calls in after the library has seen the
// thread end, while a new thread starts: both work on their handles, which the main
// thread ends under them; every file comes out whole.
TEST(HandleLifetimeTest, CallsFromAHostKeyDestructorWhileNewThreadsStart) {
  TempDir dir;
  struct Writer {
    RynHandle h = 0;
    std::string path;
    std::atomic<int> posted{0};
    void Run() {
      for (int i = 0; i < 3000; ++i) {
        Record(h, "v", "w");
        posted.fetch_add(1);
      }
    }
  };
  Writer late, fresh;
  late.path = dir.Path("late.ryn");
  fresh.path = dir.Path("fresh.ryn");
  for (Writer* w : {&late, &fresh}) {
    w->h = NewEngine();
    ASSERT_EQ(EngineSetOptions(w->h, ExportOptions(w->path).c_str()), 0);
  }
  static std::atomic<bool> destructorRunning;
  destructorRunning = false;
  pthread_key_t key;
  ASSERT_EQ(pthread_key_create(&key,
                               [](void* value) {
                                 destructorRunning = true;
                                 static_cast<Writer*>(value)->Run();
                               }),
            0);
  std::thread ending([&] {
    EngineEstablished(late.h);  // the library has seen this thread
    pthread_setspecific(key, &late);
  });
  while (!destructorRunning) std::this_thread::yield();
  std::thread starting([&] { fresh.Run(); });
  while (late.posted < 100 || fresh.posted < 100) std::this_thread::yield();
  EngineFina(late.h);
  EngineFina(fresh.h);
  ending.join();
  starting.join();
  pthread_key_delete(key);
  for (Writer* w : {&late, &fresh}) {
    const std::string text = TempDir::Read(w->path);
    ASSERT_EQ(text.substr(0, 6), "@\r\nA\tB") << w->path;
    ASSERT_EQ(text.substr(text.size() - 4), "\r\n@@") << w->path;
    size_t records = 0;
    for (size_t at = 0; (at = text.find("0001\t2023\tY\t12\tv\tw\r\n", at)) != std::string::npos; ++at) ++records;
    EXPECT_GE(records, 100u) << w->path;
    EXPECT_EQ(text.size(), 8 + records * 20 + 2) << w->path << ": every line whole";
  }
}

// A thread that opens the wizard of engine and stays alive until Release.
class WizardOpener {
 public:
  explicit WizardOpener(RynHandle engine) : thread_([this, engine] {
    EXPECT_EQ(ConfigInit(engine, 0, 1, &config), RYN_OK);
    port = ConfigPort(config);
    step_ = 1;
    while (step_ != 2) std::this_thread::yield();
  }) {
    while (step_ != 1) std::this_thread::yield();
  }
  ~WizardOpener() { Release(); }
  void Release() {
    step_ = 2;
    if (thread_.joinable()) thread_.join();
  }

  RynHandle config = 0;
  RynHandle port = 0;

 private:
  std::atomic<int> step_{0};
  std::thread thread_;
};

// A wizard belongs to the thread that opened it, and a thread started later (which may
// get the ended one's id) is not that thread; once the opener has ended, any thread may
// close the wizard, while another live opener's wizard stays closed to it.
TEST(HandleLifetimeTest, AWizardOutlivesItsOpeningThread) {
  RynHandle h = NewEngine();
  WizardOpener opener(h);
  const RynHandle config = opener.config, port = opener.port;
  ASSERT_NE(port, 0);
  ConfigFina(config);  // the opener is alive: refused
  EXPECT_NE(EngineEstablished(port), RYN_E_HANDLE) << "closed under its living opener";
  opener.Release();
  struct Attempt {
    const char* what;
    int32_t (*call)(RynHandle);
  } attempts[] = {
      {"ConfigIsBOF", &ConfigIsBOF},
      {"ConfigIsEOF", &ConfigIsEOF},
      {"ConfigCheckSucceed", &ConfigCheckSucceed},
  };
  for (const Attempt& a : attempts) {
    int32_t answer = 0;
    std::thread later([&] { answer = a.call(config); });
    later.join();
    EXPECT_EQ(answer, RYN_E_WIZARD_HANDLE) << a.what << " from a thread that did not open it";
  }
  ConfigFina(config);
  EXPECT_EQ(EngineEstablished(port), RYN_E_HANDLE) << "the wizard closed and delisted its engine";
  EXPECT_EQ(ConfigIsBOF(config), RYN_E_WIZARD_HANDLE);
  EngineFina(h);
}

// Once its engine has ended, a wizard may be closed by any thread, also while its opener
// runs: otherwise a host whose engines end on a worker thread could never close the
// wizards opened on its window thread. Before that, the opener's alone.
TEST(HandleLifetimeTest, AWizardOfAnEndedEngineMayBeClosedByAnyThread) {
  RynHandle h = NewEngine();
  WizardOpener opener(h);
  const RynHandle config = opener.config, port = opener.port;
  ASSERT_NE(port, 0);
  ConfigFina(config);
  EXPECT_NE(EngineEstablished(port), RYN_E_HANDLE) << "refused while the engine is open";
  EngineFina(h);
  EXPECT_NE(EngineEstablished(port), RYN_E_HANDLE) << "the engine's end leaves the wizard to its closer";
  ConfigFina(config);
  EXPECT_EQ(EngineEstablished(port), RYN_E_HANDLE) << "closed and delisted its engine";
}

}  // namespace
}  // namespace ryn
