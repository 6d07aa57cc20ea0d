// The proxies across the life of a library engine: closing and reopening, wizards opened
// again, and a library whose answers change once its records are opened.
#include <gtest/gtest.h>

#include "libengineport/lib_engine.h"
#include "libengineport/lib_factory.h"

namespace ryn {
namespace {

std::string Engines(const char* name) { return std::string(TEST_ENGINES_DIR) + "/lib" + name + ".so"; }

IntfPtr<TLibITransEngineFactory> Factory(const std::string& file) {
  auto f = MakeIntf<TLibITransEngineFactory>();
  EXPECT_TRUE(f->Load(file)) << file;
  return f;
}

TEST(LibEngineLifecycleTest, EstablishedOnlyWhenTheLibrarySaysSo) {
  // The library answers 1, 0, or its "unknown handle" code for an engine not open.
  auto factory = Factory(Engines("memsource"));
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  EXPECT_FALSE(engine->Established()) << "never opened";
  ASSERT_TRUE(engine->Init(1));
  EXPECT_TRUE(engine->Established()) << "three rows";
  engine->SetOptions("rows=0");
  EXPECT_FALSE(engine->Established()) << "no rows";
  engine->SetOptions("rows=2");
  engine->Fina();
  EXPECT_FALSE(engine->Established()) << "closed";

  // A library that cannot tell lets every engine run.
  IntfPtr<ITransEngine> plain = Factory(Engines("minsource"))->CreateEngine();
  ASSERT_TRUE(plain->Init(1));
  EXPECT_TRUE(plain->Established());
}

}  // namespace
}  // namespace ryn
