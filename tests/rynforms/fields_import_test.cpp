// The field-settings dialog's import: the engines of the engine folder offered while the
// dialog lives, a cancelled import that leaves the grid as it was, the dialog's end that
// frees both registries with the expression host still found by name, and an import end to
// end from the CSV source library through the transfer wizard into the catalogue.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "expr/named_host.h"
#include "libengineport/lib_factory.h"
#include "rynforms/fields_form.h"
#include "rynengine/report_types.h"
#include "rynengine/rynexport.h"
#include "support/temp_dir.h"
#include "transport/registries.h"
#include "ui/dialogs.h"
#include "rynforms/fields_dialog_user.h"

namespace ryn {
namespace {

using testing::FieldsUser;
using testing::Lines;

const std::string& CsvName() { return Ansi("CSV文件"); }

class FieldsImportTest : public ::testing::Test {
 protected:
  FieldsImportTest() {
    ui::Application::Instance().Dialogs().Reset();
    FreeTransEngineFactories();
    dialog->SetEngineFolder(OsPath{RYNFILER_ENGINE_DIR});
    engine->SetReportInfoText("[" + DataTypeCaption(0) + "]\r\nOld1=old1\r\nOld2=old2\r\nOld3=old3\r\nOld4=old4\r\n");
    dialog->LoadFrom(engine.get());
  }
  ~FieldsImportTest() override { FreeTransEngineFactories(); }

  IntfPtr<TRynExport> engine = MakeIntf<TRynExport>();
  std::unique_ptr<TFormFileds> dialog = std::make_unique<TFormFileds>();
};

TEST_F(FieldsImportTest, ACancelledImportKeepsTheGridAndTheDialogsEndFreesTheRegistries) {
  bool csvOffered = false;
  int wizards = 0;
  {
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      if (&form != &dialog->Window()) {
        // The transfer wizard: the user closes it.
        ++wizards;
        csvOffered = GetTransEngineFactories().FindByName(CsvName()) != nullptr;
        ui::Click(ui::ControlOf<ui::Button>(form, "Button2"));
        return;
      }
      FieldsUser user(form);
      ASSERT_TRUE(user.Menu("导入..."));
      EXPECT_EQ(user.Rows(), (Lines{"Old1=old1", "Old2=old2", "Old3=old3", "Old4=old4"}));
      user.Ok();
    });
    EXPECT_EQ(dialog->ShowModal(), ui::kMrOk);
  }
  EXPECT_EQ(wizards, 1);
  EXPECT_TRUE(csvOffered);
  EXPECT_EQ(engine->ReportInfo().ReadSection(DataTypeCaption(0)),
            (Lines{"Old1=old1", "Old2=old2", "Old3=old3", "Old4=old4"}));

  ASSERT_GT(GetTransEngineFactories().Count(), 0u);
  dialog.reset();
  EXPECT_EQ(GetTransEngineFactories().Count(), 0u);
  EXPECT_TRUE(GetTransScriptHosts().FindByName(NamedHostName()));
  EXPECT_TRUE(ui::Application::Instance().Dialogs().MessageBoxes().empty());
}

TEST_F(FieldsImportTest, AnImportFromTheCsvLibraryFillsTheGridAndReachesTheCatalogue) {
  testing::TempDir dir;
  const std::string file = dir.Path("fields.csv");
  testing::TempDir::Write(file, "heading,field\r\nUnit,DWDM\r\nYear,ND\r\nName,MC\r\n");
  int wizards = 0;
  Lines imported;
  ui::ScopedModalDriver driver([&](ui::Form& form) {
    if (form.Caption() == Ansi("配置向导")) {
      // Choose the source, name its file on the CSV library's own pages, map the grid's
      // two columns to the file's two, finish.
      ++wizards;
      auto& next = ui::ControlOf<ui::Button>(form, "btnNxt");
      ASSERT_TRUE(ui::Select(ui::ControlOf<ui::ComboBox>(form, "cbxImport"), CsvName()));
      ASSERT_TRUE(ui::Click(next));
      ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::ButtonEdit>(form, "edtFile"), file));
      ASSERT_TRUE(ui::Click(next));  // to the preview
      ASSERT_TRUE(ui::Click(next));  // past the last page of the CSV wizard
      auto& relations = ui::ControlOf<ui::ValueListEditor>(form, "edtRelations");
      ASSERT_EQ(relations.RowCount(), 2);
      EXPECT_EQ(relations.Row(0).key, Ansi("名称"));
      EXPECT_EQ(relations.Row(1).key, Ansi("标识"));
      ASSERT_TRUE(ui::EditRowValue(relations, 0, "Import(0)"));
      ASSERT_TRUE(ui::EditRowValue(relations, 1, "Import(1)"));
      ASSERT_TRUE(ui::Click(ui::ControlOf<ui::Button>(form, "btnNxt")));
      return;
    }
    if (&form != &dialog->Window()) {
      ui::ClickCloseBox(form);  // a progress log kept open by a message
      return;
    }
    FieldsUser user(form);
    ASSERT_TRUE(user.Menu("导入..."));
    imported = user.Rows();
    user.Ok();
  });
  EXPECT_EQ(dialog->ShowModal(), ui::kMrOk);
  EXPECT_EQ(wizards, 1);
  // Three records over the four old rows: the one left over is gone.
  const Lines rows{"Unit=DWDM", "Year=ND", "Name=MC"};
  EXPECT_EQ(imported, rows);
  EXPECT_EQ(engine->ReportInfo().ReadSection(DataTypeCaption(0)), rows);
  EXPECT_TRUE(ui::Application::Instance().Dialogs().MessageBoxes().empty());
  dialog.reset();
  EXPECT_EQ(GetTransEngineFactories().Count(), 0u);
  EXPECT_TRUE(GetTransScriptHosts().FindByName(NamedHostName()));
}

}  // namespace
}  // namespace ryn
