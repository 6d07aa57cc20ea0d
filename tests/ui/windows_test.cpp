// The window table, the message queue and placement by handle: handles of destroyed
// windows are unknown and their messages dropped, messages keep their order from any
// thread, a form placed in a window of ours becomes its child, a foreign one is kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ui/dialogs.h"
#include "support/ui_driver.h"

namespace ryn::ui {
namespace {

Application& App() { return Application::Instance(); }
DialogService& Dialogs() { return App().Dialogs(); }

TEST(WindowTable, HandlesOfDestroyedWindowsAreUnknown) {
  auto form = std::make_unique<Form>();
  Panel& panel = form->Create<Panel>("panel");
  Label& label = panel.Create<Label>("label");
  const WindowHandle handles[] = {form->Handle(), panel.Handle(), label.Handle()};
  EXPECT_NE(handles[0], handles[1]);
  EXPECT_NE(handles[1], handles[2]);
  EXPECT_EQ(App().FindWindow(handles[0]), form.get());
  EXPECT_EQ(App().FindWindow(handles[2]), &label);
  EXPECT_EQ(form->FindChild("label"), &label);
  EXPECT_EQ(label.ParentForm(), form.get());
  form.reset();
  for (WindowHandle h : handles) EXPECT_EQ(App().FindWindow(h), nullptr);
  // A new window never takes an old handle.
  Form next;
  for (WindowHandle h : handles) EXPECT_NE(next.Handle(), h);
}

TEST(WindowTable, AFormPlacedByHandle) {
  Form host;
  Page& page = host.Create<PageControl>("pages").AddPage("page");
  auto embedded = std::make_unique<Form>();
  struct Case {
    const char* what;
    WindowHandle window;
    Control* parent;
    WindowHandle foreign;
  } cases[] = {
      {"a page of ours", page.Handle(), &page, 0},
      {"a foreign window", 0x3c00007, nullptr, 0x3c00007},
      {"our form", host.Handle(), &host, 0},
      {"nowhere", 0, nullptr, 0},
  };
  for (const Case& c : cases) {
    embedded->SetParentWindow(c.window);
    EXPECT_EQ(embedded->Parent(), c.parent) << c.what;
    EXPECT_EQ(embedded->ForeignParent(), c.foreign) << c.what;
    EXPECT_EQ(embedded->ParentWindow(), c.window) << c.what;
    const auto& children = host.Children();
    EXPECT_EQ(std::count(children.begin(), children.end(), embedded.get()), c.parent == &host) << c.what;
  }
  // The host's window goes first: the embedded form lives on, detached.
  embedded->SetParentWindow(page.Handle());
  {
    Form other;
    embedded->SetParentWindow(other.Handle());
  }
  EXPECT_EQ(embedded->Parent(), nullptr);
  EXPECT_EQ(embedded->ParentWindow(), 0);
  // And the other way round: the page forgets a form destroyed while inside it.
  embedded->SetParentWindow(page.Handle());
  embedded.reset();
  EXPECT_TRUE(page.Children().empty());
}

TEST(MessageQueue, DeliversInOrderAndDropsMessagesOfDestroyedWindows) {
  std::vector<std::string> got;
  Form a;
  auto b = std::make_unique<Form>();
  a.OnMessage = [&](const Message& m) {
    got.push_back("a" + std::to_string(m.msg) + ":" + std::to_string(m.wparam) + "," + std::to_string(m.lparam));
    // A message posted while handling is handled in the same round.
    if (m.msg == kFirstPrivateMessage) App().PostMessage(a.Handle(), kFirstPrivateMessage + 9);
  };
  b->OnMessage = [&](const Message& m) { got.push_back("b" + std::to_string(m.msg)); };
  App().PostMessage(a.Handle(), kFirstPrivateMessage, 1, 2);
  App().PostMessage(b->Handle(), kFirstPrivateMessage + 1);
  App().PostAction([&] { got.push_back("action"); });
  App().PostMessage(b->Handle(), kFirstPrivateMessage + 2);
  App().PostMessage(0x3c00007, kFirstPrivateMessage);  // not ours: dropped
  App().PostMessage(a.Handle(), kFirstPrivateMessage + 3);
  const WindowHandle gone = b->Handle();
  b.reset();
  App().PostMessage(gone, kFirstPrivateMessage + 4);
  EXPECT_TRUE(App().HasPendingMessages());
  ProcessMessages();
  EXPECT_FALSE(App().HasPendingMessages());
  EXPECT_EQ(got, (std::vector<std::string>{"a1025:1,2", "action", "a1028:0,0", "a1034:0,0"}));
}

TEST(MessageQueue, PostsFromOtherThreadsArriveInTheirOrder) {
  Form form;
  std::vector<std::pair<intptr_t, intptr_t>> got;  // (thread, sequence)
  form.OnMessage = [&](const Message& m) { got.emplace_back(m.wparam, m.lparam); };
  constexpr int kThreads = 4;
  constexpr int kEach = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) App().PostMessage(form.Handle(), kFirstPrivateMessage, t, i);
    });
  for (std::thread& t : threads) t.join();
  ProcessMessages();
  ASSERT_EQ(got.size(), static_cast<size_t>(kThreads * kEach));
  std::vector<intptr_t> next(kThreads, 0);
  for (auto [thread, seq] : got) EXPECT_EQ(seq, next[static_cast<size_t>(thread)]++);
}

TEST(MessageQueue, AFailingHandlerIsShownAndTheRestStillRun) {
  Dialogs().Reset();
  Form form;
  int handled = 0;
  form.OnMessage = [&](const Message&) {
    if (++handled == 1) throw std::runtime_error("broken");
  };
  App().PostMessage(form.Handle(), kFirstPrivateMessage);
  App().PostMessage(form.Handle(), kFirstPrivateMessage);
  ProcessMessages();
  EXPECT_EQ(handled, 2);
  ASSERT_EQ(Dialogs().MessageBoxes().size(), 1u);
  EXPECT_EQ(Dialogs().MessageBoxes()[0].text, "broken");
  EXPECT_EQ(Dialogs().MessageBoxes()[0].flags, kMbOk | kMbIconError);
  Dialogs().Reset();
}

// A handler catches what its callable raises where it was assigned (an engine library's
// module): it is shown as Guard shows it, and a bool handler answers no. Emptiness is kept
// through every way of assigning nothing, since "no handler" changes what the keys do.
TEST(Handlers, FailuresAreShownWhereAssignedAndNothingStaysNothing) {
  Dialogs().Reset();
  Form form;
  form.OnCloseQuery = []() -> bool { throw std::runtime_error("still saving"); };
  EXPECT_FALSE(form.OnCloseQuery());
  form.OnShow = [] { throw std::out_of_range("no such page"); };
  form.OnShow();
  ASSERT_EQ(Dialogs().MessageBoxes().size(), 2u);
  EXPECT_EQ(Dialogs().MessageBoxes()[0].text, "still saving");
  EXPECT_EQ(Dialogs().MessageBoxes()[1].text, "no such page");
  EXPECT_EQ(Dialogs().MessageBoxes()[1].flags, kMbOk | kMbIconError);
  form.OnShow = [] { throw 42; };  // not a std::exception: passes on, as through Guard
  EXPECT_THROW(form.OnShow(), int);
  EXPECT_EQ(Dialogs().MessageBoxes().size(), 2u);

  Button& button = form.Create<Button>("button");
  int clicks = 0;
  button.OnClick = [&] { ++clicks; };
  Handler<void()> copy = button.OnClick;
  copy();
  EXPECT_EQ(clicks, 1);
  button.OnClick = std::function<void()>();
  EXPECT_FALSE(button.OnClick);
  button.OnClick = copy;
  EXPECT_TRUE(button.OnClick);
  void (*none)() = nullptr;
  button.OnClick = none;
  EXPECT_FALSE(button.OnClick);
  button.OnClick = copy;
  button.OnClick = nullptr;
  EXPECT_FALSE(button.OnClick);
  Handler<void()> empty(std::function<void()>{});
  EXPECT_FALSE(empty);
  Dialogs().Reset();
}

TEST(Layout, AlignedChildrenAndAFormThatSizesItselfToThem) {
  Form form;
  form.SetClientSize(389, 301);
  Panel& top = form.Create<Panel>("top");
  top.SetHeight(48);
  top.SetAlign(AlignMode::kTop);
  Panel& middle = form.Create<Panel>("middle");
  middle.SetHeight(97);
  middle.SetAlign(AlignMode::kTop);
  Panel& bottom = form.Create<Panel>("bottom");
  bottom.SetBounds(0, 0, 10, 156);
  bottom.SetAlign(AlignMode::kTop);
  bottom.Hide();
  EXPECT_EQ(top.Bounds(), (Rect{0, 0, 389, 48}));
  EXPECT_EQ(middle.Bounds(), (Rect{0, 48, 389, 97}));
  form.SetAutoSize(true);
  EXPECT_EQ(form.ClientHeight(), 145);
  bottom.Show();
  EXPECT_EQ(form.ClientHeight(), 301);
  EXPECT_EQ(bottom.Bounds(), (Rect{0, 145, 389, 156}));
  top.Hide();
  EXPECT_EQ(form.ClientHeight(), 253);
  EXPECT_EQ(middle.Bounds(), (Rect{0, 0, 389, 97}));
  // A client-aligned control takes what is left.
  Form dialog;
  dialog.SetClientSize(508, 329);
  Panel& bar = dialog.Create<Panel>("bar");
  bar.SetHeight(53);
  bar.SetAlign(AlignMode::kBottom);
  PageControl& pages = dialog.Create<PageControl>("pages");
  pages.SetAlign(AlignMode::kClient);
  Panel& header = dialog.Create<Panel>("header");
  header.SetHeight(56);
  header.SetAlign(AlignMode::kTop);
  Page& page = pages.AddPage("page");
  EXPECT_EQ(bar.Bounds(), (Rect{0, 276, 508, 53}));
  EXPECT_EQ(pages.Bounds(), (Rect{0, 56, 508, 220}));
  EXPECT_EQ(page.Bounds(), (Rect{0, 0, 508, 220}));
}

TEST(Fonts, ChildrenUseTheParentFontUntilGivenTheirOwn) {
  Form form;
  Panel& panel = form.Create<Panel>("panel");
  Label& label = panel.Create<Label>("label");
  form.SetFont(FontInfo{"Song", 9, false, kCharsetDefault});
  EXPECT_EQ(label.Font().name, "Song");
  FontInfo bold = label.Font();
  bold.bold = true;
  label.SetFont(bold);
  form.SetFont(FontInfo{"Hei", 12, false, kCharsetGb2312});
  EXPECT_EQ(panel.Font().name, "Hei");
  EXPECT_EQ(label.Font(), (FontInfo{"Song", 9, true, kCharsetDefault}));
}

}  // namespace
}  // namespace ryn::ui
