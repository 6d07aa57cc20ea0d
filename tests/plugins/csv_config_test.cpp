// The CSV engine's wizard, driven through the exported Config* functions of the real
// library with the wizard embedded in a page of ours: page moves and the host's header,
// every kind of input the first page refuses and what it says, the preview, and that the
// engine changes at ConfigUpdate and only then.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "support/wizard_host.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::OptionsText;
using testing::TempDir;
using testing::WizardHost;

const std::string kLibrary = RYNFILER_CSV_LIBRARY;

std::string Records(char delimiter, int count) {
  std::string text = std::string("name") + delimiter + "qty\r\n";
  for (int i = 1; i <= count; ++i) text += "r" + std::to_string(i) + delimiter + std::to_string(i) + "\r\n";
  return text;
}

class CsvConfigTest : public ::testing::Test {
 protected:
  CsvConfigTest() {
    TempDir::Write(comma, Records(',', 25));
    TempDir::Write(semicolon, Records(';', 3));
  }

  // Opens the wizard and types the file and the delimiter on its first page.
  void OpenWith(const std::string& file, const std::string& delimiter = ",") {
    ASSERT_EQ(host.Open(), 0);
    host.First();
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtFile"), file));
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtDelimiter"), delimiter));
  }

  TempDir dir;
  const std::string comma = dir.Path("comma.csv");
  const std::string semicolon = dir.Path("semicolon.csv");
  WizardHost host{kLibrary};
};

TEST_F(CsvConfigTest, PagesMoveWithinTheWizardAndSetTheHostsHeader) {
  ASSERT_EQ(host.Open(), 0);
  ASSERT_NE(host.config, 0);
  ui::Form* wizard = dynamic_cast<ui::Form*>(host.page->Children().at(0));
  ASSERT_TRUE(wizard);
  EXPECT_EQ(wizard->Bounds(), (ui::Rect{0, 0, host.page->Width(), host.page->Height()})) << "fills the page";

  struct Step {
    void (WizardHost::*move)() const;
    std::string page;
    int32_t bof, eof;
  } const steps[] = {
      {&WizardHost::First, "tsFile", -1, 0},
      {&WizardHost::Previous, "tsFile", -1, 0},  // nothing before the first page
      {&WizardHost::Next, "tsPreview", 0, -1},
      {&WizardHost::Next, "tsPreview", 0, -1},  // nothing after the last
      {&WizardHost::Previous, "tsFile", -1, 0},
      {&WizardHost::Last, "tsPreview", 0, -1},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    (host.*steps[i].move)();
    EXPECT_EQ(host.ShownPage(), steps[i].page) << i;
    EXPECT_EQ(host.IsBOF(), steps[i].bof) << i;
    EXPECT_EQ(host.IsEOF(), steps[i].eof) << i;
  }
  // Every page shown told the host what it is about; moves that went nowhere did not.
  const testing::Statuses::value_type file{Ansi("CSV文件"), Ansi("选择要导入的CSV文件，并说明它的格式")};
  const testing::Statuses::value_type preview{Ansi("CSV文件"), Ansi("数据预览：文件的前20条记录")};
  EXPECT_EQ(host.statuses, (testing::Statuses{file, preview, file, preview}));
  EXPECT_TRUE(host.TakeBoxes().empty()) << "navigation does not check";
}

TEST_F(CsvConfigTest, TheFirstPageRefusesWhatTheEngineCannotRead) {
  const std::string original = host.Options();
  std::filesystem::create_directories(dir.Path("folder"));
  const std::string here = CurrentDirectory() + kPathDelim + "missing-here.csv";
  struct Case {
    std::string file, delimiter;
    std::string text;  // the message, or its beginning when it ends with "："
    uint32_t icon;
    const char* selected;  // the edit whose text is selected for retyping
  };
  std::vector<Case> cases = {
      {"", ",", Ansi("请指定要导入的CSV文件！"), ui::kMbIconInformation, "edtFile"},
      {"   ", ",", Ansi("请指定要导入的CSV文件！"), ui::kMbIconInformation, "edtFile"},
      {dir.Path("missing.csv"), ",", Ansi("文件“") + dir.Path("missing.csv") + Ansi("”不存在！"), ui::kMbIconWarning,
       "edtFile"},
      // A bare name is looked for in the current directory.
      {"missing-here.csv", ",", Ansi("文件“") + here + Ansi("”不存在！"), ui::kMbIconWarning, "edtFile"},
      {dir.Path("folder"), ",", Ansi("文件“") + dir.Path("folder") + Ansi("”不存在！"), ui::kMbIconWarning, "edtFile"},
      {comma, "", Ansi("分隔符无效！分隔符只能是一个英文字符（引号除外），制表符请写作TAB。"), ui::kMbIconWarning,
       "edtDelimiter"},
      {comma, "\"", Ansi("分隔符无效！分隔符只能是一个英文字符（引号除外），制表符请写作TAB。"), ui::kMbIconWarning,
       "edtDelimiter"},
      {comma, ";;", Ansi("分隔符无效！分隔符只能是一个英文字符（引号除外），制表符请写作TAB。"), ui::kMbIconWarning,
       "edtDelimiter"},
      {comma, Ansi("，"), Ansi("分隔符无效！分隔符只能是一个英文字符（引号除外），制表符请写作TAB。"), ui::kMbIconWarning,
       "edtDelimiter"},
  };
#ifndef _WIN32
  // Opens, but no byte of it can be read: the engine says why.
  cases.push_back({"/proc/self/mem", ",", Ansi("CSV文件“/proc/self/mem”无法读取："), ui::kMbIconWarning, "edtFile"});
#endif
  ASSERT_EQ(host.Open(), 0);
  host.First();
  for (const auto& c : cases) {
    auto& file = host.Get<ui::ButtonEdit>("edtFile");
    auto& delimiter = host.Get<ui::Edit>("edtDelimiter");
    ASSERT_TRUE(ui::ReplaceText(file, c.file));
    ASSERT_TRUE(ui::ReplaceText(delimiter, c.delimiter));
    SCOPED_TRACE(c.file + " / " + c.delimiter);
    EXPECT_EQ(host.Check(), -1);
    auto boxes = host.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    if (c.text.ends_with(Ansi("："))) {
      EXPECT_TRUE(boxes[0].text.starts_with(c.text)) << boxes[0].text;
      EXPECT_GT(boxes[0].text.size(), c.text.size()) << "the reason follows";
    } else {
      EXPECT_EQ(boxes[0].text, c.text);
    }
    EXPECT_EQ(boxes[0].caption, Ansi("提示"));
    EXPECT_EQ(boxes[0].flags, ui::kMbOk | c.icon);
    const auto& edit = host.Get<ui::Edit>(c.selected);
    EXPECT_EQ(edit.SelLength(), static_cast<int>(edit.Text().size()));
    EXPECT_EQ(host.ShownPage(), "tsFile");
  }
  // A tab written as TAB, in any letter case, is a delimiter.
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtFile"), comma));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtDelimiter"), "tab"));
  EXPECT_EQ(host.Check(), 0);
  EXPECT_TRUE(host.TakeBoxes().empty());
  EXPECT_EQ(host.Options(), original) << "nothing reached the engine";
  EXPECT_TRUE(host.messages.empty()) << "the engine's own sink heard nothing of the checks";
}

TEST_F(CsvConfigTest, ThePreviewShowsTheFirstRecordsAndUpdateWritesTheSettings) {
  OpenWith(comma);
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  auto& preview = host.Get<ui::ListView>("lvPreview");
  ASSERT_EQ(preview.Columns().size(), 2u);
  EXPECT_EQ(preview.Columns()[0].caption, "name");
  EXPECT_EQ(preview.Columns()[1].caption, "qty");
  ASSERT_EQ(preview.ItemCount(), 20) << "the first 20 of 25 records";
  EXPECT_EQ(preview.Item(0).caption, "r1");
  EXPECT_EQ(preview.Item(0).subItems, std::vector<std::string>{"1"});
  EXPECT_EQ(preview.Item(19).caption, "r20");

  // Back on the first page with another file, delimiter and every switch changed.
  host.Previous();
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtFile"), semicolon));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtDelimiter"), ";"));
  ASSERT_TRUE(ui::Select(host.Get<ui::ComboBox>("cbHeaderRow"), Ansi("否")));
  ASSERT_TRUE(ui::Select(host.Get<ui::ComboBox>("cbEncoding"), "GB18030"));
  ASSERT_TRUE(ui::Select(host.Get<ui::ComboBox>("cbInferTypes"), 1));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  ASSERT_EQ(preview.Columns().size(), 2u) << "the columns are the new file's";
  EXPECT_EQ(preview.Columns()[0].caption, Ansi("列(0)")) << "no heading: default names";
  ASSERT_EQ(preview.ItemCount(), 4);
  EXPECT_EQ(preview.Item(0).caption, "name");

  // The engine copy is reachable by handle while the wizard is open.
  const RynHandle port = host.Port();
  ASSERT_NE(port, 0);
  EXPECT_NE(port, host.engine);
  EXPECT_EQ(host.FieldCount(port), 2);
  EXPECT_EQ(host.Check(), 0) << "the preview page has nothing to refuse";

  const std::string before = host.Options();
  host.Update();
  const std::string expected = OptionsText(
      {{"文件名", semicolon}, {"分隔符", ";"}, {"列名行", "0"}, {"编码", "GB18030"}, {"类型推断", "1"}});
  EXPECT_NE(before, expected);
  EXPECT_EQ(host.Options(), expected);
  EXPECT_EQ(host.FieldCount(host.engine), 2) << "the engine opened the file with its new settings";

  const ui::WindowHandle wizard = host.page->Children().at(0)->Handle();
  host.Fina();
  EXPECT_TRUE(host.page->Children().empty()) << "detached from the page";
  EXPECT_EQ(ui::Application::Instance().FindWindow(wizard), nullptr) << "freed with its last reference";
  // The released handle, and the handle of the copy, answer their failure values.
  EXPECT_EQ(host.IsBOF(), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(host.IsEOF(), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(host.Check(), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(host.Port(), 0);
  EXPECT_EQ(host.FieldCount(port), 0);
  host.Update();  // nothing happens
  EXPECT_EQ(host.Options(), expected);
}

TEST_F(CsvConfigTest, TheWizardShowsTheEnginesSettingsAndFinaWithoutUpdateKeepsThem) {
  const std::string settings =
      OptionsText({{"文件名", semicolon}, {"分隔符", "TAB"}, {"列名行", "0"}, {"编码", "latin1"}, {"类型推断", "1"}});
  ASSERT_EQ(host.SetOptions(settings), 0);
  const std::string original = host.Options();
  ASSERT_EQ(host.Open(), 0);
  host.First();
  EXPECT_EQ(host.Get<ui::ButtonEdit>("edtFile").Text(), semicolon);
  EXPECT_EQ(host.Get<ui::Edit>("edtDelimiter").Text(), "TAB");
  EXPECT_EQ(host.Get<ui::ComboBox>("cbHeaderRow").Text(), Ansi("否"));
  EXPECT_EQ(host.Get<ui::ComboBox>("cbEncoding").Text(), "latin1") << "an encoding not offered is added";
  EXPECT_EQ(host.Get<ui::ComboBox>("cbInferTypes").ItemIndex(), 1);

  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtFile"), comma));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtDelimiter"), ","));
  ASSERT_TRUE(ui::Select(host.Get<ui::ComboBox>("cbEncoding"), Ansi("自动")));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  EXPECT_EQ(host.Get<ui::ListView>("lvPreview").ItemCount(), 20);
  EXPECT_EQ(host.Options(), original) << "checked pages go into the copy only";
  host.Fina();
  EXPECT_EQ(host.Options(), original);
}

TEST_F(CsvConfigTest, TheEllipsisChoosesAnExistingFile) {
  ASSERT_EQ(host.Open(), 0);
  host.First();
  auto& file = host.Get<ui::ButtonEdit>("edtFile");
  auto& dialogs = ui::Application::Instance().Dialogs();
  dialogs.ScriptOpenFileName(comma);
  dialogs.ScriptOpenFileName(std::nullopt);
  ASSERT_TRUE(ui::ClickEllipsis(file));
  EXPECT_EQ(file.Text(), comma);
  ASSERT_TRUE(ui::ClickEllipsis(file));
  EXPECT_EQ(file.Text(), comma) << "cancelled: the name stays";
  ASSERT_EQ(dialogs.OpenDialogs().size(), 2u);
  EXPECT_EQ(dialogs.OpenDialogs()[1].initialName, comma) << "the dialog starts at the named file";
  EXPECT_EQ(dialogs.OpenDialogs()[0].filter, Ansi("CSV文件(*.csv)|*.csv|文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"));
}

TEST_F(CsvConfigTest, AWizardOutlivingItsEngineStaysSafe) {
  OpenWith(comma);
  EXPECT_EQ(host.Check(), 0);
  host.CloseEngine();  // a host that ends the engine first
  host.Next();
  host.Update();
  EXPECT_EQ(host.Get<ui::ListView>("lvPreview").ItemCount(), 20);
  host.Fina();
}

}  // namespace
}  // namespace ryn
