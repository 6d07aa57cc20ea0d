#include <gtest/gtest.h>

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
