// The transfer wizard driven as a user would: which pages it starts on and visits, the
// engines it creates, opens, drops and closes, the embedded configuration wizards and the
// navigation rules around them, the relations list read from and stored into the hosts,
// and its failures (nothing chosen, engines that do not open, invalid rows, a mapping that
// does not compile).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "transfer/trans_wise_fixture.h"

namespace ryn {
namespace {

using testing::Column;
using testing::DestEngine;
using testing::FiveFields;
using testing::SourceEngine;
using testing::Icon;
using testing::TableDest;
using testing::TransWiseTest;
using W = TTransFrom;
using testing::Dialogs;
using Lines = std::vector<std::string>;

TEST_F(TransWiseTest, TheDialogAndItsPages) {
  Start();
  ui::Form& form = wizard->Window();
  EXPECT_EQ(form.Caption(), Ansi("配置向导"));
  EXPECT_EQ(form.ClientWidth(), 508);
  EXPECT_EQ(form.ClientHeight(), 329);
  EXPECT_EQ(form.BorderStyle(), ui::FormBorder::kDialog);
  EXPECT_EQ(form.Position(), ui::FormPosition::kScreenCenter);
  EXPECT_EQ(form.Font(), (ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault}));
  struct Caption {
    const char* button;
    std::string text;  // UTF-8
  } buttons[] = {{"btnPre", "上一步"}, {"btnNxt", "下一步"}, {"Button2", "关闭"}, {"SpeedButton1", "..."}};
  for (const Caption& b : buttons) EXPECT_EQ(Get<ui::Button>(b.button).Caption(), Ansi(b.text)) << b.button;
  EXPECT_EQ(form.DefaultButton(), &Get<ui::Button>("btnNxt"));
  EXPECT_EQ(form.CancelButton(), &Get<ui::Button>("Button2"));
  auto& pages = Get<ui::PageControl>("pcWise");
  EXPECT_FALSE(pages.TabsVisible());
  const Lines names = {"TabFrame", "TabSelSrc", "TabConfSrc", "TabSelTag", "TabConfTag", "TabRelation"};
  ASSERT_EQ(pages.PageCount(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(pages.PageAt(i).Name(), names[static_cast<size_t>(i)]);
  EXPECT_EQ(Get<ui::Label>("Label1").Caption(), Ansi("过滤条件:"));
  EXPECT_EQ(Rows().KeyTitle(), Ansi("列名"));
  EXPECT_EQ(Rows().ValueTitle(), Ansi("表达式"));
  EXPECT_EQ(Rows().KeyWidth(), 83);
  EXPECT_EQ(Rows().ValueWidth(), 411);
  // Cancelled from the start: nothing stored, the owner's sink is back.
  EXPECT_EQ(Show([&] { EXPECT_TRUE(ui::Click(Get<ui::Button>("Button2"))); }), ui::kMrCancel);
  wizard->Destroy();
  EXPECT_EQ(Frame().Events(), static_cast<ITransEvents*>(owner.get()));
}

TEST_F(TransWiseTest, MessagesBecomeBoxesAndStatusTheHeader) {
  Start();
  struct Case {
    int32_t kind;
    std::string caption;  // UTF-8
    uint32_t icon;
  } cases[] = {{0, "提示", 0},
               {1, "提示", ui::kMbIconInformation},
               {2, "警告", ui::kMbIconWarning},
               {3, "错误", ui::kMbIconError},
               {18, "警告", ui::kMbIconWarning}};
  for (const Case& c : cases) {
    Dialogs().Reset();
    wizard->OnMessage(c.kind, "text");
    ASSERT_EQ(Dialogs().MessageBoxes().size(), 1u) << c.kind;
    const auto& box = Dialogs().MessageBoxes()[0];
    EXPECT_EQ(box.text, "text");
    EXPECT_EQ(box.caption, Ansi(c.caption)) << c.kind;
    EXPECT_EQ(box.flags, ui::kMbOk | c.icon) << c.kind;
  }
  wizard->OnStatus("cap", "txt");
  EXPECT_EQ(Header(), (std::pair<std::string, std::string>{"cap", "txt"}));
  for (bool before : {true, false}) {
    bool cont = before;
    wizard->OnProgress(kProgressStep, 1, cont);
    EXPECT_EQ(cont, before);
  }
}

TEST_F(TransWiseTest, OneSourceFactoryIsCreatedAtStartAndStillOffered) {
  auto src = SourceFactory("src");
  Factory("dst1", kDirectionDestination, nullptr);
  Factory("dst2", kDirectionDestination, nullptr);
  Start();
  ASSERT_EQ(src->created.size(), 1u);
  EXPECT_EQ(Frame().ImportEngine(), static_cast<ITransEngine*>(src->last.get()));
  EXPECT_TRUE(Frame().ImportReplaceable());
  EXPECT_TRUE(src->last->active);
  EXPECT_EQ(src->last->events.get(), AsSink());
  EXPECT_EQ(Frame().Events(), AsSink());
  EXPECT_EQ(wizard->CurrentPage(), W::kTabSelSrc);
  auto& imports = Get<ui::ComboBox>("cbxImport");
  auto& exports = Get<ui::ComboBox>("cbxExport");
  EXPECT_EQ(imports.ItemCount(), 1);
  EXPECT_EQ(imports.Text(), "src");
  EXPECT_EQ(exports.ItemCount(), 2);
  EXPECT_EQ(exports.Text(), "dst1");  // the first entry, chosen without its description
  EXPECT_TRUE(Get<ui::RichText>("edtImport").Lines().empty());
  EXPECT_TRUE(Get<ui::RichText>("EdtExport").Lines().empty());
  EXPECT_FALSE(BackEnabled());
  EXPECT_EQ(Get<ui::Button>("btnNxt").Caption(), Ansi("下一步"));
  EXPECT_EQ(Header(), (std::pair{Ansi("选择数据源"), Ansi("选择您将从那里导入数据。")}));
  wizard->Destroy();
  EXPECT_EQ(Frame().Events(), static_cast<ITransEvents*>(owner.get()));
  EXPECT_EQ(src->last->events.get(), static_cast<ITransEvents*>(owner.get()));
}

TEST_F(TransWiseTest, WhereTheWizardStartsAndWhereNextLeads) {
  struct Case {
    const char* what;
    bool fixedSource;
    int start;
    int afterNext;  // -1: the dialog closed with OK
  } cases[] = {
      {"an automatic source and a fixed destination without wizard: straight to the relations", false, W::kTabSelSrc,
       W::kTabRelation},
      {"both fixed without wizards: the relations at once", true, W::kTabRelation, -1},
  };
  for (const Case& c : cases) {
    FreeTransEngineFactories();
    TTransFrame local;
    auto src = SourceFactory("src");
    auto dest = DestEngine("dest", FiveFields());
    auto fixed = SourceEngine("fixed");
    if (c.fixedSource) local.SetImportEngine(fixed.get(), false);
    local.SetExportEngine(dest.get(), false);
    wizard = MakeIntf<TTransFrom>();
    wizard->SetFrame(&local);
    EXPECT_EQ(wizard->CurrentPage(), c.start) << c.what;
    std::vector<int> pages;
    const int result = Show([&] {
      Next();
      pages.push_back(wizard->Window().ModalResult() == ui::kMrOk ? -1 : wizard->CurrentPage());
      if (pages.back() == W::kTabRelation) {
        EXPECT_FALSE(BackEnabled()) << c.what;
        EXPECT_EQ(Get<ui::Button>("btnNxt").Caption(), Ansi("完成")) << c.what;
        EXPECT_EQ(Header(), (std::pair{Ansi("设置映射关系"), Ansi("设定目标数据由源数据如何组织构成。")}));
      }
    });
    EXPECT_EQ(pages, std::vector<int>{c.afterNext}) << c.what;
    EXPECT_EQ(result, c.afterNext == -1 ? ui::kMrOk : ui::kMrCancel) << c.what;
    EXPECT_EQ(dest->inits, 1) << c.what;
    wizard->Destroy();
  }
}

TEST_F(TransWiseTest, TheRelationsListFromTheScript) {
  struct Case {
    const char* script;
    Lines values;
    std::string filter;
  } cases[] = {
      {"Export(3)=Import(1)", {"", "", "", "Import(1)", ""}, ""},
      {"  export(3) = x  ", {"", "", "", "x", ""}, ""},
      {"Export(9)=Import(0)\r\nExport(-1)=Import(1)\r\nExport(2)=", {"", "", "", "", ""}, ""},
      {"Filter=a>0", {"", "", "", "", ""}, "a>0"},
      {"filter = a>0 \r\nExport(0)=Import(0)\r\nExport(0)=Import(1)", {"Import(1)", "", "", "", ""}, "a>0"},
  };
  for (const Case& c : cases) {
    FixedEngines(FiveFields(), c.script);
    Start();
    ASSERT_EQ(wizard->CurrentPage(), W::kTabRelation) << c.script;
    ASSERT_EQ(Rows().RowCount(), 5) << c.script;
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(Rows().Row(i).key, "p" + std::to_string(i)) << c.script;
      EXPECT_EQ(Rows().Row(i).value, c.values[static_cast<size_t>(i)]) << c.script;
      EXPECT_TRUE(Rows().Row(i).ellipsis);
    }
    EXPECT_EQ(Get<ui::Edit>("edtFilter").Text(), c.filter) << c.script;
    EXPECT_EQ(wizard->EditHost()->GetScript(), FrameScript()) << "the edit host starts with the frame's script";
    EXPECT_NE(wizard->EditHost(), Frame().GetScriptHost().get());
    Reset();
  }
}

TEST_F(TransWiseTest, StoringTheRelationsIntoTheFramesHost) {
  struct Case {
    const char* what;
    const char* filter;
    std::vector<std::pair<int, const char*>> edits;
    std::string script;
  } cases[] = {
      {"filter first and trimmed, values as entered", " Import(0)>0 ", {{0, "Import(0)"}, {3, " Import(1) "}},
       "Filter=Import(0)>0\r\nExport(0)=Import(0)\r\nExport(3)= Import(1) \r\nExport(4)=Import(0)\r\n"},
      {"blank filter and blank rows give no lines", "  ", {{1, "Import(0)"}, {2, " \t"}, {4, ""}},
       "Export(1)=Import(0)\r\n"},
  };
  for (const Case& c : cases) {
    FixedEngines(FiveFields(), "Export(4)=Import(0)");
    Start();
    const int result = Show([&] {
      ui::ReplaceText(Get<ui::Edit>("edtFilter"), c.filter);
      for (const auto& [row, value] : c.edits) EXPECT_TRUE(ui::EditRowValue(Rows(), row, value));
      Next();
    });
    EXPECT_EQ(result, ui::kMrOk) << c.what;
    EXPECT_EQ(FrameScript(), c.script) << c.what;
    EXPECT_EQ(wizard->EditHost()->GetScript(), c.script) << c.what;
    EXPECT_TRUE(Dialogs().MessageBoxes().empty()) << c.what;
    Reset();
  }
}

TEST_F(TransWiseTest, ARowWhoseNameIsNoFieldIsReportedAndLeftOut) {
  // A field named with blanks around it is not found by its trimmed name.
  FixedEngines(MakeIntf<TableDest>(std::vector<Column>{{"p0", 65}, {" p1 ", 65}}), "");
  Start();
  const int result = Show([&] {
    ui::EditRowValue(Rows(), 0, "Import(1)");
    ui::EditRowValue(Rows(), 1, "Import(0)");
    Next();
  });
  EXPECT_EQ(result, ui::kMrOk);
  ASSERT_EQ(Dialogs().MessageBoxes().size(), 1u);
  EXPECT_EQ(Dialogs().MessageBoxes()[0].text, Ansi("列 < p1 > 无效！"));
  EXPECT_EQ(Dialogs().MessageBoxes()[0].caption, Ansi("提示"));
  EXPECT_EQ(Icon(Dialogs().MessageBoxes()[0]), ui::kMbIconInformation);
  EXPECT_EQ(FrameScript(), "Export(0)=Import(1)\r\n");
}

TEST_F(TransWiseTest, AMappingThatDoesNotCompileKeepsTheDialogAndCancelStoresNothing) {
  FixedEngines(FiveFields(), "Export(4)=Import(0)");
  auto before = Frame().GetScriptHost();
  const std::string script = FrameScript();
  Start();
  std::vector<int> afterFinish;
  const int result = Show([&] {
    ui::EditRowValue(Rows(), 0, "Import(");
    Next();
    afterFinish = {wizard->Window().ModalResult(), wizard->CurrentPage()};
    ui::Click(Get<ui::Button>("Button2"));
  });
  EXPECT_EQ(result, ui::kMrCancel);
  EXPECT_EQ(afterFinish, (std::vector<int>{ui::kMrNone, W::kTabRelation}));
  ASSERT_FALSE(Dialogs().MessageBoxes().empty());
  for (const auto& box : Dialogs().MessageBoxes()) {
    EXPECT_EQ(box.caption, Ansi("错误"));
    EXPECT_EQ(Icon(box), ui::kMbIconError);
  }
  EXPECT_EQ(Frame().GetScriptHost(), before);
  EXPECT_EQ(FrameScript(), script);
  EXPECT_EQ(script, "Export(4)=Import(0)\r\n");
  EXPECT_EQ(Frame().ImportEngine(), static_cast<ITransEngine*>(fixedSource.get()));
  wizard->Destroy();
  EXPECT_EQ(Frame().Events(), static_cast<ITransEvents*>(owner.get()));
  EXPECT_TRUE(owner->messages.empty()) << "the owner's sink heard nothing while the wizard had it";
}

}  // namespace
}  // namespace ryn
