// The proxies across the life of a library engine: closing and reopening, wizards opened
// again, and a library whose answers change once its records are opened.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "boundary/host_support.h"
#include "libengineport/lib_engine.h"
#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::TempDir;

std::string Engines(const char* name) { return std::string(TEST_ENGINES_DIR) + "/lib" + name + kLibrarySuffix; }

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

// A run that fails ends its engines without keeping their output: with the library's
// EngineAbandon where it has one, with EngineFina where it has not (a library of another
// maker, or of an older version), never by leaving the handle open. The library without it
// is not asked for record problems either.
TEST(LibEngineLifecycleTest, AbandonFallsBackToFinaWithoutTheOptionalExport) {
  for (const char* name : {"memsource", "wizard"}) {
    SCOPED_TRACE(name);
    auto factory = Factory(Engines(name));
    auto live = reinterpret_cast<int32_t (*)()>(GetProcAddress(factory->Library(), "TestLiveHandles"));
    ASSERT_TRUE(live);
    ASSERT_EQ(GetProcAddress(factory->Library(), "EngineAbandon"), nullptr) << "the test needs a library without it";
    IntfPtr<ITransEngine> engine = factory->CreateEngine();
    ASSERT_TRUE(engine->Init(1));
    EXPECT_FALSE(QueryIntf<IRecordProblems>(engine->GetPort().get()));
    EXPECT_EQ(live(), 1);
    AbandonOrFina(*engine);
    EXPECT_EQ(live(), 0);
    EXPECT_FALSE(engine->IsActive());
  }
}

TEST(LibEngineLifecycleTest, HeldFieldsAndPortsKeepTheEngineOpen) {
  auto factory = Factory(Engines("wizard"));
  auto live = reinterpret_cast<int32_t (*)()>(GetProcAddress(factory->Library(), "TestLiveHandles"));
  ASSERT_TRUE(live);
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  ASSERT_TRUE(engine->Init(1));
  auto port = engine->GetPort().Query<IImport>();
  port->MoveFirst();
  IntfPtr<IFieldReader> field = port->GetField(15).Query<IFieldReader>();
  IntfPtr<IFieldReader> again = field;
  ASSERT_TRUE(engine->GetConfig()->Init(1234, true));
  IntfPtr<ITransPort> wizardPort = engine->GetConfig()->GetPort();
  port.Reset();
  engine.Reset();
  EXPECT_EQ(live(), 3) << "the engine, its wizard and the wizard's copy";
  EXPECT_EQ(field->GetAsString(), "row0");
  EXPECT_EQ(wizardPort->GetFieldCount(), 19);
  wizardPort.Reset();
  field.Reset();
  EXPECT_EQ(live(), 3) << "one field reference is left";
  again.Reset();
  EXPECT_EQ(live(), 0);
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

TEST(LibEngineLifecycleTest, PortsAndFieldsHeldAcrossFinaAreInert) {
  // This library hands its one engine out again, so the closed engine's handle comes back
  // and names the open one.
  IntfPtr<ITransEngine> engine = Factory(Engines("oneengine"))->CreateEngine();
  ASSERT_TRUE(engine->Init(1));
  auto oldPort = engine->GetPort().Query<IImport>();
  oldPort->MoveFirst();
  auto text = oldPort->GetField(15).Query<IFieldReader>();
  auto integer = oldPort->GetField(5).Query<IFieldReader>();
  ASSERT_EQ(text->GetAsString(), "row0");
  engine->Fina();
  ASSERT_TRUE(engine->Init(1));
  auto port = engine->GetPort().Query<IImport>();
  port->MoveFirst();
  port->MoveNext();

  EXPECT_EQ(text->GetAsString(), "");
  EXPECT_TRUE(text->IsEmpty());
  EXPECT_EQ(text->GetDataType(), 0);
  EXPECT_EQ(integer->GetAsInteger(), 0);
  EXPECT_EQ(oldPort->GetFieldCount(), 0);
  EXPECT_FALSE(oldPort->FindField("text"));
  EXPECT_TRUE(oldPort->IsEof());
  EXPECT_EQ(oldPort->GetField(15).Query<IFieldReader>()->GetAsString(), "") << "a field handed out after Fina";
  oldPort->MoveNext();
  EXPECT_EQ(port->GetField(15).Query<IFieldReader>()->GetAsString(), "row1") << "the open engine's record stays";

  // Writes through a destination port kept from the first file never reach the second.
  TempDir dir;
  IntfPtr<ITransEngine> writer = Factory(RYNFILER_LIBRARY)->CreateEngine();
  ASSERT_TRUE(writer->Init(2));
  ASSERT_EQ(writer->SetOptions(testing::ExportOptions(dir.Path("first.ryn"))), 0);
  auto firstPort = writer->GetPort().Query<IExport>();
  firstPort->SetFieldCount(2);
  auto kept = firstPort->GetField(0).Query<IFieldWriter>();
  writer->Fina();
  ASSERT_TRUE(writer->Init(2));
  ASSERT_EQ(writer->SetOptions(testing::ExportOptions(dir.Path("second.ryn"))), 0);
  auto secondPort = writer->GetPort().Query<IExport>();
  secondPort->SetFieldCount(2);
  secondPort->Append();
  kept->SetAsString("stale");
  firstPort->Post();
  firstPort->SetFieldCount(5);
  secondPort->GetField(1).Query<IFieldWriter>()->SetAsString("y");
  secondPort->Post();
  writer->Fina();
  EXPECT_EQ(TempDir::Read(dir.Path("second.ryn")), "@\r\nA\tB\r\n0001\t2023\tY\t12\t\ty\r\n@@");
}

// A host that mixes up its handles: a wizard's configuration handle where an engine is
// expected and the other way round. Each call is refused with its failure value, and
// neither object is ended by the other's closing call.
TEST(LibEngineLifecycleTest, ConfigurationAndEngineHandlesAreNotTakenForEachOther) {
  LibHandle lib = LoadLibraryFile(Engines("wizard"));
  ASSERT_TRUE(lib);
  auto fn = [&](const char* name) {
    void* p = GetProcAddress(lib, name);
    EXPECT_TRUE(p) << name;
    return p;
  };
  auto init = reinterpret_cast<decltype(&EngineInit)>(fn("EngineInit"));
  auto fina = reinterpret_cast<decltype(&EngineFina)>(fn("EngineFina"));
  auto setOptions = reinterpret_cast<decltype(&EngineSetOptions)>(fn("EngineSetOptions"));
  auto getOptions = reinterpret_cast<decltype(&EngineGetOptions)>(fn("EngineGetOptions"));
  auto fieldCount = reinterpret_cast<decltype(&FieldGetCount)>(fn("FieldGetCount"));
  auto isEof = reinterpret_cast<decltype(&IsEof)>(fn("IsEof"));
  auto configInit = reinterpret_cast<decltype(&ConfigInit)>(fn("ConfigInit"));
  auto configFina = reinterpret_cast<decltype(&ConfigFina)>(fn("ConfigFina"));
  auto configIsBOF = reinterpret_cast<decltype(&ConfigIsBOF)>(fn("ConfigIsBOF"));
  auto configCheck = reinterpret_cast<decltype(&ConfigCheckSucceed)>(fn("ConfigCheckSucceed"));
  auto configPort = reinterpret_cast<decltype(&ConfigPort)>(fn("ConfigPort"));

  RynHandle engine = 0, config = 0;
  ASSERT_EQ(init(RYN_SOURCE, &engine), RYN_OK);
  ASSERT_EQ(setOptions(engine, "rows=2"), 0);
  ASSERT_EQ(configInit(engine, 0, 1, &config), RYN_OK);
  ASSERT_NE(config, engine);

  // A configuration handle where an engine is expected.
  EXPECT_EQ(setOptions(config, "rows=1"), RYN_E_HANDLE);
  char buf[4] = "kkk";
  int32_t len = 3;
  EXPECT_EQ(getOptions(config, buf, &len), 0);
  EXPECT_EQ(std::string(buf), "kkk");
  EXPECT_EQ(fieldCount(config), 0);
  EXPECT_EQ(isEof(config), -1);
  RynHandle nested = 55;
  EXPECT_EQ(configInit(config, 0, 1, &nested), RYN_E_HANDLE);
  EXPECT_EQ(nested, 55);
  fina(config);

  // An engine handle where a configuration is expected.
  EXPECT_EQ(configIsBOF(engine), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(configCheck(engine), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(configPort(engine), 0);
  configFina(engine);

  // Both still work after the other's closing call.
  EXPECT_EQ(fieldCount(engine), 19);
  EXPECT_NE(configIsBOF(config), RYN_E_WIZARD_HANDLE);
  EXPECT_NE(configPort(config), 0);
  configFina(config);
  EXPECT_EQ(configIsBOF(config), RYN_E_WIZARD_HANDLE) << "ended";
  fina(engine);
  EXPECT_EQ(fieldCount(engine), 0);
  FreeLibraryFile(lib);
}

TEST(LibEngineLifecycleTest, AReopenedWizardGivesItsOwnPort) {
  // The library's wizard edits a working copy with a handle of its own per opening.
  IntfPtr<ITransEngine> engine = Factory(Engines("wizard"))->CreateEngine();
  ASSERT_TRUE(engine->Init(1));
  engine->SetOptions("rows=4");
  IntfPtr<IEngineConfig> config = engine->GetConfig();
  ASSERT_TRUE(config);
  ASSERT_TRUE(config->Init(1234, true));
  auto first = config->GetPort().Query<IImport>();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->GetFieldCount(), 19);
  EXPECT_EQ(first->DataCount(), 4);
  config->Fina();
  EXPECT_EQ(first->GetFieldCount(), 0) << "the closed wizard's copy is gone";
  EXPECT_FALSE(config->GetPort()) << "no wizard open";

  engine->SetOptions("rows=6");
  // Opened again after closing, then with another parent window while open.
  IntfPtr<IImport> port;
  for (NativeWindow parent : {1234, 5678}) {
    ASSERT_TRUE(config->Init(parent, true)) << parent;
    port = config->GetPort().Query<IImport>();
    ASSERT_TRUE(port) << parent;
    EXPECT_EQ(port->GetFieldCount(), 19) << parent;
    EXPECT_EQ(port->DataCount(), 6) << parent;
  }

  // A wizard kept from a closed engine stays closed.
  engine->Fina();
  ASSERT_TRUE(engine->Init(1));
  EXPECT_EQ(port->GetFieldCount(), 0);
  EXPECT_FALSE(config->Init(1234, true));
  EXPECT_FALSE(config->GetPort());
  ASSERT_TRUE(engine->GetConfig()->Init(1234, true));
  EXPECT_EQ(engine->GetConfig()->GetPort()->GetFieldCount(), 19);
}

// Every configuration function given what is no live configuration handle: values never
// issued, the handle of a wizard already closed, and an engine's handle. Each answers its
// documented failure value, and the open wizard, its engine and the library's handles are
// as they were: the edits waiting in the wizard reach the engine only by its own handle.
TEST(LibEngineLifecycleTest, ConfigurationFunctionsRefuseAnythingButALiveWizard) {
  LibHandle lib = LoadLibraryFile(Engines("wizard"));
  ASSERT_TRUE(lib);
  auto fn = [&](const char* name) {
    void* p = GetProcAddress(lib, name);
    EXPECT_TRUE(p) << name;
    return p;
  };
  auto init = reinterpret_cast<decltype(&EngineInit)>(fn("EngineInit"));
  auto fina = reinterpret_cast<decltype(&EngineFina)>(fn("EngineFina"));
  auto setOptions = reinterpret_cast<decltype(&EngineSetOptions)>(fn("EngineSetOptions"));
  auto getOptions = reinterpret_cast<decltype(&EngineGetOptions)>(fn("EngineGetOptions"));
  auto configInit = reinterpret_cast<decltype(&ConfigInit)>(fn("ConfigInit"));
  auto configFina = reinterpret_cast<decltype(&ConfigFina)>(fn("ConfigFina"));
  auto configPort = reinterpret_cast<decltype(&ConfigPort)>(fn("ConfigPort"));
  auto isBOF = reinterpret_cast<decltype(&ConfigIsBOF)>(fn("ConfigIsBOF"));
  auto isEOF = reinterpret_cast<decltype(&ConfigIsEOF)>(fn("ConfigIsEOF"));
  auto check = reinterpret_cast<decltype(&ConfigCheckSucceed)>(fn("ConfigCheckSucceed"));
  using Step = void(RYN_CALL*)(RynHandle);
  auto first = reinterpret_cast<Step>(fn("ConfigFirst"));
  auto last = reinterpret_cast<Step>(fn("ConfigLast"));
  auto next = reinterpret_cast<Step>(fn("ConfigNext"));
  auto previous = reinterpret_cast<Step>(fn("ConfigPrevious"));
  auto update = reinterpret_cast<Step>(fn("ConfigUpdate"));
  auto live = reinterpret_cast<int32_t (*)()>(fn("TestLiveHandles"));
  auto options = [&](RynHandle h) {
    char buf[128] = {};
    int32_t len = sizeof buf - 1;
    getOptions(h, buf, &len);
    return std::string(buf);
  };

  RynHandle engine = 0, config = 0, other = 0, closed = 0;
  ASSERT_EQ(init(RYN_SOURCE, &engine), RYN_OK);
  ASSERT_EQ(setOptions(engine, "rows=2"), 0);
  ASSERT_EQ(configInit(engine, 0, 1, &config), RYN_OK);
  // An edit waiting in the wizard: the copy it edits has 7 rows, the engine still 2.
  ASSERT_EQ(setOptions(configPort(config), "rows=7"), 0);
  ASSERT_EQ(init(RYN_SOURCE, &other), RYN_OK);
  ASSERT_EQ(configInit(other, 0, 1, &closed), RYN_OK);
  configFina(closed);
  const std::string engineOptions = options(engine);
  const int32_t liveHandles = live();

  struct Call {
    const char* name;
    std::function<int64_t(RynHandle)> call;
    int64_t failure;
  } calls[] = {
      {"ConfigIsBOF", [&](RynHandle h) { return isBOF(h); }, RYN_E_WIZARD_HANDLE},
      {"ConfigIsEOF", [&](RynHandle h) { return isEOF(h); }, RYN_E_WIZARD_HANDLE},
      {"ConfigCheckSucceed", [&](RynHandle h) { return check(h); }, RYN_E_WIZARD_HANDLE},
      {"ConfigPort", [&](RynHandle h) { return configPort(h); }, 0},
      {"ConfigFirst", [&](RynHandle h) { return first(h), 0; }, 0},
      {"ConfigLast", [&](RynHandle h) { return last(h), 0; }, 0},
      {"ConfigNext", [&](RynHandle h) { return next(h), 0; }, 0},
      {"ConfigPrevious", [&](RynHandle h) { return previous(h), 0; }, 0},
      {"ConfigUpdate", [&](RynHandle h) { return update(h), 0; }, 0},
      {"ConfigFina", [&](RynHandle h) { return configFina(h), 0; }, 0},
  };
  const RynHandle refused[] = {0, 1, -1, INTPTR_MAX, INTPTR_MIN, config + 1, config - 1, closed, engine, other};
  for (RynHandle h : refused) {
    for (const Call& c : calls) EXPECT_EQ(c.call(h), c.failure) << c.name << " " << h;
  }
  // ConfigInit takes an engine: anything else is refused, and without a place for the
  // handle nothing is opened (the open wizard is not opened anew).
  for (RynHandle h : {RynHandle{0}, RynHandle{-1}, config, closed}) {
    RynHandle out = 55;
    EXPECT_EQ(configInit(h, 0, 1, &out), RYN_E_HANDLE) << h;
    EXPECT_EQ(out, 55) << h;
  }
  EXPECT_EQ(configInit(engine, 0, 1, nullptr), RYN_E_NOTHING);

  EXPECT_EQ(live(), liveHandles) << "no handle opened or ended";
  EXPECT_EQ(options(engine), engineOptions);
  EXPECT_EQ(options(configPort(config)), "rows=7;\r\nempty=-1;\r\nlong=-1") << "the wizard's copy as it was";
  update(config);
  EXPECT_EQ(options(engine), "rows=7;\r\nempty=-1;\r\nlong=-1");
  configFina(config);
  fina(other);
  fina(engine);
  EXPECT_EQ(live(), 0);
  FreeLibraryFile(lib);
}

}  // namespace
}  // namespace ryn
