#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/recording_events.h"
#include "transport/collect_object.h"
#include "transport/custom_field.h"
#include "transport/interfaces.h"

namespace ryn {
namespace {

// An owner that records its destruction and hands out one aggregated field.
class Owner : public TInterfacedObject, public virtual IImplementorAccess {
 public:
  explicit Owner(bool* destroyed) : destroyed_(destroyed), field_(new TCustomFiledWriter(this)) {}
  ~Owner() override {
    delete field_;
    *destroyed_ = true;
  }
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<IImplementorAccess>(this, iid, obj);
  }
  TObject* GetImplementor() override { return this; }
  TCustomFiledWriter* Field() { return field_; }

 private:
  bool* destroyed_;
  TCustomFiledWriter* field_;
};

TEST(CollectObjectTest, WithoutOwnerCountingDoesNothing) {
  TCustomTransField free(nullptr);
  EXPECT_EQ(free.AddRef(), 0);
  EXPECT_EQ(free.AddRef(), 0);
  EXPECT_EQ(free.Release(), 0);
  EXPECT_EQ(free.Release(), 0);
  EXPECT_EQ(free.Release(), 0);
  EXPECT_EQ(free.ForwardedCount(), 0);
  free.SetName("still alive");
  EXPECT_EQ(free.GetName(), "still alive");
}

TEST(CollectObjectTest, FieldReferencesKeepTheOwnerAlive) {
  bool destroyed = false;
  IntfPtr<ITransField> a, b;
  {
    IntfPtr<Owner> owner = MakeIntf<Owner>(&destroyed);
    a = QueryIntf<ITransField>(owner->Field());
    b = QueryIntf<IFieldWriter>(owner->Field());
    EXPECT_EQ(owner->RefCount(), 3);
    EXPECT_EQ(owner->Field()->ForwardedCount(), 2);
  }
  EXPECT_FALSE(destroyed);
  a.Reset();
  EXPECT_FALSE(destroyed);
  b.Reset();
  EXPECT_TRUE(destroyed);
}

TEST(CollectObjectTest, DestroyingWithOutstandingReferencesReleasesTheOwnerOnceEach) {
  bool destroyed = false;
  IntfPtr<Owner> owner = MakeIntf<Owner>(&destroyed);
  auto* orphan = new TCustomTransField(owner.get());
  constexpr int k = 3;
  for (int i = 0; i < k; ++i) EXPECT_EQ(orphan->AddRef(), 2 + i);
  EXPECT_EQ(owner->RefCount(), 1 + k);
  delete orphan;
  EXPECT_EQ(owner->RefCount(), 1);
  EXPECT_FALSE(destroyed);
}

TEST(CollectObjectTest, QueriesAnswerOnlyTheObjectsOwnInterfaces) {
  bool destroyed = false;
  IntfPtr<Owner> owner = MakeIntf<Owner>(&destroyed);
  TCustomFiledWriter* field = owner->Field();
  struct Case {
    TGUID iid;
    bool supported;
  } cases[] = {
      {IInterface::IID, true},          {ITransField::IID, true},   {IFieldWriter::IID, true},
      {IFieldReader::IID, false},       {ITransEngine::IID, false}, {IExport::IID, false},
      {IImplementorAccess::IID, false},  // the owner has it, but queries are not passed on
  };
  for (const auto& c : cases) {
    void* out = reinterpret_cast<void*>(1);
    int32_t r = field->QueryInterface(c.iid, &out);
    if (c.supported) {
      EXPECT_EQ(r, kS_OK) << GuidToString(c.iid);
      ASSERT_NE(out, nullptr);
      static_cast<IInterface*>(field)->Release();
    } else {
      EXPECT_EQ(r, kE_NOINTERFACE) << GuidToString(c.iid);
      EXPECT_EQ(out, nullptr);
    }
  }
  EXPECT_EQ(owner->RefCount(), 1);
  EXPECT_EQ(ImplementorOf(owner.get()), owner.get());
  EXPECT_EQ(ImplementorOf(field), nullptr);
}

// A port implementing a derived interface answers for its parent with a usable pointer.
class Port : public TInterfacedObject, public virtual IExport {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IExport>(this, iid, obj); }
  int32_t GetFieldCount() override { return 42; }
  IntfPtr<ITransField> FindField(std::string_view) override { return nullptr; }
  IntfPtr<ITransField> GetField(int32_t) override { return nullptr; }
  void SetFieldCount(int32_t) override {}
  void SetFieldType(int32_t, int32_t) override {}
  void Append() override { ++appends; }
  void Post() override {}
  int appends = 0;
};

TEST(IntfPtrTest, QueriesAdjustPointersAndCountReferences) {
  IntfPtr<Port> port = MakeIntf<Port>();
  IntfPtr<ITransPort> asPort = port.Query<ITransPort>();
  ASSERT_TRUE(asPort);
  EXPECT_EQ(asPort->GetFieldCount(), 42);
  IntfPtr<IExport> asExport = asPort.Query<IExport>();
  ASSERT_TRUE(asExport);
  asExport->Append();
  EXPECT_EQ(port->appends, 1);
  EXPECT_FALSE(asPort.Query<IImport>());
  EXPECT_EQ(port->RefCount(), 3);
  IntfPtr<ITransPort> copy = asPort;
  IntfPtr<ITransPort> moved = std::move(copy);
  EXPECT_FALSE(copy);
  EXPECT_EQ(port->RefCount(), 4);
  moved = nullptr;
  asExport.Reset();
  asPort.Reset();
  EXPECT_EQ(port->RefCount(), 1);
}

// A port that lets its attached sink answer for it, as our engines do.
class SinkPort : public Port {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    if (AnswerFor(sink, iid, obj)) return kS_OK;
    return Port::QueryInterface(iid, obj);
  }
  IntfPtr<ITransEvents> sink;
};

TEST(IntfPtrTest, AnAttachedSinkAnswersOnlyForItsOwnInterface) {
  IntfPtr<testing::RecordingEvents> events = MakeIntf<testing::RecordingEvents>();
  struct Case {
    const char* what;
    bool attached;
    TGUID iid;
    int32_t result;
    bool bySink;
  } cases[] = {
      {"sink attached, sink's interface", true, ITransEvents::IID, kS_OK, true},
      {"sink attached, the port's own", true, IExport::IID, kS_OK, false},
      {"sink attached, neither's", true, IImport::IID, kE_NOINTERFACE, false},
      {"no sink, sink's interface", false, ITransEvents::IID, kE_NOINTERFACE, false},
  };
  for (const Case& c : cases) {
    IntfPtr<SinkPort> port = MakeIntf<SinkPort>();
    if (c.attached) port->sink = events.get();
    const int32_t sinkRefs = events->RefCount();
    void* out = nullptr;
    EXPECT_EQ(port->QueryInterface(c.iid, &out), c.result) << c.what;
    if (c.bySink) {
      EXPECT_EQ(out, static_cast<ITransEvents*>(events.get())) << c.what;
      EXPECT_EQ(events->RefCount(), sinkRefs + 1) << c.what << ": the answer carries a reference";
      IntfPtr<ITransEvents>::Adopt(static_cast<ITransEvents*>(out));
    } else {
      EXPECT_EQ(events->RefCount(), sinkRefs) << c.what;
      EXPECT_EQ(port->RefCount(), c.result == kS_OK ? 2 : 1) << c.what;
      if (c.result == kS_OK) IntfPtr<IExport>::Adopt(static_cast<IExport*>(out));
      else EXPECT_EQ(out, nullptr) << c.what;
    }
    EXPECT_EQ(port->QueryInterface(c.iid, nullptr), kE_NOINTERFACE) << c.what << ": nowhere to answer";
    EXPECT_EQ(events->RefCount(), sinkRefs) << c.what;
  }
  EXPECT_EQ(events->RefCount(), 1);
}

TEST(CustomFieldTest, DefaultNameAndDoNothingSetters) {
  TCustomTransField field(nullptr);
  EXPECT_EQ(field.GetName(), Ansi("列(0)"));
  EXPECT_EQ(field.GetDataType(), 0);

  struct OnlyText : TCustomFiledWriter {
    OnlyText() : TCustomFiledWriter(nullptr) {}
    void SetAsString(std::string_view v) override { log += std::string(v) + ";"; }
    std::string log;
  } writer;
  IFieldWriter* w = &writer;
  w->SetAsInteger(5);
  w->SetAsDouble(1.5);
  w->SetAsString("x");
  EXPECT_EQ(writer.log, "x;");
}

TEST(GuidTest, ParsesAndPrintsTheBracedForm) {
  auto g = ParseGuid("{e2632ecb-4d51-4ce7-8d4c-6dae35094f1a}");
  ASSERT_TRUE(g);
  EXPECT_EQ(*g, ITransEngine::IID);
  EXPECT_EQ(GuidToString(*g), "{E2632ECB-4D51-4CE7-8D4C-6DAE35094F1A}");
  const char* bad[] = {"", "E2632ECB-4D51-4CE7-8D4C-6DAE35094F1A", "{E2632ECB-4D51-4CE7-8D4C-6DAE35094F1}",
                       "{E2632ECB-4D51-4CE7-8D4C-6DAE35094F1AX}", "{E2632ECB_4D51-4CE7-8D4C-6DAE35094F1A}",
                       "{G2632ECB-4D51-4CE7-8D4C-6DAE35094F1A}"};
  for (const char* b : bad) EXPECT_FALSE(ParseGuid(b)) << b;
}

}  // namespace
}  // namespace ryn
