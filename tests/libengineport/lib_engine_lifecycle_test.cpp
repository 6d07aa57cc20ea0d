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

TEST(LibEngineLifecycleTest, FieldTypesAreAskedAgainOnceRecordsAreOpened) {
  // This library tells type 0 for every field until its records are opened.
  IntfPtr<ITransEngine> engine = Factory(Engines("lazytypes"))->CreateEngine();
  ASSERT_TRUE(engine->Init(1));
  auto port = engine->GetPort().Query<IImport>();
  for (int32_t index : {5, 6, 9, 14}) EXPECT_EQ(port->GetField(index)->GetDataType(), 0) << index;

  const struct {
    int32_t index;
    int32_t type;
    double value;
  } opened[] = {{5, 6, -2000000000}, {6, 7, 9e18}, {9, 18, 0.1}, {14, 51, 45000.5}};
  port->MoveFirst();
  for (const auto& c : opened) {
    auto field = port->GetField(c.index).Query<IFieldReader>();
    EXPECT_EQ(field->GetDataType(), c.type) << c.index;
    double value = c.type == 6    ? field->GetAsInteger()
                   : c.type == 7  ? static_cast<double>(field->GetAsInt64())
                   : c.type == 18 ? field->GetAsDouble()
                                  : field->GetAsDateTime();
    EXPECT_EQ(value, c.value) << c.index;
  }
}

}  // namespace
}  // namespace ryn
