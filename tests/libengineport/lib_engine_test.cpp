#include <gtest/gtest.h>

#include <cmath>

#include "boundary/host_support.h"
#include "libengineport/lib_engine.h"
#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "support/recording_events.h"
#include "support/temp_dir.h"
#include "transport/errors.h"

namespace ryn {
namespace {

using testing::RecordingEvents;
using testing::TempDir;

IntfPtr<TLibITransEngineFactory> Factory(const std::string& file) {
  auto f = MakeIntf<TLibITransEngineFactory>();
  EXPECT_TRUE(f->Load(file)) << file;
  return f;
}

std::string Engines(const char* name) { return std::string(TEST_ENGINES_DIR) + "/lib" + name + kLibrarySuffix; }

IntfPtr<IFieldReader> Reader(IImport* port, const char* name) {
  auto f = port->FindField(name);
  EXPECT_TRUE(f) << name;
  return f.Query<IFieldReader>();
}

TEST(LibEngineTest, ReadsEveryTypeFromASourceLibrary) {
  auto factory = Factory(Engines("memsource"));
  EXPECT_EQ(factory->GetName(), "MemSource");
  EXPECT_EQ(factory->GetDescription(), Ansi("内存表"));
  EXPECT_EQ(factory->GetEngineTypes(), 1);
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  auto events = MakeIntf<RecordingEvents>();
  engine->SetEvents(events.get());
  ASSERT_TRUE(engine->Init(1));
  EXPECT_TRUE(engine->IsActive());
  EXPECT_EQ(engine->SetOptions("rows=3;empty=2;long=1"), 0);
  EXPECT_EQ(engine->GetOptions(), "rows=3;\r\nempty=2;\r\nlong=1");
  EXPECT_TRUE(engine->Established());
  auto port = engine->GetPort().Query<IImport>();
  ASSERT_TRUE(port);
  EXPECT_EQ(port->GetFieldCount(), 19);
  EXPECT_EQ(port->DataCount(), 3);
  port->MoveFirst();

  EXPECT_EQ(Reader(port.get(), "byte")->GetAsByte(), 200);
  EXPECT_EQ(Reader(port.get(), "word")->GetAsWord(), 60000);
  EXPECT_EQ(Reader(port.get(), "longword")->GetAsLongWord(), 4000000000u);
  EXPECT_EQ(Reader(port.get(), "shortint")->GetAsShortInt(), -100);
  EXPECT_EQ(Reader(port.get(), "smallint")->GetAsSmallInt(), -30000);
  EXPECT_EQ(Reader(port.get(), "INTEGER")->GetAsInteger(), -2000000000);
  EXPECT_EQ(Reader(port.get(), "int64")->GetAsInt64(), 9000000000000000000LL);
  EXPECT_FALSE(Reader(port.get(), "bool")->GetAsBoolean());
  EXPECT_EQ(Reader(port.get(), "single")->GetAsSingle(), 1.5f);
  EXPECT_EQ(Reader(port.get(), "double")->GetAsDouble(), 0.1);
  EXPECT_NEAR(static_cast<double>(Reader(port.get(), "extended")->GetAsExtended()), 1.0 / 3, 1e-14);
  EXPECT_EQ(GuidToString(Reader(port.get(), "guid")->GetAsGuid()), "{12345678-ABCD-EF01-0102-030405060708}");
  EXPECT_EQ(Reader(port.get(), "time")->GetAsDateTime(), 0.25);
  EXPECT_EQ(Reader(port.get(), "date")->GetAsDateTime(), 45000);
  EXPECT_EQ(Reader(port.get(), "datetime")->GetAsDateTime(), 45000.5);
  EXPECT_EQ(Reader(port.get(), "text")->GetAsString(), "row0");
  EXPECT_EQ(Reader(port.get(), "wide")->GetAsWideString(), u"宽0");
  EXPECT_EQ(Reader(port.get(), "untyped")->GetAsString(), "u0") << "type 0 reads as text";
  EXPECT_EQ(port->FindField("untyped")->GetDataType(), 0);
  EXPECT_FALSE(Reader(port.get(), "text")->IsEmpty());
  TMemoryStream blob;
  EXPECT_TRUE(Reader(port.get(), "blob")->SaveToStream(blob));
  EXPECT_EQ(blob.Size(), 0) << "binary values do not cross this boundary";
  EXPECT_FALSE(port->FindField("nope"));

  port->MoveNext();
  EXPECT_TRUE(Reader(port.get(), "bool")->GetAsBoolean());
  EXPECT_EQ(Reader(port.get(), "text")->GetAsString(), std::string(600, 'x')) << "longer than the first buffer";

  port->MoveNext();
  EXPECT_TRUE(Reader(port.get(), "text")->IsEmpty());
  EXPECT_EQ(Reader(port.get(), "datetime")->GetAsDateTime(), 0) << "an empty date is no date";
  ASSERT_EQ(events->messages.size(), 1u);
  EXPECT_EQ(events->messages[0], std::make_pair(18, Ansi("第3行 14列 数据格式转换失败！")));
  EXPECT_FALSE(port->IsEof());
  port->MoveNext();
  EXPECT_TRUE(port->IsEof());
  engine->Fina();
  EXPECT_FALSE(engine->IsActive());
  EXPECT_FALSE(engine->GetPort());
  engine->Fina();  // closed: nothing happens
}

TEST(LibEngineTest, LibraryWithoutOptionalFunctions) {
  auto factory = Factory(Engines("minsource"));
  EXPECT_EQ(factory->GetDescription(), "");
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  ASSERT_TRUE(engine->Init(1));
  EXPECT_EQ(engine->GetOptions(), "");
  EXPECT_EQ(engine->SetOptions("rows=5"), 0x10001001);
  EXPECT_TRUE(engine->Established());
  EXPECT_FALSE(engine->GetConfig());
  auto port = engine->GetPort().Query<IImport>();
  EXPECT_EQ(port->DataCount(), -1);
  port->MoveFirst();
  auto text = Reader(port.get(), "text");
  text->SetName("renamed");  // no FieldSetName: nothing happens
  EXPECT_EQ(text->GetName(), "text");
  EXPECT_FALSE(text->IsEmpty()) << "without FieldIsEmpty every value is present";
  EXPECT_EQ(text->GetAsString(), "row0");
}

TEST(LibEngineTest, EventsSetBeforeInitAreRegisteredByIt) {
  auto factory = Factory(Engines("memsource"));
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  auto events = MakeIntf<RecordingEvents>();
  engine->SetEvents(events.get());
  EXPECT_EQ(engine.Query<ITransEvents>().get(), static_cast<ITransEvents*>(events.get()));
  ASSERT_TRUE(engine->Init(1));
  engine->SetEvents(events.get());  // the same sink again: nothing to do
  engine->SetOptions("fail=boom");
  ASSERT_EQ(events->messages.size(), 1u);
  EXPECT_EQ(events->messages[0], std::make_pair(3, std::string("boom")));
  engine->SetEvents(nullptr);
  engine->SetOptions("fail=again");
  EXPECT_EQ(events->messages.size(), 1u);
}

TEST(LibEngineTest, InitFailures) {
  auto events = MakeIntf<RecordingEvents>();
  auto source = Factory(Engines("memsource"));
  IntfPtr<ITransEngine> engine = source->CreateEngine();
  engine->SetEvents(events.get());
  EXPECT_FALSE(engine->Init(2)) << "a source library has no destination";
  EXPECT_FALSE(engine->IsActive());
  ASSERT_EQ(events->messages.size(), 1u);
  EXPECT_EQ(events->messages[0], std::make_pair(3, Ansi("引擎：MemSource，错误码：10000004\r\n初始化失败！")));

  // The port cannot be bound: the library's engine is closed again, not leaked.
  auto noport = Factory(Engines("noport"));
  auto live = reinterpret_cast<int32_t (*)()>(GetProcAddress(noport->Library(), "TestLiveHandles"));
  ASSERT_TRUE(live);
  IntfPtr<ITransEngine> broken = noport->CreateEngine();
  broken->SetEvents(events.get());
  EXPECT_FALSE(broken->Init(1));
  EXPECT_EQ(events->messages.back(), std::make_pair(3, Ansi("引擎：NoPort，错误码：30000001\r\n初始化失败！")));
  EXPECT_EQ(live(), 0);

  auto noinit = Factory(Engines("noinit"));
  try {
    noinit->CreateEngine();
    FAIL() << "no error";
  } catch (const ETransEngineError& e) {
    EXPECT_EQ(e.Message(), Ansi("NoInit\t\r\n初始化失败！"));
  }
}

// A library that claims lengths it never places, asks for 2 GB and changes its field count
// on every call: the proxies take only what was placed, allocate no huge buffers, and
// report a value they refused as a conversion failure.
TEST(LibEngineTest, ALyingLibraryIsReadWithinBounds) {
  auto factory = Factory(Engines("liar"));
  EXPECT_EQ(factory->GetName(), "Liar") << "only the bytes placed";
  EXPECT_EQ(factory->GetDescription(), "") << "a 2 GB description is refused";
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  auto events = MakeIntf<RecordingEvents>();
  engine->SetEvents(events.get());
  ASSERT_TRUE(engine->Init(1));
  EXPECT_EQ(engine->SetOptions("x=1"), 0);
  ASSERT_EQ(events->messages.size(), 1u);
  EXPECT_EQ(events->messages[0], std::make_pair(3, std::string())) << "a message without text is an empty one";
  EXPECT_EQ(engine->GetOptions(), "");
  ASSERT_EQ(events->messages.size(), 2u);
  EXPECT_EQ(events->messages[1].first, 18);

  auto port = engine->GetPort().Query<IImport>();
  ASSERT_TRUE(port);
  port->MoveFirst();
  int records = 0;
  for (; !port->IsEof(); port->MoveNext(), ++records) {
    for (int32_t i = 0; i < port->GetFieldCount(); ++i) {
      IntfPtr<ITransField> field = port->GetField(i);
      ASSERT_TRUE(field);
      EXPECT_EQ(field->GetName(), Ansi("列") + std::to_string(i)) << "no usable name: the default one";
      auto reader = field.Query<IFieldReader>();
      ASSERT_TRUE(reader);
      if (i == 1) EXPECT_EQ(reader->GetAsWideString(), std::u16string(512, u'w')) << "no more than the buffer";
      else EXPECT_EQ(reader->GetAsString(), "");
    }
    // Indexes no count ever covered have no field object.
    auto table = port.Query<IFieldTable>();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->ReaderAt(-1), nullptr);
    EXPECT_EQ(table->ReaderAt(1 << 30), nullptr);
  }
  EXPECT_EQ(records, 2);
  size_t refused = 0;
  for (const auto& m : events->messages) refused += m.first == 18;
  EXPECT_GE(refused, 3u) << "each refused text value is reported";
  engine->Fina();
}

TEST(LibEngineTest, InitFailingAgainAndAgainLeavesNothingOpen) {
  auto noport = Factory(Engines("noport"));
  auto live = reinterpret_cast<int32_t (*)()>(GetProcAddress(noport->Library(), "TestLiveHandles"));
  ASSERT_TRUE(live);
  auto events = MakeIntf<RecordingEvents>();
  IntfPtr<ITransEngine> engine = noport->CreateEngine();
  engine->SetEvents(events.get());
  for (int attempt = 1; attempt <= 50; ++attempt) {
    EXPECT_FALSE(engine->Init(1));
    EXPECT_FALSE(engine->IsActive());
    EXPECT_EQ(live(), 0) << attempt;
    EXPECT_EQ(events->messages.size(), static_cast<size_t>(attempt)) << "every failure is reported";
    EXPECT_EQ(engine->GetOptions(), "") << "no engine to ask";
  }
  engine->Fina();
  EXPECT_EQ(live(), 0);
}

TEST(LibEngineTest, FieldPoolReusesReleasedObjects) {
  auto factory = Factory(Engines("memsource"));
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  ASSERT_TRUE(engine->Init(1));
  auto port = engine->GetPort();
  IntfPtr<ITransField> a = port->GetField(2);
  IntfPtr<ITransField> b = port->GetField(2);
  EXPECT_NE(a.get(), b.get()) << "a held field is never handed out again";
  EXPECT_EQ(a->GetIndex(), 2);
  ITransField* first = a.get();
  a.Reset();
  b.Reset();
  IntfPtr<ITransField> c = port->GetField(5);
  EXPECT_EQ(c.get(), first);
  EXPECT_EQ(c->GetName(), "integer");
  EXPECT_EQ(port->GetField(99)->GetName(), Ansi("列99")) << "no range check; the library knows no name";

  // A field held across Fina stays a live (idle) object.
  engine->Fina();
  EXPECT_EQ(c->GetIndex(), 5);
  c.Reset();
  port.Reset();
  EXPECT_TRUE(engine->Init(1)) << "an engine opens again after Fina";
}

TEST(LibEngineTest, WritesAnExchangeFileThroughTheLibrary) {
  TempDir dir;
  std::string path = dir.Path("proxy.ryn");
  auto factory = Factory(RYNFILER_LIBRARY);
  EXPECT_EQ(factory->GetName(), Ansi("Ryn文件"));
  EXPECT_EQ(factory->GetEngineTypes(), 2);
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  auto events = MakeIntf<RecordingEvents>();
  engine->SetEvents(events.get());
  ASSERT_TRUE(engine->Init(2));
  auto port = engine->GetPort().Query<IExport>();
  port->Append();  // no file yet
  ASSERT_EQ(events->messages.size(), 1u);
  EXPECT_EQ(events->messages[0].first, 4134);

  ASSERT_EQ(engine->SetOptions(testing::ExportOptions(path)), 0);
  port->SetFieldCount(2);
  port->SetFieldType(0, 65);
  port->Append();
  port->FindField("a").Query<IFieldWriter>()->SetAsString("x");
  port->GetField(1).Query<IFieldWriter>()->SetAsString("y");
  port->Post();
  engine->Fina();
  EXPECT_EQ(TempDir::Read(path), "@\r\nA\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@");
}

}  // namespace
}  // namespace ryn

namespace ryn {
namespace {

TEST(LibEngineErrorsTest, ConfigurationAndFieldListErrors) {
  // Libraries whose engine has no wizard: ConfigInit answers 0x10000004, a quiet "no".
  struct {
    std::string library;
    int32_t direction;
  } const noWizard[] = {{Engines("memsource"), 1}};
  for (const auto& c : noWizard) {
    auto factory = Factory(c.library);
    IntfPtr<ITransEngine> engine = factory->CreateEngine();
    ASSERT_TRUE(engine->Init(c.direction)) << c.library;
    IntfPtr<IEngineConfig> config = engine->GetConfig();
    ASSERT_TRUE(config) << c.library;
    EXPECT_FALSE(config->Init(1234, true)) << c.library;
    EXPECT_TRUE(config->IsBOF()) << c.library;
    EXPECT_FALSE(config->GetPort()) << c.library << ": no wizard open, no port";
  }

  // The exchange file engine's library has one: it opens in the window given, on its
  // fields page, with the engine copy it edits as its port.
  {
    auto factory = Factory(RYNFILER_LIBRARY);
    IntfPtr<ITransEngine> engine = factory->CreateEngine();
    ASSERT_TRUE(engine->Init(2));
    IntfPtr<IEngineConfig> config = engine->GetConfig();
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->Init(1234, true));
    EXPECT_FALSE(config->IsBOF());
    EXPECT_TRUE(config->IsEOF());
    IntfPtr<ITransPort> port = config->GetPort();
    ASSERT_TRUE(port);
    EXPECT_EQ(port->GetFieldCount(), 0);
    config->Fina();
  }

  // Any other answer is an error: here the library does not know the engine handle.
  auto memsource = Factory(Engines("memsource"));
  TLibEngineConfig stray(nullptr, nullptr, memsource->Library());
  ASSERT_TRUE(stray.Bind());
  stray.SetEngine(0x5EED, 1);
  try {
    stray.Init(1234, true);
    FAIL() << "no error";
  } catch (const ETransConfigError& e) {
    EXPECT_EQ(e.Message(), Ansi("引擎配置器初始化失败！错误码[10000003]"));
  }

  // A destination port of a library without FieldSetCount and FieldSetType.
  auto fixed = Factory(Engines("nosetcount"));
  TLibExport port(nullptr, nullptr, fixed->Library());
  ASSERT_TRUE(port.Bind());
  try {
    port.SetFieldCount(3);
    FAIL() << "no error";
  } catch (const ETransFieldsError& e) {
    EXPECT_EQ(e.Message(), Ansi("列数不能改变！"));
  }
  try {
    port.SetFieldType(0, 6);
    FAIL() << "no error";
  } catch (const ETransFieldsError& e) {
    EXPECT_EQ(e.Message(), Ansi("列数据类型不能改变！"));
  }
}

}  // namespace
}  // namespace ryn
