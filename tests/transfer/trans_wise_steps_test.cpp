// The transfer wizard's steps with engines: choosing another source after the relations
// page, embedded configuration wizards and the Next/Back rules around them, wizards that
// do not start, engines that do not open, nothing chosen, and a whole run from the wizard
// through the progress log.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "transfer/trans_wise_fixture.h"
#include "transport/errors.h"

namespace ryn {
namespace {

using testing::Column;
using testing::DestEngine;
using testing::Dialogs;
using testing::FakeConfig;
using testing::Icon;
using testing::SourceEngine;
using testing::SourcePort;
using testing::TableDest;
using testing::TransWiseTest;
using testing::WizEngine;
using W = TTransFrom;
using Lines = std::vector<std::string>;
using RowList = std::vector<std::pair<std::string, std::string>>;

Lines EditorFields(ui::Form& editor) {
  Lines names;
  auto& fields = ui::ControlOf<ui::ValueListEditor>(editor, "edtImport");
  for (int i = 0; i < fields.RowCount(); ++i) names.push_back(fields.Row(i).key);
  return names;
}

TEST_F(TransWiseTest, ChoosingAnotherSourceAfterTheRelationsPage) {
  auto s1 = SourceFactory("s1", {{"a", 6}, {"b", 65}});
  auto s2 = Factory("s2", kDirectionSource | kDirectionDestination,
                    [] { return SourceEngine("s2", {{"x", 65}, {"y", 6}}); });
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"p", 65}, {"q", 6}});
  fixedDest = DestEngine("dest", dest);
  Frame().SetExportEngine(fixedDest.get(), false);
  Start();
  EXPECT_TRUE(s1->created.empty()) << "two sources: nothing is created before the user chooses";
  EXPECT_EQ(Get<ui::ComboBox>("cbxExport").IndexOf("s2"), 0) << "a factory of both directions is offered for both";
  std::vector<Lines> editorFields;
  const int result = Show(
      [&] {
        Next();
        ASSERT_EQ(wizard->CurrentPage(), W::kTabRelation);
        EXPECT_EQ(RowTexts(), (RowList{{"p", "Import(1)"}, {"q", "Import(0)"}}));
        EXPECT_TRUE(BackEnabled());
        ui::ClickRowEllipsis(Rows(), 0);
        ui::EditRowValue(Rows(), 0, "Import(0)");
        // Back and on again with the same source: the edit is still there.
        Back();
        EXPECT_EQ(wizard->CurrentPage(), W::kTabSelSrc);
        Next();
        EXPECT_EQ(RowTexts(), (RowList{{"p", "Import(0)"}, {"q", "Import(0)"}}));
        EXPECT_EQ(s1->created.size(), 1u);
        Back();
        EXPECT_EQ(Header().first, Ansi("选择数据源"));

        ASSERT_TRUE(ui::Select(Get<ui::ComboBox>("cbxImport"), "s2"));
        EXPECT_EQ(s1->last->finas, 1);
        EXPECT_FALSE(s1->last->active);
        EXPECT_EQ(s1->last->events, nullptr);
        EXPECT_EQ(Frame().ImportEngine(), nullptr);
        EXPECT_EQ(wizard->EditHost()->GetSourcePort(), nullptr);
        EXPECT_EQ(Get<ui::RichText>("edtImport").Lines(), Lines{"s2 description"});

        Next();
        ASSERT_EQ(wizard->CurrentPage(), W::kTabRelation);
        EXPECT_EQ(Frame().ImportEngine(), static_cast<ITransEngine*>(s2->last.get()));
        EXPECT_EQ(RowTexts(), (RowList{{"p", "Import(0)"}, {"q", "Import(1)"}})) << "rebuilt for the new source";
        ui::ClickRowEllipsis(Rows(), 1);
        EXPECT_EQ(Rows().Row(1).value, "Import(0)");
        Next();
      },
      [&](ui::Form& editor) {
        editorFields.push_back(EditorFields(editor));
        auto& expr = ui::ControlOf<ui::Edit>(editor, "edtExpr");
        ui::ReplaceText(expr, "");
        ui::DoubleClickRow(ui::ControlOf<ui::ValueListEditor>(editor, "edtImport"), 0);
        ui::Click(ui::ControlOf<ui::Button>(editor, editorFields.size() == 1 ? "Button2" : "Button1"));
      });
  EXPECT_EQ(result, ui::kMrOk);
  EXPECT_EQ(editorFields, (std::vector<Lines>{{"a", "b"}, {"x", "y"}}));
  EXPECT_EQ(FrameScript(), "Export(0)=Import(0)\r\nExport(1)=Import(0)\r\n");
  EXPECT_TRUE(Dialogs().MessageBoxes().empty());
}

// One user action on a wizard with an embedded configuration, and what follows from it.
struct Step {
  const char* what;
  std::function<void()> act;
  int page;     // -1: the dialog closed with OK
  int pos;      // the configuration's page
  Lines calls;  // the configuration's calls the action made
  bool back;    // btnPre enabled after it
};

void RunSteps(const std::vector<Step>& steps, W& wizard, FakeConfig& config, const std::function<bool()>& backEnabled) {
  for (const Step& s : steps) {
    const size_t before = config.log.size();
    s.act();
    const bool closed = wizard.Window().ModalResult() == ui::kMrOk;
    EXPECT_EQ(closed ? -1 : wizard.CurrentPage(), s.page) << s.what;
    EXPECT_EQ(config.pos, s.pos) << s.what;
    EXPECT_EQ(Lines(config.log.begin() + static_cast<std::ptrdiff_t>(before), config.log.end()), s.calls) << s.what;
    if (!closed) {
      EXPECT_EQ(backEnabled(), s.back) << s.what;
    }
  }
}

TEST_F(TransWiseTest, ASourceWizardEmbeddedOnItsPage) {
  auto workCopy = SourcePort({{"w", 6}});
  IntfPtr<FakeConfig> config = MakeIntf<FakeConfig>();
  config->port = IntfPtr<ITransPort>(static_cast<IImport*>(workCopy.get()));
  auto src = Factory("cfg", kDirectionSource, [&] {
    auto engine = SourceEngine("cfg");
    engine->config = config;
    return engine;
  });
  fixedDest = DestEngine("dest", MakeIntf<TableDest>(std::vector<Column>{{"p", 6}}));
  Frame().SetExportEngine(fixedDest.get(), false);
  Start();
  ASSERT_EQ(wizard->SourceConfig(), static_cast<IEngineConfig*>(config.get()));
  EXPECT_EQ(config->log, Lines{"Init"});
  auto& page = Get<ui::PageControl>("pcWise").PageAt(W::kTabConfSrc);
  EXPECT_EQ(config->parentWindow, page.Handle());
  EXPECT_EQ(config->form->Parent(), &page);
  EXPECT_EQ(wizard->CurrentPage(), W::kTabSelSrc);

  const int result = Show([&] {
    const int SRC = W::kTabConfSrc, REL = W::kTabRelation;
    RunSteps(
        {
            {"Next: the wizard's first page, which sets the header",
             [&] {
               Next();
               EXPECT_EQ(Header(), (std::pair<std::string, std::string>{"page0", "text0"}));
             },
             SRC, 0, {"First"}, false},
            {"a page that does not check stays",
             [&] {
               config->checkOk = false;
               Next();
               config->checkOk = true;
             },
             SRC, 0, {"Check(no)"}, false},
            {"Next: the wizard's next page", [&] { Next(); }, SRC, 1, {"Check", "Next"}, true},
            {"Back: the wizard's previous page", [&] { Back(); }, SRC, 0, {"Previous"}, false},
            {"Next again", [&] { Next(); }, SRC, 1, {"Check", "Next"}, true},
            {"a last page that does not check stays",
             [&] {
               config->checkOk = false;
               Next();
               config->checkOk = true;
             },
             SRC, 1, {"Check(no)"}, true},
            {"Next at the wizard's end: Update, then the relations", [&] { Next(); }, REL, 1, {"Check", "Update"}, true},
            {"Back from the relations: the wizard's last page", [&] { Back(); }, SRC, 1, {"Last"}, true},
            {"Next to the relations again", [&] { Next(); }, REL, 1, {"Check", "Update"}, true},
            {"Finish: Update once more", [&] { Next(); }, -1, 1, {"Update"}, true},
        },
        *wizard, *config, [&] { return BackEnabled(); });
  });
  EXPECT_EQ(result, ui::kMrOk);
  // The mapping was edited over the wizard's working copy.
  EXPECT_EQ(wizard->EditHost()->GetSourcePort().get(), static_cast<IImport*>(workCopy.get()));
  EXPECT_EQ(FrameScript(), "Export(0)=Import(0)\r\n");
  wizard->Destroy();
  EXPECT_EQ(config->log.back(), "Fina");
  EXPECT_EQ(config->form, nullptr);
}

TEST_F(TransWiseTest, ADestinationWizardEmbeddedOnItsPage) {
  IntfPtr<FakeConfig> config = MakeIntf<FakeConfig>();
  Factory("dst", kDirectionDestination, [&] {
    auto engine = DestEngine("dst", MakeIntf<TableDest>(std::vector<Column>{{"p", 6}}));
    engine->config = config;
    return engine;
  });
  fixedSource = SourceEngine("fixed");
  Frame().SetImportEngine(fixedSource.get(), false);
  Start();
  EXPECT_EQ(wizard->CurrentPage(), W::kTabSelTag);
  EXPECT_EQ(config->parentWindow, Get<ui::PageControl>("pcWise").PageAt(W::kTabConfTag).Handle());
  EXPECT_EQ(Header().first, Ansi("选择存储目标"));
  EXPECT_FALSE(BackEnabled());
  const int result = Show([&] {
    const int TAG = W::kTabConfTag, REL = W::kTabRelation;
    RunSteps(
        {
            {"Next: the wizard's first page", [&] { Next(); }, TAG, 0, {"First"}, false},
            {"Next: its next page", [&] { Next(); }, TAG, 1, {"Check", "Next"}, true},
            {"Next at its end", [&] { Next(); }, REL, 1, {"Check", "Update"}, true},
            {"Back: its last page", [&] { Back(); }, TAG, 1, {"Last"}, true},
            {"Back: its previous page", [&] { Back(); }, TAG, 0, {"Previous"}, false},
            {"Back at its beginning with nothing before does nothing", [&] { Back(); }, TAG, 0, {}, false},
        },
        *wizard, *config, [&] { return BackEnabled(); });
    ui::Click(Get<ui::Button>("Button2"));
  });
  EXPECT_EQ(result, ui::kMrCancel);
  EXPECT_EQ(FrameScript(), "");
}

// An engine that is open from the moment it is made (the exchange file engine is) still
// gets its wizard started when the user picks it instead of the first entry.
TEST_F(TransWiseTest, AnEngineOpenFromTheStartPickedByTheUserGetsItsWizard) {
  std::vector<IntfPtr<FakeConfig>> configs;
  for (const char* name : {"d1", "d2"}) {
    Factory(name, kDirectionDestination, [&] {
      auto engine = DestEngine("d", MakeIntf<TableDest>(std::vector<Column>{{"p", 6}}));
      engine->active = true;
      engine->config = MakeIntf<FakeConfig>();
      configs.push_back(engine->config);
      return engine;
    });
  }
  fixedSource = SourceEngine("fixed");
  Frame().SetImportEngine(fixedSource.get(), false);
  Start();
  EXPECT_EQ(wizard->CurrentPage(), W::kTabSelTag);
  Show([&] {
    ASSERT_TRUE(ui::Select(Get<ui::ComboBox>("cbxExport"), 1));
    Next();
    EXPECT_EQ(wizard->CurrentPage(), W::kTabConfTag);
    ASSERT_FALSE(configs.empty());
    EXPECT_EQ(configs.back()->parentWindow, Get<ui::PageControl>("pcWise").PageAt(W::kTabConfTag).Handle());
    ui::Click(Get<ui::Button>("Button2"));
  });
}

TEST_F(TransWiseTest, AConfigurationThatDoesNotStartIsSkipped) {
  struct Case {
    const char* what;
    bool startOk;
    bool throws;
    Lines boxes;
  } cases[] = {
      {"Init answers false", false, false, {}},
      {"Init raises ETransConfigError: the error is shown", true, true, {"config failed"}},
  };
  for (const Case& c : cases) {
    Reset();
    Dialogs().Reset();
    FreeTransEngineFactories();
    IntfPtr<FakeConfig> config = MakeIntf<FakeConfig>();
    config->startOk = c.startOk;
    config->initThrows = c.throws;
    Factory("cfg", kDirectionSource, [&] {
      auto engine = SourceEngine("cfg");
      engine->config = config;
      return engine;
    });
    fixedDest = DestEngine("dest", MakeIntf<TableDest>(std::vector<Column>{{"p", 6}}));
    Frame().SetExportEngine(fixedDest.get(), false);
    Start();
    EXPECT_EQ(wizard->SourceConfig(), nullptr) << c.what;
    std::vector<int> pages;
    Show([&] {
      Next();
      pages.push_back(wizard->CurrentPage());
    });
    EXPECT_EQ(pages, std::vector<int>{W::kTabRelation}) << c.what;
    Lines boxes;
    for (const auto& box : Dialogs().MessageBoxes()) {
      boxes.push_back(box.text);
      EXPECT_EQ(Icon(box), ui::kMbIconError) << c.what;
    }
    EXPECT_EQ(boxes, c.boxes) << c.what;
  }
}

TEST_F(TransWiseTest, APresetEngineThatDoesNotOpen) {
  struct Case {
    const char* what;
    bool source;
    bool replaceable;
    std::string raised;  // UTF-8; empty: a message box instead
  } cases[] = {
      {"replaceable source: a box, dropped, the selection page", true, true, ""},
      {"fixed source: raised while the dialog starts", true, false, "导入引擎初始化失败！"},
      {"fixed destination: raised while the dialog starts", false, false, "导出引擎初始化失败！"},
  };
  for (const Case& c : cases) {
    Reset();
    Dialogs().Reset();
    auto bad = c.source ? SourceEngine("bad") : DestEngine("bad", MakeIntf<TableDest>(std::vector<Column>{}));
    bad->canOpen = false;
    auto good = SourceEngine("good");
    if (c.source) {
      Frame().SetImportEngine(bad.get(), c.replaceable);
    } else {
      Frame().SetImportEngine(good.get(), false);
      Frame().SetExportEngine(bad.get(), c.replaceable);
    }
    std::string raised;
    bool shown = false;
    int page = -1;
    {
      ui::ScopedModalDriver driver([&](ui::Form& form) {
        shown = true;
        page = ui::ControlOf<ui::PageControl>(form, "pcWise").ActivePageIndex();
      });
      try {
        Frame().ShowWizard();
      } catch (const ETransFromError& e) {
        raised = e.Message();
      }
    }
    EXPECT_EQ(raised, c.raised.empty() ? "" : Ansi(c.raised)) << c.what;
    EXPECT_EQ(shown, c.raised.empty()) << c.what;
    EXPECT_EQ(Frame().Events(), static_cast<ITransEvents*>(owner.get())) << c.what;
    if (c.raised.empty()) {
      ASSERT_EQ(Dialogs().MessageBoxes().size(), 1u) << c.what;
      EXPECT_EQ(Dialogs().MessageBoxes()[0].text, Ansi("导入引擎初始化失败！"));
      EXPECT_EQ(Dialogs().MessageBoxes()[0].caption, Ansi("错误"));
      EXPECT_EQ(Frame().ImportEngine(), nullptr) << c.what;
      EXPECT_EQ(page, W::kTabSelSrc) << c.what;
      EXPECT_EQ(bad->events, nullptr) << c.what;
    } else {
      EXPECT_TRUE(Dialogs().MessageBoxes().empty()) << c.what;
      EXPECT_EQ(c.source ? Frame().ImportEngine() : Frame().ExportEngine(), static_cast<ITransEngine*>(bad.get()));
    }
    EXPECT_TRUE(owner->messages.empty()) << c.what;
  }
}

TEST_F(TransWiseTest, NextWithNothingChosen) {
  struct Case {
    const char* what;
    bool fixedSource;
    int page;
    std::string text;  // UTF-8
  } cases[] = {
      {"no source factory", false, W::kTabSelSrc, "请选择导入引擎！"},
      {"no destination factory", true, W::kTabSelTag, "请选择导出引擎！"},
  };
  for (const Case& c : cases) {
    Reset();
    Dialogs().Reset();
    auto fixed = SourceEngine("fixed");
    if (c.fixedSource) Frame().SetImportEngine(fixed.get(), false);
    Start();
    ASSERT_EQ(wizard->CurrentPage(), c.page) << c.what;
    Show([&] { EXPECT_TRUE(Next()); });
    EXPECT_EQ(wizard->CurrentPage(), c.page) << c.what;
    ASSERT_EQ(Dialogs().MessageBoxes().size(), 1u) << c.what;
    const auto& box = Dialogs().MessageBoxes()[0];
    EXPECT_EQ(box.text, Ansi(c.text)) << c.what;
    EXPECT_EQ(box.caption, Ansi("提示")) << c.what;
    EXPECT_EQ(Icon(box), ui::kMbIconInformation) << c.what;
  }
}

TEST_F(TransWiseTest, ANewEngineThatDoesNotOpenKeepsThePage) {
  auto s1 = Factory("s1", kDirectionSource, [] {
    auto engine = SourceEngine("s1");
    engine->canOpen = false;
    return engine;
  });
  SourceFactory("s2");
  Start();
  Show([&] {
    Next();
    EXPECT_EQ(wizard->CurrentPage(), W::kTabSelSrc);
    ASSERT_EQ(s1->created.size(), 1u);
    EXPECT_EQ(Frame().ImportEngine(), static_cast<ITransEngine*>(s1->last.get())) << "the frame keeps it";
    Next();  // tried again, not passed on closed
    EXPECT_EQ(wizard->CurrentPage(), W::kTabSelSrc);
  });
  EXPECT_EQ(s1->created.size(), 1u);
  EXPECT_EQ(s1->last->inits, 2);
  ASSERT_EQ(Dialogs().MessageBoxes().size(), 2u);
  for (const auto& box : Dialogs().MessageBoxes()) {
    EXPECT_EQ(box.text, Ansi("导入引擎初始化失败！"));
    EXPECT_EQ(box.caption, ui::Application::Instance().Title());
    EXPECT_EQ(Icon(box), ui::kMbIconError);
  }
}

TEST_F(TransWiseTest, FromTheWizardThroughTheLogWindow) {
  Factory("src", kDirectionSource,
          [] { return SourceEngine("src", {{"a", 6}, {"b", 65}}, {{"1", "x"}, {"2", "y"}, {"3", "z"}}); });
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"p", 65}, {"q", 6}});
  fixedDest = DestEngine("dest", dest);
  Frame().SetEvents(nullptr);
  Frame().SetExportEngine(fixedDest.get(), false);
  Lines forms;
  ui::ScopedModalDriver driver([&](ui::Form& form) {
    forms.push_back(form.Name());
    if (form.Name() == "TransFrom") {
      ui::Click(ui::ControlOf<ui::Button>(form, "btnNxt"));
      ui::Click(ui::ControlOf<ui::Button>(form, "SpeedButton1"));
      EXPECT_EQ(ui::ControlOf<ui::Edit>(form, "edtFilter").Text(), "Import(0)>1");
      ui::Click(ui::ControlOf<ui::Button>(form, "btnNxt"));
    } else if (form.Name() == "ExprEdit") {
      ui::DoubleClickRow(ui::ControlOf<ui::ValueListEditor>(form, "edtImport"), 0);
      ui::TypeText(ui::ControlOf<ui::Edit>(form, "edtExpr"), ">1");
      ui::Click(ui::ControlOf<ui::Button>(form, "Button1"));
    }
  });
  ASSERT_TRUE(Frame().ShowWizard());
  EXPECT_EQ(Frame().Events(), nullptr);
  EXPECT_EQ(FrameScript(), "Filter=Import(0)>1\r\nExport(0)=Import(1)\r\nExport(1)=Import(0)\r\n");
  Frame().Execute();
  EXPECT_EQ(forms, (Lines{"TransFrom", "ExprEdit", "LogForm"})) << "the log window waits with the summary";
  EXPECT_EQ(dest->records, (std::vector<Lines>{{"y", "2"}, {"z", "3"}}));
  EXPECT_TRUE(Dialogs().MessageBoxes().empty());
}

}  // namespace
}  // namespace ryn
