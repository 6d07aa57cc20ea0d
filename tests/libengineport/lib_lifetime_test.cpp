// What the proxies hand out and register outlives the proxies' own state changes: fields
// lent without a reference, the user value of the library's callbacks, and a wizard
// opened on one thread and closed from another.
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <thread>

#include "boundary/host_support.h"
#include "libengineport/lib_engine.h"
#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"
#include "support/recording_events.h"

namespace ryn {
namespace {

using testing::RecordingEvents;

std::string Engines(const char* name) { return std::string(TEST_ENGINES_DIR) + "/lib" + name + kLibrarySuffix; }

IntfPtr<TLibITransEngineFactory> Factory(const std::string& file) {
  auto f = MakeIntf<TLibITransEngineFactory>();
  EXPECT_TRUE(f->Load(file)) << file;
  return f;
}

using LiveFn = int32_t (*)();
LiveFn LiveHandles(TLibITransEngineFactory& factory) {
  auto live = reinterpret_cast<LiveFn>(GetProcAddress(factory.Library(), "TestLiveHandles"));
  EXPECT_TRUE(live);
  return live;
}

// Closes the engine from inside the library's message callback.
class ClosingEvents final : public RecordingEvents {
 public:
  void OnMessage(int32_t kind, std::string_view text) override {
    RecordingEvents::OnMessage(kind, text);
    if (engine) engine->Fina();
  }
  ITransEngine* engine = nullptr;
};

// A field the port's table lent (no reference counted) to a caller that holds only the
// engine stays a valid object when the port goes out of service, by a later call or from
// inside a callback, and is inert from then on: it never calls the library with the
// ended handle, and it keeps no engine of the library open.
TEST(LibLifetimeTest, FieldsLentByThePortsTableOutliveItsRetirement) {
  struct Case {
    const char* name;
    bool wizard;  // the field comes from the wizard's port
    std::function<void(ITransEngine&, RecordingEvents&)> retire;
  } cases[] = {
      {"engine closed", false, [](ITransEngine& e, RecordingEvents&) { e.Fina(); }},
      {"engine opened again", false, [](ITransEngine& e, RecordingEvents&) { ASSERT_TRUE(e.Init(1)); }},
      {"engine abandoned", false, [](ITransEngine& e, RecordingEvents&) { AbandonOrFina(e); }},
      {"engine closed from its own callback", false,
       [](ITransEngine& e, RecordingEvents& events) {
         static_cast<ClosingEvents&>(events).engine = &e;
         e.SetOptions("fail=stop");
         static_cast<ClosingEvents&>(events).engine = nullptr;
       }},
      {"wizard closed", true, [](ITransEngine& e, RecordingEvents&) { e.GetConfig()->Fina(); }},
      {"wizard opened in another window", true,
       [](ITransEngine& e, RecordingEvents&) { ASSERT_TRUE(e.GetConfig()->Init(5678, true)); }},
      {"engine of the wizard closed", true, [](ITransEngine& e, RecordingEvents&) { e.Fina(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto factory = Factory(Engines("wizard"));
    const LiveFn live = LiveHandles(*factory);
    IntfPtr<ITransEngine> engine = factory->CreateEngine();
    auto events = MakeIntf<ClosingEvents>();
    engine->SetEvents(events.get());
    ASSERT_TRUE(engine->Init(1));
    IFieldReader* text = nullptr;
    IFieldReader* integer = nullptr;
    {
      IntfPtr<ITransPort> port;
      if (c.wizard) {
        ASSERT_TRUE(engine->GetConfig()->Init(1234, true));
        port = engine->GetConfig()->GetPort();
      } else {
        port = engine->GetPort();
      }
      port.Query<IImport>()->MoveFirst();
      auto table = port.Query<IFieldTable>();
      ASSERT_TRUE(table);
      text = table->ReaderAt(15);
      integer = table->ReaderAt(5);
      ASSERT_TRUE(text && integer);
      ASSERT_EQ(text->GetAsString(), "row0");
      ASSERT_EQ(integer->GetDataType(), 6);
    }
    c.retire(*engine, *events);
    EXPECT_EQ(text->GetAsString(), "");
    EXPECT_TRUE(text->IsEmpty());
    EXPECT_EQ(text->GetDataType(), 0);
    EXPECT_EQ(integer->GetAsInteger(), 0);
    EXPECT_EQ(integer->GetDataType(), 0);
    engine->Fina();
    EXPECT_EQ(live(), 0) << "a lent field keeps no engine of the library open";
  }
}

// The user value the library gets for its callbacks names the proxy without being its
// address: a library that calls back for a proxy already gone reaches nothing.
TEST(LibLifetimeTest, CallbacksForAProxyThatIsGoneAreIgnored) {
  struct Case {
    const char* name;
    std::function<void(IntfPtr<ITransEngine>&)> end;
  } cases[] = {
      {"closed and let go", [](IntfPtr<ITransEngine>& e) { e->Fina(), e.Reset(); }},
      {"let go while open", [](IntfPtr<ITransEngine>& e) { e.Reset(); }},
      {"closed from its callback, then let go",
       [](IntfPtr<ITransEngine>& e) {
         auto closing = MakeIntf<ClosingEvents>();
         closing->engine = e.get();
         e->SetEvents(closing.get());
         e->SetOptions("any");
         e.Reset();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // This library keeps the callback and user value it was last given, for any handle.
    auto factory = Factory(Engines("liar"));
    auto events = MakeIntf<RecordingEvents>();
    IntfPtr<ITransEngine> first = factory->CreateEngine();
    first->SetEvents(events.get());
    ASSERT_TRUE(first->Init(1));
    first->SetOptions("x=1");
    ASSERT_EQ(events->messages.size(), 1u) << "the callback works while the proxy lives";
    c.end(first);

    IntfPtr<ITransEngine> second = factory->CreateEngine();
    ASSERT_TRUE(second->Init(1));
    second->SetOptions("x=2");  // the library calls the first proxy's callback
    EXPECT_EQ(events->messages.size(), 1u);
    second->Fina();
  }
}

// Opens a wizard on a thread of its own, which then waits to be told whether to close it,
// and ends.
struct Opener {
  explicit Opener(IEngineConfig* config)
      : thread([this, config] {
          opened.set_value(config->Init(1234, true));
          if (closing.get_future().get()) config->Fina();
        }) {}
  void End(bool close) {
    if (!thread.joinable()) return;
    closing.set_value(close);
    thread.join();
  }
  std::promise<bool> opened, closing;
  std::thread thread;
};

// A wizard of another library belongs to the thread that opened it. Closed from another
// thread while that one lives, the proxy says it cannot and leaves the wizard open (its
// opener may still close it); once the opener has ended, any thread closes it; and the
// engine's end closes it whichever thread ends the engine.
TEST(LibLifetimeTest, AWizardClosedFromAnotherThreadIsClosedOrTheRefusalIsReported) {
  struct Case {
    const char* name;
    bool openerEndsFirst;
    bool endEngine;          // the other thread ends the engine rather than the wizard
    int32_t liveAfterClose;  // the library's handles right after the other thread's close
    bool warned;
  } cases[] = {
      {"other thread, opener running", false, false, 3, true},
      {"other thread, opener ended", true, false, 1, false},
      {"engine ended on another thread, opener running", false, true, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto factory = Factory(Engines("wizard"));
    const LiveFn live = LiveHandles(*factory);
    IntfPtr<ITransEngine> engine = factory->CreateEngine();
    auto events = MakeIntf<RecordingEvents>();
    engine->SetEvents(events.get());
    ASSERT_TRUE(engine->Init(1));
    IntfPtr<IEngineConfig> config = engine->GetConfig();
    Opener opener(config.get());
    ASSERT_TRUE(opener.opened.get_future().get());
    ASSERT_EQ(live(), 3) << "the engine, its wizard and the wizard's copy";
    if (c.openerEndsFirst) opener.End(false);

    if (c.endEngine) engine->Fina();
    else config->Fina();
    EXPECT_EQ(live(), c.liveAfterClose);
    size_t warnings = 0;
    for (const auto& m : events->messages) warnings += (m.first & 3) == 2;
    EXPECT_EQ(warnings, c.warned ? 1u : 0u);

    opener.End(true);
    EXPECT_EQ(live(), c.endEngine ? 0 : 1) << "the opener closes what the other thread could not";
    engine->Fina();
    EXPECT_EQ(live(), 0);
  }
}

}  // namespace
}  // namespace ryn
