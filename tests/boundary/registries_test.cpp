#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "transport/object.h"
#include "transport/registries.h"

namespace ryn {
namespace {

class Factory : public TInterfacedObject, public virtual ITransEngineFactory {
 public:
  Factory(std::string name, int32_t types) : name_(std::move(name)), types_(types) {}
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEngineFactory>(this, iid, obj);
  }
  std::string GetName() override { return name_; }
  int32_t GetEngineTypes() override { return types_; }
  std::string GetDescription() override { return "test"; }
  IntfPtr<ITransEngine> CreateEngine() override { return nullptr; }

 private:
  std::string name_;
  int32_t types_;
};

class HostFactory : public TInterfacedObject, public virtual IScriptHostFactory {
 public:
  explicit HostFactory(std::string name) : name_(std::move(name)) {}
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<IScriptHostFactory>(this, iid, obj);
  }
  std::string GetName() override { return name_; }
  IntfPtr<ITransScriptHost> CreateHost() override {
    ++created;
    return nullptr;
  }
  int created = 0;

 private:
  std::string name_;
};

TEST(RegistriesTest, EngineFactoriesByNameAndMask) {
  FreeTransEngineFactories();
  TransEngineFactories& reg = GetTransEngineFactories();
  EXPECT_EQ(&reg, &GetTransEngineFactories());
  auto src = MakeIntf<Factory>("Csv", 1);
  auto both = MakeIntf<Factory>(Ansi("数据库"), 3);
  auto dup = MakeIntf<Factory>("CSV", 2);
  auto greek = MakeIntf<Factory>(Ansi("ΑΒΓ"), 2);
  EXPECT_EQ(reg.Register(src.get()), 0);
  EXPECT_EQ(reg.Register(both.get()), 1);
  EXPECT_EQ(reg.Register(dup.get()), -1);
  EXPECT_EQ(reg.Register(greek.get()), 2);
  EXPECT_EQ(reg.Register(MakeIntf<Factory>(Ansi("αβγ"), 2).get()), -1) << "locale rules fold Greek";
  EXPECT_EQ(dup->RefCount(), 1) << "a refused factory is not kept";
  EXPECT_EQ(reg.FindByName("csv").get(), src.get());
  EXPECT_FALSE(reg.FindByName("none"));

  auto names = [&](int mask) {
    std::string out;
    reg.Enumerate(mask, [&](ITransEngineFactory* f) { out += f->GetName() + ","; });
    return out;
  };
  EXPECT_EQ(names(2), Ansi("数据库,ΑΒΓ,"));
  EXPECT_EQ(names(1), Ansi("Csv,数据库,"));
  EXPECT_EQ(names(3), Ansi("数据库,"));
  EXPECT_EQ(names(0), Ansi("Csv,数据库,ΑΒΓ,"));
  FreeTransEngineFactories();
  EXPECT_EQ(src->RefCount(), 1) << "destroying the registry releases its factories";
  EXPECT_EQ(GetTransEngineFactories().Count(), 0u);
}

// Several threads register the same names, look them up and enumerate at once: every name
// is taken exactly once, at the index its one successful Register answered, and no
// enumeration sees a torn list.
TEST(RegistriesTest, FactoriesRegisteredAndListedFromManyThreads) {
  FreeTransEngineFactories();
  TransEngineFactories& reg = GetTransEngineFactories();
  constexpr int kThreads = 4;
  constexpr int kNames = 200;
  std::vector<std::vector<std::pair<int, int32_t>>> taken(kThreads);  // (name, index)
  std::atomic<bool> torn{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kNames; ++i) {
        const int name = (i * (t + 1)) % kNames;  // each thread its own order, same names
        int32_t index = reg.Register(MakeIntf<Factory>("f" + std::to_string(name), 1 + (name & 1)).get());
        if (index >= 0) taken[static_cast<size_t>(t)].emplace_back(name, index);
        if (!reg.FindByName("F" + std::to_string(name))) torn = true;
        size_t seen = 0;
        reg.Enumerate(0, [&](ITransEngineFactory* f) {
          if (!f || f->GetName().empty()) torn = true;
          ++seen;
        });
        if (seen > static_cast<size_t>(kNames)) torn = true;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_FALSE(torn);
  ASSERT_EQ(reg.Count(), static_cast<size_t>(kNames));
  std::vector<std::string> listed;
  reg.Enumerate(0, [&](ITransEngineFactory* f) { listed.push_back(f->GetName()); });
  size_t registrations = 0;
  for (const auto& perThread : taken) {
    for (auto [name, index] : perThread) {
      ++registrations;
      ASSERT_LT(static_cast<size_t>(index), listed.size());
      EXPECT_EQ(listed[static_cast<size_t>(index)], "f" + std::to_string(name));
    }
  }
  EXPECT_EQ(registrations, static_cast<size_t>(kNames)) << "each name registered once";
  FreeTransEngineFactories();
}

TEST(RegistriesTest, ScriptHostsAndTheBuiltinFactory) {
  FreeTransScriptHosts();
  SetBuiltinScriptHostFactory(nullptr);
  auto a = MakeIntf<HostFactory>("Expr");
  TTransScriptHosts& hosts = GetTransScriptHosts();
  hosts.Register(a.get());
  hosts.Register(a.get());
  EXPECT_EQ(hosts.Count(), 1);
  hosts.FindByName("EXPR");
  EXPECT_EQ(a->created, 1);
  EXPECT_FALSE(hosts.FindByName("other"));
  EXPECT_FALSE(hosts.CreateByIndex(-1));
  EXPECT_FALSE(hosts.CreateByIndex(1));
  hosts.CreateByIndex(0);
  EXPECT_EQ(a->created, 2);

  // A registry made again has the built-in host once more.
  auto builtin = MakeIntf<HostFactory>("Builtin");
  SetBuiltinScriptHostFactory([&] { return IntfPtr<IScriptHostFactory>(builtin.get()); });
  EXPECT_EQ(GetTransScriptHosts().Count(), 2);
  FreeTransScriptHosts();
  EXPECT_EQ(GetTransScriptHosts().Count(), 1);
  GetTransScriptHosts().FindByName("builtin");
  EXPECT_EQ(builtin->created, 1);
  SetBuiltinScriptHostFactory(nullptr);
  FreeTransScriptHosts();
}

}  // namespace
}  // namespace ryn
