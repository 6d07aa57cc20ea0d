// The Excel engine's wizard, driven through the exported Config* functions of the real
// library: the file page refusing what is no workbook, the sheet list read from the
// workbook, the sheet page refusing rows the engine refuses, the preview, and the engine
// changing at ConfigUpdate only, a cleared range cleared there too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "plugins/xlsx_package.h"
#include "support/temp_dir.h"
#include "support/wizard_host.h"

namespace ryn {
namespace {

using testing::OptionsText;
using testing::TempDir;
using testing::WizardHost;

const std::string kLibrary = RYNFILER_XLSX_LIBRARY;

std::vector<std::string> Items(const ui::ListBox& list) {
  std::vector<std::string> items;
  for (const auto& item : list.Items()) items.push_back(item.text);
  return items;
}

class XlsxConfigTest : public ::testing::Test {
 protected:
  XlsxConfigTest() {
    std::string people = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>name</t></is></c>"
                         "<c r=\"B1\" t=\"inlineStr\"><is><t>age</t></is></c></row>";
    for (int i = 1; i <= 25; ++i)
      people += "<row r=\"" + std::to_string(i + 1) + "\"><c r=\"A" + std::to_string(i + 1) +
                "\" t=\"inlineStr\"><is><t>p" + std::to_string(i) + "</t></is></c><c r=\"B" + std::to_string(i + 1) +
                "\"><v>" + std::to_string(i) + "</v></c></row>";
    testing::WriteZip(book, testing::Workbook({{"封面", "", "A1"}, {"people", people, "A1:B26"}}));
    TempDir::Write(text, "name,qty\r\n");
  }

  void OpenAt(const std::string& file) {
    ASSERT_EQ(host.Open(), 0);
    host.First();
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtFile"), file));
    ASSERT_EQ(host.Check(), 0);
    host.Next();
  }

  TempDir dir;
  const std::string book = dir.Path("book.xlsx");
  const std::string text = dir.Path("text.xlsx");
  WizardHost host{kLibrary};
};

TEST_F(XlsxConfigTest, TheFilePageRefusesWhatIsNoWorkbookAndListsTheSheets) {
  struct Case {
    std::string file;
    std::string text;
    uint32_t icon;
  } const cases[] = {
      {"", Ansi("请指定要导入的Excel文件！"), ui::kMbIconInformation},
      {dir.Path("missing.xlsx"), Ansi("文件“") + dir.Path("missing.xlsx") + Ansi("”不存在！"), ui::kMbIconWarning},
      {text, Ansi("文件“") + text + Ansi("”不是Excel工作簿，或者无法读取：不是xlsx工作簿（不是zip文件）"), ui::kMbIconWarning},
  };
  ASSERT_EQ(host.Open(), 0);
  host.First();
  EXPECT_EQ(host.statuses.back(), std::make_pair(Ansi("Excel文件"), Ansi("选择要导入的Excel工作簿")));
  auto& edit = host.Get<ui::ButtonEdit>("edtFile");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(ui::ReplaceText(edit, c.file));
    EXPECT_EQ(host.Check(), -1);
    auto boxes = host.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].flags, ui::kMbOk | c.icon);
    EXPECT_EQ(host.ShownPage(), "tsFile");
  }
  ASSERT_TRUE(ui::ReplaceText(edit, book));
  EXPECT_EQ(host.Check(), 0);
  auto& sheets = host.Get<ui::ListBox>("lbSheets");
  EXPECT_EQ(Items(sheets), (std::vector<std::string>{Ansi("封面"), "people"})) << "in workbook order";
  EXPECT_EQ(sheets.ItemIndex(), 0);
}

TEST_F(XlsxConfigTest, TheSheetPageTakesRowsTheEngineAcceptsAndUpdateWritesThem) {
  OpenAt(book);
  auto& sheets = host.Get<ui::ListBox>("lbSheets");
  ASSERT_TRUE(ui::Select(sheets, sheets.IndexOf("people")));
  auto& range = host.Get<ui::Edit>("edtRange");
  ASSERT_TRUE(ui::ReplaceText(range, "A1:"));
  EXPECT_EQ(host.Check(), -1);
  auto boxes = host.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Ansi("选项“区域”的值“A1:”无效"));
  EXPECT_EQ(host.ShownPage(), "tsSheet");

  ASSERT_TRUE(ui::ReplaceText(range, "A1:A100"));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtFirstDataRow"), "5"));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  auto& preview = host.Get<ui::ListView>("lvPreview");
  ASSERT_EQ(preview.Columns().size(), 1u);
  EXPECT_EQ(preview.Columns()[0].caption, "name");
  ASSERT_EQ(preview.ItemCount(), 20);
  EXPECT_EQ(preview.Item(0).caption, "p4");

  EXPECT_EQ(host.FieldCount(host.engine), 0) << "the engine is untouched so far";
  host.Update();
  EXPECT_EQ(host.Options(), OptionsText({{"文件", book}, {"工作表", "people"}, {"列名行", ""}, {"数据起始行", "5"},
                                         {"区域", "A1:A100"}}));
  EXPECT_EQ(host.FieldCount(host.engine), 1);
  host.Fina();
}

TEST_F(XlsxConfigTest, ARangeClearedInTheWizardIsClearedInTheEngine) {
  ASSERT_EQ(host.SetOptions(OptionsText({{"文件", book}, {"工作表", "2"}, {"区域", "B1:B26"}})), 0);
  ASSERT_EQ(host.Open(), 0);
  host.First();
  EXPECT_EQ(host.Get<ui::ButtonEdit>("edtFile").Text(), book);
  auto& sheets = host.Get<ui::ListBox>("lbSheets");
  EXPECT_EQ(sheets.ItemIndex(), 1) << "a sheet chosen by its number is shown by its name";
  EXPECT_EQ(host.Get<ui::Edit>("edtRange").Text(), "B1:B26");
  ASSERT_EQ(host.Check(), 0);
  host.Next();
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtRange"), ""));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  EXPECT_EQ(host.Get<ui::ListView>("lvPreview").Columns().size(), 2u);
  host.Update();
  EXPECT_EQ(host.FieldCount(host.engine), 2);
  EXPECT_EQ(host.Options(), OptionsText({{"文件", book}, {"工作表", "people"}, {"列名行", ""}, {"数据起始行", ""},
                                         {"区域", ""}}));
  host.Fina();
}

}  // namespace
}  // namespace ryn
