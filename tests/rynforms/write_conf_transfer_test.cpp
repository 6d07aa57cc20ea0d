// The exchange file engine's wizard inside the transfer wizard, end to end: the CSV library
// as source, the exchange file engine chosen as destination, "维护" importing the field
// catalogue from another CSV file, the imported fields selected and mapped, and the
// transfer writing the records with them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rynforms/fields_dialog_user.h"
#include "libengineport/lib_factory.h"
#include "rynengine/rynexport.h"
#include "rynforms/write_conf.h"
#include "support/recording_events.h"
#include "support/temp_dir.h"
#include "transfer/trans_frame.h"
#include "transport/registries.h"
#include "ui/dialogs.h"
#include "support/ui_driver.h"

namespace ryn {
namespace {

using testing::Lines;
using testing::TempDir;

// The exchange file engine as a factory of this process, with its wizard, as librynfiler's
// start-up sets it up.
class RynFactory final : public TInterfacedObject, public virtual ITransEngineFactory {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEngineFactory>(this, iid, obj);
  }
  std::string GetName() override { return RynEngineName(); }
  int32_t GetEngineTypes() override { return kDirectionDestination; }
  std::string GetDescription() override { return RynEngineDescription(); }
  IntfPtr<ITransEngine> CreateEngine() override { return MakeIntf<TRynExport>(); }
};

class WriteConfTransferTest : public ::testing::Test {
 protected:
  WriteConfTransferTest() {
    InstallRynConfigWizard();
    ui::Application::Instance().Dialogs().Reset();
    FreeTransEngineFactories();
  }
  ~WriteConfTransferTest() override {
    FreeTransEngineFactories();
    ui::Application::Instance().Dialogs().Reset();
  }

  template <class T>
  static T& Get(ui::Form& form, const char* name) {
    return ui::ControlOf<T>(form, name);
  }
  // The dialog's header: caption, then text.
  static Lines Header(ui::Form& form) {
    return {Get<ui::Label>(form, "LbCaption").Caption(), Get<ui::Label>(form, "LbText").Caption()};
  }
  static bool Next(ui::Form& form) { return ui::Click(Get<ui::Button>(form, "btnNxt")); }
  // The CSV library's own wizard on the source configuration page: the file, then past
  // its preview.
  static void ConfigureCsv(ui::Form& form, const std::string& file) {
    ASSERT_TRUE(ui::Select(Get<ui::ComboBox>(form, "cbxImport"), Ansi("CSV文件")));
    ASSERT_TRUE(Next(form));
    ASSERT_TRUE(ui::ReplaceText(Get<ui::ButtonEdit>(form, "edtFile"), file));
    ASSERT_TRUE(Next(form));
    ASSERT_TRUE(Next(form));
  }
  // Maps every relation row by its name.
  static void Map(ui::Form& form, const std::vector<std::pair<std::string, std::string>>& rows) {
    auto& relations = Get<ui::ValueListEditor>(form, "edtRelations");
    ASSERT_EQ(relations.RowCount(), static_cast<int>(rows.size()));
    for (int i = 0; i < relations.RowCount(); ++i) {
      EXPECT_EQ(relations.Row(i).key, rows[static_cast<size_t>(i)].first);
      ASSERT_TRUE(ui::EditRowValue(relations, i, rows[static_cast<size_t>(i)].second));
    }
    ASSERT_TRUE(Next(form));
  }

  TempDir dir;
};

TEST_F(WriteConfTransferTest, TheCatalogueImportedThroughMaintenanceFeedsTheExport) {
  const std::string data = dir.Path("data.csv");
  const std::string catalogue = dir.Path("fields.csv");
  const std::string out = dir.Path("out.Ryn");
  TempDir::Write(data, "unit,amount\r\nU1,10\r\nU2,20\r\n");
  TempDir::Write(catalogue, "heading,field\r\nUnit,DWDM\r\nAmount,JE\r\n");
  auto csv = MakeIntf<TLibITransEngineFactory>();
  ASSERT_TRUE(csv->Load(std::string(RYNFILER_ENGINE_DIR) + "/librynfiler_csv.so"));
  ASSERT_GE(GetTransEngineFactories().Register(csv.get()), 0);
  auto ryn = MakeIntf<RynFactory>();
  ASSERT_GE(GetTransEngineFactories().Register(ryn.get()), 0);

  int wizards = 0;
  Lines imported, listed;
  auto outer = [&](ui::Form& form) {
    ConfigureCsv(form, data);
    // The only destination, already chosen.
    auto& destinations = Get<ui::ComboBox>(form, "cbxExport");
    ASSERT_TRUE(destinations.Showing());
    EXPECT_EQ(destinations.Text(), RynEngineName());
    EXPECT_EQ(Header(form), (Lines{Ansi("选择存储目标"), Ansi("选择您将把数据导出到那里去。")}));
    ASSERT_TRUE(Next(form));
    // The exchange file engine's wizard, from its first page; each page heads the dialog.
    EXPECT_EQ(Header(form), (Lines{RynEngineName(), Ansi("指定要写入的网络报表Ryn文件")}));
    ASSERT_TRUE(ui::ReplaceText(Get<ui::ButtonEdit>(form, "edtpath"), out));
    ASSERT_TRUE(Next(form));
    EXPECT_EQ(Header(form),
              (Lines{RynEngineName(), Ansi("填写报表标识：单位代码、年度、报表类型和时期，它们写在每条记录的前面")}));
    ASSERT_TRUE(ui::ReplaceText(Get<ui::Edit>(form, "edtCode"), "0001"));
    ASSERT_TRUE(ui::ReplaceText(Get<ui::Edit>(form, "edtyear"), "2024"));
    ASSERT_TRUE(ui::Select(Get<ui::ComboBox>(form, "cbRepType"), Ansi("月")));
    ASSERT_TRUE(ui::ReplaceText(Get<ui::Edit>(form, "edtPeriod"), "6"));
    ASSERT_TRUE(Next(form));
    EXPECT_EQ(Header(form), (Lines{RynEngineName(), Ansi("选择报表数据类型及要导出的字段")}));
    ASSERT_TRUE(ui::Click(Get<ui::Button>(form, "WZButton5")));  // "维护"
    auto& list = Get<ui::ListView>(form, "lvList");
    for (int i = 0; i < list.ItemCount(); ++i) listed.push_back(list.Item(i).caption);
    ASSERT_TRUE(ui::Click(Get<ui::Button>(form, "WZButton1")));  // ">>"
    ASSERT_TRUE(Next(form));
    // The destination's fields are the selected columns' field names.
    Map(form, {{"JE", "Import(1)"}, {"DWDM", "Import(0)"}});
  };
  ui::ScopedModalDriver driver([&](ui::Form& form) {
    if (form.Caption() == Ansi("配置向导")) {
      if (++wizards == 1) {
        outer(form);
      } else {
        // The import of "导入...": the grid's two columns from the catalogue file.
        ConfigureCsv(form, catalogue);
        Map(form, {{Ansi("名称"), "Import(0)"}, {Ansi("标识"), "Import(1)"}});
      }
    } else if (form.Caption() == Ansi("导出字段设置")) {
      testing::FieldsUser user(form);
      ASSERT_TRUE(user.Menu("导入..."));
      imported = user.Rows();
      ASSERT_TRUE(user.Ok());
    } else {
      ui::ClickCloseBox(form);  // a progress log kept open by a message
    }
  });

  auto events = MakeIntf<testing::RecordingEvents>();
  {
    TTransFrame frame;
    frame.SetEvents(events.get());
    ASSERT_TRUE(frame.ShowWizard());
    frame.Execute();
  }
  EXPECT_EQ(wizards, 2);
  EXPECT_EQ(imported, (Lines{"Unit=DWDM", "Amount=JE"}));
  EXPECT_EQ(listed, (Lines{"Amount", "Unit"}));
  EXPECT_TRUE(events->messages.empty()) << events->messages.front().second;
  EXPECT_TRUE(ui::Application::Instance().Dialogs().MessageBoxes().empty())
      << ui::Application::Instance().Dialogs().MessageBoxes().front().text;
  const std::string written = TempDir::Read(out);
  EXPECT_NE(written.find("0001\t2024\tY\t6\t10\tU1"), std::string::npos) << written;
  EXPECT_NE(written.find("0001\t2024\tY\t6\t20\tU2"), std::string::npos) << written;
}

}  // namespace
}  // namespace ryn
