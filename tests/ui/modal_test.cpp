// The headless modal loop and the services around it: a form shown modally is handed to
// the driver after pending messages, ends with the result a click gives it or with
// Cancel when nobody ends it, may refuse to close, and nests; message boxes and the save
// dialog answer as scripted and are recorded.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/dialogs.h"
#include "support/ui_driver.h"

namespace ryn::ui {
namespace {

Application& App() { return Application::Instance(); }
DialogService& Dialogs() { return App().Dialogs(); }

// A dialog with OK and Cancel buttons, like the forms of the system.
class OkCancelForm : public Form {
 public:
  OkCancelForm() {
    SetCaption("dialog");
    ok.SetCaption("OK");
    ok.SetModalResult(kMrOk);
    ok.SetDefault(true);
    cancel.SetCaption("Cancel");
    cancel.SetModalResult(kMrCancel);
    cancel.SetCancel(true);
  }
  Button& ok = Create<Button>("ok");
  Button& cancel = Create<Button>("cancel");
  Edit& edit = Create<Edit>("edit");
};

class ModalTest : public ::testing::Test {
 protected:
  ModalTest() { Dialogs().Reset(); }
  ~ModalTest() override { Dialogs().Reset(); }
};

TEST_F(ModalTest, HowAModalRunEnds) {
  struct Case {
    const char* what;
    ModalDriver driver;
    bool refuseClose;
    int result;
    bool queried;  // the close query was asked
  } cases[] = {
      {"no driver: at once", nullptr, false, kMrCancel, false},
      {"OK clicked", [](Form& f) { Click(ControlOf<Button>(f, "ok")); }, false, kMrOk, true},
      {"Enter presses the default button", [](Form& f) { PressEnter(f); }, false, kMrOk, true},
      {"Escape presses the cancel button", [](Form& f) { PressEscape(f); }, false, kMrCancel, true},
      {"the close box", [](Form& f) { ClickCloseBox(f); }, false, kMrCancel, true},
      {"a result set by code", [](Form& f) { f.SetModalResult(kMrYes); }, false, kMrYes, true},
      {"the driver leaves it open", [](Form&) {}, false, kMrCancel, false},
      {"a disabled OK cannot be clicked",
       [](Form& f) {
         ControlOf<Button>(f, "ok").SetEnabled(false);
         EXPECT_FALSE(Click(ControlOf<Button>(f, "ok")));
         EXPECT_FALSE(PressEnter(f));
       },
       false, kMrCancel, false},
      {"OK refused by the close query, the loop still ends", [](Form& f) { Click(ControlOf<Button>(f, "ok")); }, true,
       kMrCancel, true},
  };
  for (Case& c : cases) {
    OkCancelForm form;
    int shows = 0;
    bool queried = false;
    form.OnShow = [&] { ++shows; };
    form.OnCloseQuery = [&] {
      queried = true;
      return !c.refuseClose;
    };
    bool driven = false;
    ScopedModalDriver driver(c.driver ? ModalDriver([&](Form& f) {
      driven = true;
      EXPECT_EQ(App().ActiveForm(), &form);
      EXPECT_TRUE(f.Visible());
      c.driver(f);
    })
                                      : ModalDriver());
    EXPECT_EQ(form.ShowModal(), c.result) << c.what;
    EXPECT_EQ(shows, 1) << c.what;
    EXPECT_EQ(driven, c.driver != nullptr) << c.what;
    EXPECT_EQ(queried, c.queried) << c.what;
    EXPECT_FALSE(form.Visible()) << c.what;
    EXPECT_FALSE(form.IsModal()) << c.what;
    EXPECT_EQ(App().ActiveForm(), nullptr) << c.what;
  }
}

TEST_F(ModalTest, PendingMessagesRunBeforeTheDriverAndAMessageMayEndTheForm) {
  std::vector<std::string> steps;
  OkCancelForm form;
  form.OnShow = [&] {
    steps.push_back("show");
    App().PostMessage(form.Handle(), kFirstPrivateMessage);
  };
  form.OnMessage = [&](const Message&) { steps.push_back("message"); };
  {
    ScopedModalDriver driver([&](Form&) { steps.push_back("driver"); });
    EXPECT_EQ(form.ShowModal(), kMrCancel);
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"show", "message", "driver"}));

  // A form that closes itself while handling its message never reaches the driver.
  steps.clear();
  form.OnMessage = [&](const Message&) { form.Close(); };
  ScopedModalDriver driver([&](Form&) { steps.push_back("driver"); });
  EXPECT_EQ(form.ShowModal(), kMrCancel);
  EXPECT_EQ(steps, (std::vector<std::string>{"show"}));
}

TEST_F(ModalTest, NestedFormsAndMessageBoxesFromADrivenForm) {
  OkCancelForm outer;
  outer.SetCaption("outer");
  std::vector<std::string> seen;
  std::vector<size_t> depths;
  int innerResult = -1;
  int boxAnswer = -1;
  outer.edit.OnChange = [&] {
    OkCancelForm inner;
    inner.SetCaption("inner");
    innerResult = inner.ShowModal();
    boxAnswer = ShowMessageBox("sure?", "question", kMbYesNo | kMbIconQuestion);
  };
  Dialogs().ScriptAnswer(kMrNo);
  ScopedModalDriver driver([&](Form& f) {
    seen.push_back(f.Caption());
    depths.push_back(App().ModalForms().size());
    if (f.Caption() == "inner") {
      Click(ControlOf<Button>(f, "ok"));
      return;
    }
    TypeText(ControlOf<Edit>(f, "edit"), "x");  // opens the inner form
    EXPECT_EQ(App().ActiveForm(), &f);
    EXPECT_THROW(f.ShowModal(), std::logic_error);
    PressEnter(f);
  });
  EXPECT_EQ(outer.ShowModal(), kMrOk);
  EXPECT_EQ(seen, (std::vector<std::string>{"outer", "inner"}));
  EXPECT_EQ(depths, (std::vector<size_t>{1, 2}));
  EXPECT_EQ(innerResult, kMrOk);
  EXPECT_EQ(boxAnswer, kMrNo);
  ASSERT_EQ(Dialogs().MessageBoxes().size(), 1u);
  const MessageBoxRecord& box = Dialogs().MessageBoxes()[0];
  EXPECT_EQ(box.text, "sure?");
  EXPECT_EQ(box.caption, "question");
  EXPECT_EQ(box.flags, kMbYesNo | kMbIconQuestion);
}

TEST_F(ModalTest, AHandlerThatFailsIsShownAndTheFormStaysOpen) {
  OkCancelForm form;
  form.ok.OnClick = [] { throw std::runtime_error("cannot"); };
  form.ok.SetModalResult(kMrNone);
  std::vector<bool> openAfterClick;
  ScopedModalDriver driver([&](Form& f) {
    Click(form.ok);
    openAfterClick.push_back(f.ModalResult() == kMrNone);
    Click(form.cancel);
  });
  EXPECT_EQ(form.ShowModal(), kMrCancel);
  EXPECT_EQ(openAfterClick, std::vector<bool>{true});
  ASSERT_EQ(Dialogs().MessageBoxes().size(), 1u);
  EXPECT_EQ(Dialogs().MessageBoxes()[0].text, "cannot");
  EXPECT_EQ(Dialogs().MessageBoxes()[0].caption, App().Title());
}

TEST_F(ModalTest, MessageBoxAnswers) {
  struct Case {
    uint32_t flags;
    int scripted;  // 0: none
    int answer;
  } cases[] = {
      {kMbOk | kMbIconInformation, 0, kMrOk},   {kMbOkCancel, 0, kMrOk},
      {kMbYesNo | kMbIconWarning, 0, kMrYes},   {kMbYesNoCancel, 0, kMrYes},
      {kMbAbortRetryIgnore, 0, kMrAbort},       {kMbRetryCancel, 0, kMrRetry},
      {kMbOkCancel, kMrCancel, kMrCancel},      {kMbYesNo, kMrNo, kMrNo},
  };
  for (const Case& c : cases) {
    if (c.scripted) Dialogs().ScriptAnswer(c.scripted);
    EXPECT_EQ(ShowMessageBox("t", "c", c.flags), c.answer) << c.flags;
  }
  ASSERT_EQ(Dialogs().MessageBoxes().size(), std::size(cases));
  EXPECT_EQ(Dialogs().MessageBoxes().back().answer, kMrNo);
}

TEST_F(ModalTest, SaveDialogTakesTheScriptedNameWithTheDefaultExtension) {
  struct Case {
    std::optional<std::string> scripted;
    std::string defaultExt;
    bool chosen;
    std::string fileName;
  } cases[] = {
      {std::nullopt, ".Ryn", false, "start"},        // nothing scripted: cancelled
      {"/tmp/out", ".Ryn", true, "/tmp/out.Ryn"},    // typed without an extension
      {"/tmp/out", "Ryn", true, "/tmp/out.Ryn"},     // the extension given without its dot
      {"/tmp/out.txt", ".Ryn", true, "/tmp/out.txt"},
      {"/tmp/a.b/out", ".Ryn", true, "/tmp/a.b/out.Ryn"},
      {"/tmp/out", "", true, "/tmp/out"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    if (i > 0) Dialogs().ScriptSaveFileName(c.scripted);
    SaveDialog dialog;
    dialog.defaultExt = c.defaultExt;
    dialog.filter = "Ryn|*.Ryn";
    dialog.fileName = "start";
    EXPECT_EQ(dialog.Execute(), c.chosen) << i;
    EXPECT_EQ(dialog.fileName, c.fileName) << i;
  }
  // An explicit cancel, and the records of what was asked.
  Dialogs().ScriptSaveFileName(std::nullopt);
  SaveDialog dialog;
  EXPECT_FALSE(dialog.Execute());
  ASSERT_EQ(Dialogs().SaveDialogs().size(), std::size(cases) + 1);
  EXPECT_EQ(Dialogs().SaveDialogs()[1].filter, "Ryn|*.Ryn");
  EXPECT_EQ(Dialogs().SaveDialogs()[1].initialName, "start");
  EXPECT_EQ(Dialogs().SaveDialogs()[1].chosen, std::optional<std::string>("/tmp/out.Ryn"));
}

TEST_F(ModalTest, OpenDialogTakesTheScriptedNameAsGivenAndTheSaveScriptsStayApart) {
  Dialogs().ScriptSaveFileName("/tmp/saved");
  Dialogs().ScriptOpenFileName("/tmp/data");
  Dialogs().ScriptOpenFileName(std::nullopt);
  OpenDialog dialog;
  dialog.filter = "CSV|*.csv";
  dialog.fileName = "start";
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.fileName, "/tmp/data") << "an existing file's name gets no extension";
  EXPECT_FALSE(dialog.Execute()) << "cancelled";
  EXPECT_EQ(dialog.fileName, "/tmp/data");
  EXPECT_FALSE(dialog.Execute()) << "nothing scripted: cancelled";
  ASSERT_EQ(Dialogs().OpenDialogs().size(), 3u);
  EXPECT_EQ(Dialogs().OpenDialogs()[0].filter, "CSV|*.csv");
  EXPECT_EQ(Dialogs().OpenDialogs()[0].initialName, "start");
  EXPECT_EQ(Dialogs().OpenDialogs()[0].chosen, std::optional<std::string>("/tmp/data"));
  EXPECT_EQ(Dialogs().OpenDialogs()[1].chosen, std::nullopt);
  EXPECT_TRUE(Dialogs().SaveDialogs().empty());

  SaveDialog save;
  ASSERT_TRUE(save.Execute()) << "the save dialog's script is its own";
  EXPECT_EQ(save.fileName, "/tmp/saved");
  Dialogs().ScriptOpenFileName("/tmp/left");
  Dialogs().Reset();
  EXPECT_FALSE(dialog.Execute()) << "a reset forgets the scripted names";
  EXPECT_EQ(Dialogs().OpenDialogs().size(), 1u);
}

// A backend sees the controls of a form once it is shown, and every change after.
class RecordingBackend : public Backend {
 public:
  std::unique_ptr<ControlPeer> CreatePeer(Control& control) override {
    struct Peer : ControlPeer {
      Peer(RecordingBackend* b, Control& c) : backend(b), name(c.Name()) {}
      void Changed(Change what) override { backend->log.push_back(name + ":" + std::to_string(static_cast<int>(what))); }
      RecordingBackend* backend;
      std::string name;
    };
    log.push_back("peer " + control.Name());
    return std::make_unique<Peer>(this, control);
  }
  std::vector<std::string> log;
};

TEST_F(ModalTest, ABackendGetsPeersWhenTheFormIsShown) {
  RecordingBackend backend;
  App().SetBackend(&backend);
  {
    OkCancelForm form;
    form.SetName("form");
    form.ok.SetCaption("Yes");  // no peer yet
    EXPECT_TRUE(backend.log.empty());
    form.Show();
    EXPECT_EQ(backend.log, (std::vector<std::string>{"peer form", "peer ok", "peer cancel", "peer edit", "form:4"}));
    backend.log.clear();
    form.ok.SetCaption("OK");
    form.Create<Label>("late");
    EXPECT_EQ(backend.log, (std::vector<std::string>{"ok:0", "peer late", "late:8"}));
  }
  App().SetBackend(nullptr);
}

// A form shown inside a control whose window has no peer yet (an engine's wizard started
// before the host's window is shown) gets its peer at once, and is placed again once the
// control it sits in has a peer to hold it; the peers made earlier are not made twice.
TEST_F(ModalTest, AFormShownInsideAControlWithoutPeerIsPlacedOnceTheControlHasOne) {
  RecordingBackend backend;
  App().SetBackend(&backend);
  {
    Form host;
    host.SetName("host");
    Panel& page = host.Create<Panel>("page");
    Form inner;
    inner.SetName("inner");
    inner.SetParentWindow(page.Handle());
    inner.Create<Label>("label");
    inner.Show();
    EXPECT_EQ(backend.log, (std::vector<std::string>{"peer inner", "peer label", "inner:4"}));
    backend.log.clear();
    host.Show();
    const std::string placed = "inner:" + std::to_string(static_cast<int>(Change::kParent));
    EXPECT_EQ(backend.log, (std::vector<std::string>{"peer host", "peer page", placed, "host:4"}));
    inner.SetParentWindow(0);
  }
  App().SetBackend(nullptr);
}

}  // namespace
}  // namespace ryn::ui
