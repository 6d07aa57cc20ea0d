// A whole transfer as a user makes it: the transfer wizard with the CSV engine library's own
// configuration wizard embedded on its page, the exchange file engine as the fixed
// destination, the mapping typed into the relations list, then the run in the progress
// log window, all driven headless, ending in the exchange file.
#include <gtest/gtest.h>

#include <string>

#include "expr/common_functions.h"
#include "libengineport/lib_factory.h"
#include "platform/codepage.h"
#include "rynengine/rynexport.h"
#include "support/temp_dir.h"
#include "transfer/trans_frame.h"
#include "transport/registries.h"
#include "ui/dialogs.h"
#include "support/ui_driver.h"

namespace ryn {
namespace {

class FullRunTest : public ::testing::Test {
 protected:
  FullRunTest() {
    ui::Application::Instance().Dialogs().Reset();
    FreeTransEngineFactories();
    RegisterLibraryEngines(std::string(RYNFILER_ENGINE_DIR));
  }
  ~FullRunTest() override {
    FreeTransEngineFactories();
    ui::Application::Instance().Dialogs().Reset();
  }

  TCommonFunctionsRegistration common;
  testing::TempDir dir;
};

ui::PageControl& Pages(ui::Form& form) { return ui::ControlOf<ui::PageControl>(form, "pcWise"); }
std::string ActivePage(ui::Form& form) {
  ui::Page* page = Pages(form).ActivePage();
  return page ? page->Name() : "";
}

TEST_F(FullRunTest, WizardWithTheCsvLibrarysPagesThenTheLogWindowWriteTheExchangeFile) {
  const std::string csv = dir.Path("in.csv");
  testing::TempDir::Write(csv, "code;name;amount\r\n1;\"a;b\";10\r\n2;c;-3.5\r\n3;d;0\r\n");
  const std::string out = dir.Path("out.ryn");
  auto dest = MakeIntf<TRynExport>();
  // The catalogue offers the columns, so the engine's own wizard (when it has one) can pass.
  dest->SetReportInfoText("[" + Ansi("浮动数据") + "]\r\n" + Ansi("代码=DM\r\n名称=MC\r\n金额=JE\r\n"));
  ASSERT_EQ(dest->SetOptions(Ansi("单位标识=U1;年度=2024;报表类型=N;时期=3;数据类型=1;文件名=") + out +
                             Ansi(";选择列={代码=DM\r\n名称=MC\r\n金额=JE}")),
            0);

  std::vector<std::string> pagesSeen;
  int previewRows = -1;
  std::string logSummary;  // UTF-8, as the log window showed it at the end
  {
    TTransFrame frame;
    frame.SetExportEngine(dest.get(), false);
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      if (form.Caption() != Ansi("配置向导")) {
        logSummary = ToUtf8(ui::ControlOf<ui::Label>(form, "lbSummary").Caption());
        ui::ClickCloseBox(form);
        return;
      }
      auto& next = ui::ControlOf<ui::Button>(form, "btnNxt");
      ASSERT_TRUE(ui::Select(ui::ControlOf<ui::ComboBox>(form, "cbxImport"), Ansi("CSV文件")));
      ASSERT_TRUE(ui::Click(next));
      // The CSV library's wizard, embedded in the page through the exported functions.
      ASSERT_EQ(ActivePage(form), "TabConfSrc");
      ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::ButtonEdit>(form, "edtFile"), csv));
      ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::Edit>(form, "edtDelimiter"), ";"));
      ASSERT_TRUE(ui::Click(next));
      ASSERT_EQ(ActivePage(form), "TabConfSrc");
      previewRows = ui::ControlOf<ui::ListView>(form, "lvPreview").ItemCount();
      // On through whatever the destination offers to the relations.
      for (int i = 0; i < 8 && ActivePage(form) != "TabRelation"; ++i) {
        pagesSeen.push_back(ActivePage(form));
        ASSERT_TRUE(ui::Click(next));
      }
      ASSERT_EQ(ActivePage(form), "TabRelation");
      auto& rows = ui::ControlOf<ui::ValueListEditor>(form, "edtRelations");
      ASSERT_EQ(rows.RowCount(), 3);
      EXPECT_EQ(rows.Row(2).key, "JE");
      ASSERT_TRUE(ui::EditRowValue(rows, 0, "Import(0)"));
      ASSERT_TRUE(ui::EditRowValue(rows, 1, "Import(1)"));
      ASSERT_TRUE(ui::EditRowValue(rows, 2, "Import(2)"));
      ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::Edit>(form, "edtFilter"), "Import(0) <> \"2\""));
      ASSERT_TRUE(ui::Click(next));  // 完成
    });
    ASSERT_TRUE(frame.ShowWizard());
    frame.Execute();
  }
  EXPECT_EQ(previewRows, 3);
  EXPECT_FALSE(pagesSeen.empty());
  EXPECT_EQ(logSummary, "读取3条，写入2条，筛除1条，拒绝0条，0个值有变化");
  for (const auto& box : ui::Application::Instance().Dialogs().MessageBoxes()) ADD_FAILURE() << box.text;
  dest->Fina();
  EXPECT_EQ(testing::TempDir::Read(out),
            "@\r\n" + Ansi("代码\t名称\t金额") + "\r\nU1\t2024\tN\t3\t1\ta;b\t10\r\nU1\t2024\tN\t3\t3\td\t0\r\n@@");
}

}  // namespace
}  // namespace ryn
