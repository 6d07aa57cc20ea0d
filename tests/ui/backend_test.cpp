// Choosing a backend, and windows known under a toolkit's own handle as well as their
// table handle: both find the control while it lives, neither after; messages posted to
// either arrive; and the table handle is the only one again after unbinding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/backend_loader.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace ryn::ui {
namespace {

Application& App() { return Application::Instance(); }

TEST(BackendChoice, ModulesThatCannotServeLeaveTheProcessHeadless) {
  struct Case {
    const char* name;
    const char* error;  // a part of the reason
  } cases[] = {
      {"no-such-toolkit", "librynfiler-ui-no-such-toolkit.so"},
      {"../gtk", "no backend named"},
      {"", "no backend named"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(UseBackend(c.name, &error)) << c.name;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(BackendName(), "headless") << c.name;
    EXPECT_EQ(App().GetBackend(), nullptr) << c.name;
  }
  EXPECT_TRUE(UseBackend("headless"));
}

TEST(BackendChoice, OneBackendPerProcess) {
  struct Stub : Backend {
    std::unique_ptr<ControlPeer> CreatePeer(Control&) override { return nullptr; }
  } first, second;
  ASSERT_TRUE(App().SetBackend(&first));
  EXPECT_TRUE(App().SetBackend(&first));
  EXPECT_FALSE(App().SetBackend(&second));
  EXPECT_EQ(App().GetBackend(), &first);
  EXPECT_TRUE(App().SetBackend(nullptr));
  EXPECT_EQ(App().GetBackend(), nullptr);
}

TEST(NativeHandles, BothHandlesFindTheWindowWhileItLivesAndNeitherAfter) {
  constexpr WindowHandle kNative = 0x5a00007;
  constexpr WindowHandle kOtherNative = 0x5a00009;
  WindowHandle table = 0;
  std::vector<uint32_t> received;
  {
    Form form;
    table = form.Handle();
    form.OnMessage = [&](const Message& m) { received.push_back(m.msg); };
    App().BindNativeHandle(form, kNative);
    EXPECT_EQ(form.Handle(), kNative);
    EXPECT_EQ(App().FindWindow(kNative), &form);
    EXPECT_EQ(App().FindWindow(table), &form);
    App().PostMessage(kNative, kFirstPrivateMessage);
    App().PostMessage(table, kFirstPrivateMessage + 1);
    App().ProcessMessages();
    // A new toolkit window (a form moved into a plug) replaces the old id.
    App().BindNativeHandle(form, kOtherNative);
    EXPECT_EQ(App().FindWindow(kNative), nullptr);
    EXPECT_EQ(App().FindWindow(kOtherNative), &form);
    // Placed inside another control of ours, the form has no window of its own.
    App().BindNativeHandle(form, 0);
    EXPECT_EQ(form.Handle(), table);
    EXPECT_EQ(App().FindWindow(kOtherNative), nullptr);
    App().BindNativeHandle(form, kNative);
    App().PostMessage(kNative, kFirstPrivateMessage + 2);
  }
  EXPECT_EQ(App().FindWindow(kNative), nullptr);
  EXPECT_EQ(App().FindWindow(table), nullptr);
  App().ProcessMessages();  // the window went before its message was handled: dropped
  EXPECT_EQ(received, (std::vector<uint32_t>{kFirstPrivateMessage, kFirstPrivateMessage + 1}));
}

TEST(NativeHandles, AFormPlacedByItsNativeHandleEmbedsAsByItsTableHandle) {
  Form host, guest;
  App().BindNativeHandle(host, 0x5a0000b);
  guest.SetParentWindow(host.Handle());
  EXPECT_EQ(guest.Parent(), &host);
  EXPECT_EQ(guest.ForeignParent(), 0);
  EXPECT_EQ(guest.ParentWindow(), 0x5a0000b);
  guest.SetParentWindow(0x5a0000d);  // nobody's of ours: kept for the backend
  EXPECT_EQ(guest.Parent(), nullptr);
  EXPECT_EQ(guest.ForeignParent(), 0x5a0000d);
}

}  // namespace
}  // namespace ryn::ui
