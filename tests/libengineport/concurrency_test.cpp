// The engine-factory registry and an engine library's live-handle list used from several
// threads at once, as a host running several transfers does: factories registered, found
// and listed while engines are created through them, handles issued, looked up by other
// threads and ended. Run in the ThreadSanitizer build as well.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "libengineport/lib_factory.h"
#include "support/handle_churn.h"
#include "platform/dynlib.h"
#include "rynfiler.h"
#include "transport/object.h"
#include "transport/registries.h"

namespace ryn {
namespace {

class NamedFactory final : public TInterfacedObject, public virtual ITransEngineFactory {
 public:
  explicit NamedFactory(std::string name) : name_(std::move(name)) {}
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEngineFactory>(this, iid, obj);
  }
  std::string GetName() override { return name_; }
  int32_t GetEngineTypes() override { return kDirectionSource; }
  std::string GetDescription() override { return "test"; }
  IntfPtr<ITransEngine> CreateEngine() override { return nullptr; }

 private:
  std::string name_;
};

TEST(ConcurrencyTest, RegistryAndLiveHandlesFromManyThreads) {
  FreeTransEngineFactories();
  TransEngineFactories& reg = GetTransEngineFactories();
  const std::string file = std::string(TEST_ENGINES_DIR) + "/libmemsource" + kLibrarySuffix;
  ASSERT_GE(RegisterLibraryEngine(file), 0);
  LibHandle lib = LoadLibraryFile(file);
  ASSERT_TRUE(lib);
  auto init = reinterpret_cast<decltype(&EngineInit)>(GetProcAddress(lib, "EngineInit"));
  auto fina = reinterpret_cast<decltype(&EngineFina)>(GetProcAddress(lib, "EngineFina"));
  auto established = reinterpret_cast<decltype(&EngineEstablished)>(GetProcAddress(lib, "EngineEstablished"));
  auto fieldCount = reinterpret_cast<decltype(&FieldGetCount)>(GetProcAddress(lib, "FieldGetCount"));
  auto live = reinterpret_cast<int32_t (*)()>(GetProcAddress(lib, "TestLiveHandles"));
  ASSERT_TRUE(init && fina && established && fieldCount && live);
  const int32_t liveBefore = live();

  constexpr int kThreads = 4, kRounds = 200;
  std::atomic<intptr_t> published[kThreads] = {};
  std::atomic<int> failures{0};
  std::vector<std::string> failed(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto fail = [&](const std::string& what) {
        ++failures;
        if (failed[static_cast<size_t>(t)].empty()) failed[static_cast<size_t>(t)] = what;
      };
      for (int i = 0; i < kRounds; ++i) {
        const std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
        if (reg.Register(MakeIntf<NamedFactory>(name).get()) < 0) fail("register " + name);
        // A library engine made through the registry, used and closed.
        IntfPtr<ITransEngineFactory> factory = reg.FindByName("MEMSOURCE");
        if (!factory) {
          fail("find");
          continue;
        }
        IntfPtr<ITransEngine> engine = factory->CreateEngine();
        if (!engine || !engine->Init(kDirectionSource)) {
          fail("create");
          continue;
        }
        engine->SetOptions("rows=" + std::to_string(i + 1));
        IntfPtr<IImport> port = engine->GetPort().Query<IImport>();
        if (!port || port->DataCount() != i + 1) fail("engine of its own");
        // A handle straight from the library, published while other threads look up theirs:
        // a handle being ended answers as live or as ended, never anything else.
        RynHandle h = 0;
        if (init(RYN_SOURCE, &h) != RYN_OK) fail("init");
        published[t].store(h);
        for (auto& other : published) {
          const intptr_t o = other.load();
          const int32_t e = established(o);
          const int32_t n = fieldCount(o);
          if (e != 1 && e != RYN_E_HANDLE) fail("established " + std::to_string(e));
          if (n != 19 && n != 0) fail("field count " + std::to_string(n));
        }
        if (reg.FindByName(name).get() == nullptr) fail("own factory gone");
        size_t listed = 0;
        reg.Enumerate(0, [&](ITransEngineFactory* f) {
          if (!f || f->GetName().empty()) fail("torn list");
          ++listed;
        });
        if (listed < static_cast<size_t>(i) + 2) fail("short list");
        fina(h);  // others may still look it up: they must hear it ended
        if (fieldCount(h) != 0) fail("ended handle still answers");
        engine->Fina();
      }
      published[t].store(0);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  for (const std::string& f : failed) EXPECT_EQ(f, "");
  EXPECT_EQ(reg.Count(), static_cast<size_t>(1 + kThreads * kRounds));
  EXPECT_EQ(live(), liveBefore) << "every handle ended";
  FreeTransEngineFactories();
  FreeLibraryFile(lib);
}

// Source handles of an engine library churned by several threads: records read through
// handles other threads end, while their slots are handed out again.
TEST(ConcurrencyTest, ChurnOfSourceHandlesAcrossThreads) {
  const std::string file = std::string(TEST_ENGINES_DIR) + "/libmemsource" + kLibrarySuffix;
  LibHandle lib = LoadLibraryFile(file);
  ASSERT_TRUE(lib);
  auto fn = [&](const char* name) { return GetProcAddress(lib, name); };
  auto init = reinterpret_cast<decltype(&EngineInit)>(fn("EngineInit"));
  auto fina = reinterpret_cast<decltype(&EngineFina)>(fn("EngineFina"));
  auto setOptions = reinterpret_cast<decltype(&EngineSetOptions)>(fn("EngineSetOptions"));
  auto moveFirst = reinterpret_cast<decltype(&MoveFirst)>(fn("MoveFirst"));
  auto moveNext = reinterpret_cast<decltype(&MoveNext)>(fn("MoveNext"));
  auto isEof = reinterpret_cast<decltype(&IsEof)>(fn("IsEof"));
  auto fieldCount = reinterpret_cast<decltype(&FieldGetCount)>(fn("FieldGetCount"));
  auto getProc = reinterpret_cast<decltype(&FieldGetProc)>(fn("FieldGetProc"));
  auto isBof = reinterpret_cast<decltype(&ConfigIsBOF)>(fn("ConfigIsBOF"));
  auto live = reinterpret_cast<int32_t (*)()>(fn("TestLiveHandles"));
  ASSERT_TRUE(init && fina && setOptions && moveFirst && moveNext && isEof && fieldCount && getProc && isBof && live);
  auto getText = reinterpret_cast<RynGetText>(getProc(RYN_SOURCE, RYN_FT_STRING));
  const int32_t liveBefore = live();
  testing::ChurnApi api;
  api.create = [&] {
    RynHandle h = 0;
    return init(RYN_SOURCE, &h) == RYN_OK ? h : 0;
  };
  api.end = [&](RynHandle h) { fina(h); };
  api.use = [&](RynHandle h, uint32_t dice) -> std::string {
    switch (dice % 3) {
      case 0: setOptions(h, "rows=5"); break;
      case 1: {
        moveFirst(h);
        for (int i = 0; i < 3; ++i) {
          char buffer[32];
          int32_t length = sizeof buffer;
          getText(h, 1, buffer, &length);
          moveNext(h);
        }
        const int32_t eof = isEof(h);
        if (eof != 0 && eof != 1 && eof != -1) return "IsEof " + std::to_string(eof);
        break;
      }
      default: {
        const int32_t n = fieldCount(h);
        if (n != 19 && n != 0) return "FieldGetCount " + std::to_string(n);
      }
    }
    return "";
  };
  api.probe = [&](RynHandle h, bool ended) -> std::string {
    if (ended) return fieldCount(h) == 0 ? "" : "an ended handle still answers";
    const int32_t r = isBof(h);
    return r == RYN_E_WIZARD_HANDLE ? "" : "a source handle served as a wizard's: " + std::to_string(r);
  };
  testing::ChurnResult result = testing::Churn(api, testing::StressBudget());
  EXPECT_EQ(result.failures, 0) << result.first;
  EXPECT_GT(result.rounds, 0);
  EXPECT_EQ(live(), liveBefore) << "every handle ended";
  FreeLibraryFile(lib);
}

}  // namespace
}  // namespace ryn
