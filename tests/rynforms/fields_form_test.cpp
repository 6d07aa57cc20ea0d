// The field-settings dialog driven as a user would: each tab shows its section (an empty
// one as the headings and one empty row), saving a tab drops blank keys, keeps values as
// typed and merges repeated keys, edits survive switching tabs, "取消" leaves the engine
// as it was, "确定" writes exactly the rows of each tab, and the popup menu's rows.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "rynforms/fields_form.h"
#include "rynengine/report_types.h"
#include "rynengine/rynexport.h"
#include "ui/dialogs.h"
#include "rynforms/fields_dialog_user.h"

namespace ryn {
namespace {

using testing::FieldsUser;
using testing::Lines;

std::string Section(int dataType) { return DataTypeCaption(dataType); }

// "[section]" then its lines, each ended by CR LF.
std::string Catalogue(std::initializer_list<std::pair<int, Lines>> sections) {
  std::string text;
  for (const auto& [dataType, lines] : sections) {
    text += "[" + Section(dataType) + "]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
  }
  return text;
}

class FieldsDialogTest : public ::testing::Test {
 protected:
  FieldsDialogTest() { ui::Application::Instance().Dialogs().Reset(); }
  ~FieldsDialogTest() override { EXPECT_TRUE(ui::Application::Instance().Dialogs().MessageBoxes().empty()); }

  // Loads the engine with the catalogue, shows the dialog modally with the user acting in
  // it, and answers the modal result.
  int Show(const std::string& catalogue, const std::function<void(FieldsUser&)>& act) {
    engine->SetReportInfoText(catalogue);
    dialog->LoadFrom(engine.get());
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      FieldsUser user(form);
      act(user);
    });
    return dialog->ShowModal();
  }
  Lines EngineSection(int dataType) { return engine->ReportInfo().ReadSection(Section(dataType)); }

  IntfPtr<TRynExport> engine = MakeIntf<TRynExport>();
  std::unique_ptr<TFormFileds> dialog = std::make_unique<TFormFileds>();
};

TEST_F(FieldsDialogTest, EachTabShowsItsSectionAndNothingBeyondIt) {
  struct Case {
    int tab;
    Lines rows;
  } cases[] = {
      {1, {"="}},                      // absent: the headings and one empty row
      {2, {"X=x"}},                    // fewer rows than the tab before: none left over
      {0, {"A=a", "B=b", "C="}},       // a line without "=" is all heading
      {1, {"="}},
  };
  Show(Catalogue({{0, {"A=a", "B=b", "C"}}, {2, {"X=x"}}}), [&](FieldsUser& user) {
    EXPECT_EQ(user.form.Caption(), Ansi("导出字段设置"));
    EXPECT_EQ(user.tabs.Tabs(), (Lines{Section(0), Section(1), Section(2)}));
    EXPECT_EQ(user.tabs.TabIndex(), 0);
    EXPECT_EQ(user.Rows(), (Lines{"A=a", "B=b", "C="}));
    for (const Case& c : cases) {
      ASSERT_TRUE(user.Tab(c.tab));
      EXPECT_TRUE(user.HeadingsShown()) << c.tab;
      EXPECT_EQ(user.Rows(), c.rows) << c.tab;
      EXPECT_EQ(user.grid.ColCount(), 3);
    }
  });
}

TEST_F(FieldsDialogTest, AnEmptySectionSavesNothing) {
  const int result = Show("[" + Section(0) + "]\r\n\r\n" + Catalogue({{1, {"F=f"}}}), [](FieldsUser& user) {
    EXPECT_EQ(user.Rows(), (Lines{"="}));
    EXPECT_EQ(user.grid.RowCount(), 2);
    user.Ok();
  });
  EXPECT_EQ(result, ui::kMrOk);
  EXPECT_FALSE(engine->ReportInfo().HasSection(Section(0)));
  EXPECT_EQ(engine->GetReportInfoText(), Catalogue({{1, {"F=f"}}}));
}

TEST_F(FieldsDialogTest, SavingATabDropsBlankKeysAndKeepsValuesAsTyped) {
  Show("", [&](FieldsUser& user) {
    user.Type({{"   ", "dropped"},
               {" k1 ", "  v1"},
               {"", "dropped too"},
               {"k2", ""},
               {"k3", "a\r\n[" + Section(1) + "]"},  // an imported text with a line break
               {"a", "1"},
               {"b", "2"},
               {"A", "3"}});
    ASSERT_TRUE(user.Tab(1));
    ASSERT_TRUE(user.Tab(0));
    const Lines saved{"k1=  v1", "k2=", "k3=a  [" + Section(1) + "]", "A=3", "b=2"};
    EXPECT_EQ(user.Rows(), saved);
    EXPECT_EQ(dialog->WorkInfo().ReadSection(Section(0)), saved);
    user.Ok();
  });
  // The engine takes the catalogue by its text form, which trims around "=".
  EXPECT_EQ(EngineSection(0), (Lines{"k1=v1", "k2=", "k3=a  [" + Section(1) + "]", "A=3", "b=2"}));
  EXPECT_FALSE(engine->ReportInfo().HasSection(Section(1)));
}

TEST_F(FieldsDialogTest, EditsSurviveSwitchingTabsAndCancelLeavesTheEngineAlone) {
  const std::string catalogue = Catalogue({{0, {"A=a"}}, {2, {"X=x", "Y=y"}}});
  engine->SetSelectedColumnsText("A=a");
  TIniStore asLoaded;
  asLoaded.SetText(catalogue);
  const int result = Show(catalogue, [](FieldsUser& user) {
    ASSERT_TRUE(ui::EditCellText(user.grid, 2, 1, "edited"));
    ASSERT_TRUE(user.Tab(2));
    ASSERT_TRUE(user.MenuAt(1, "删行"));
    ASSERT_TRUE(user.Tab(0));
    EXPECT_EQ(user.Rows(), (Lines{"A=edited"}));
    ASSERT_TRUE(user.Tab(2));
    EXPECT_EQ(user.Rows(), (Lines{"Y=y"}));
    user.Cancel();
  });
  EXPECT_EQ(result, ui::kMrCancel);
  EXPECT_EQ(engine->GetReportInfoText(), asLoaded.GetText());
  EXPECT_EQ(engine->GetSelectedColumnsText(), "A=a");
}

TEST_F(FieldsDialogTest, OkWritesExactlyTheRowsOfEachTab) {
  engine->SetSelectedColumnsText("Old=old");
  const int result = Show(Catalogue({{0, {"Old=old", "Gone=gone"}}, {1, {"F=f"}}, {2, {"Z=z", "Z2=z2", "Z3=z3"}}}),
                          [](FieldsUser& user) {
                            user.Type({{"A", "a"}, {"B", "b"}});
                            ASSERT_TRUE(user.Tab(2));
                            ASSERT_TRUE(user.MenuAt(3, "删行"));
                            ASSERT_TRUE(user.MenuAt(1, "删行"));
                            user.Type({{"Dim", "dim"}});
                            ASSERT_TRUE(ui::PressArrowDown(user.grid));  // a row added at the end
                            ASSERT_TRUE(ui::EditCellText(user.grid, 1, 2, "Dim2"));
                            ASSERT_TRUE(user.MenuAt(1, "插行"));
                            ASSERT_TRUE(ui::EditCellText(user.grid, 1, 1, " "));
                            user.Ok();  // on the third tab: saved by the click
                          });
  EXPECT_EQ(result, ui::kMrOk);
  EXPECT_EQ(EngineSection(0), (Lines{"A=a", "B=b"}));
  EXPECT_EQ(EngineSection(1), (Lines{"F=f"}));
  EXPECT_EQ(EngineSection(2), (Lines{"Dim=dim", "Dim2="}));
  EXPECT_EQ(engine->GetSelectedColumnsText(), "Old=old");
}

TEST_F(FieldsDialogTest, PopupMenuInsertsAndDeletesAtTheCurrentRow) {
  struct Case {
    const char* what;
    std::function<bool(FieldsUser&)> act;
    bool done;
    Lines rows;
  } cases[] = {
      {"insert at the second row", [](FieldsUser& u) { return u.MenuAt(2, "插行"); }, true, {"a=1", "=", "b=2", "c=3"}},
      {"insert at the first row", [](FieldsUser& u) { return u.MenuAt(1, "插行"); }, true, {"=", "a=1", "b=2", "c=3"}},
      {"delete the first row", [](FieldsUser& u) { return u.MenuAt(1, "删行"); }, true, {"b=2", "c=3"}},
      {"delete the last row", [](FieldsUser& u) { return u.MenuAt(3, "删行"); }, true, {"a=1", "b=2"}},
      {"the heading row cannot be chosen", [](FieldsUser& u) { return u.MenuAt(0, "删行"); }, false, {"a=1", "b=2", "c=3"}},
      {"the separator does nothing", [](FieldsUser& u) { return u.Menu("-"); }, false, {"a=1", "b=2", "c=3"}},
      {"the last row is emptied, not removed",
       [](FieldsUser& u) { return u.MenuAt(1, "删行") && u.MenuAt(1, "删行") && u.MenuAt(1, "删行"); }, true, {"="}},
  };
  for (const Case& c : cases) {
    dialog = std::make_unique<TFormFileds>();
    engine = MakeIntf<TRynExport>();
    Show(Catalogue({{0, {"a=1", "b=2", "c=3"}}}), [&](FieldsUser& user) {
      EXPECT_EQ(c.act(user), c.done) << c.what;
      EXPECT_EQ(user.Rows(), c.rows) << c.what;
      EXPECT_TRUE(user.HeadingsShown()) << c.what;
    });
  }
}

TEST_F(FieldsDialogTest, LoadingTheSameEngineAgainKeepsTheEdits) {
  Show(Catalogue({{0, {"a=1"}}}), [](FieldsUser& user) { ui::EditCellText(user.grid, 2, 1, "edited"); });
  dialog->LoadFrom(engine.get());
  testing::FieldsUser user(dialog->Window());
  EXPECT_EQ(user.Rows(), (Lines{"a=edited"}));
  auto other = MakeIntf<TRynExport>();
  other->SetReportInfoText(Catalogue({{0, {"o=1", "p=2"}}}));
  dialog->LoadFrom(other.get());
  EXPECT_EQ(user.Rows(), (Lines{"o=1", "p=2"}));
}

}  // namespace
}  // namespace ryn
