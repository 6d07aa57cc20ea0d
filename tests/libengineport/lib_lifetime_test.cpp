// What the proxies register with another library outlives the proxies' own state
// changes: the user value of the library's callbacks.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "boundary/host_support.h"
#include "libengineport/lib_engine.h"
#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"
#include "support/recording_events.h"

namespace ryn {
namespace {

using testing::RecordingEvents;

std::string Engines(const char* name) { return std::string(TEST_ENGINES_DIR) + "/lib" + name + ".so"; }

IntfPtr<TLibITransEngineFactory> Factory(const std::string& file) {
  auto f = MakeIntf<TLibITransEngineFactory>();
  EXPECT_TRUE(f->Load(file)) << file;
  return f;
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

}  // namespace
}  // namespace ryn
