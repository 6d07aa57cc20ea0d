// The exchange file engine's wizard driven through the exported Config* functions, embedded
// in a page of ours: page moves, the file page's checks, the report identity, and that the
// engine changes at ConfigUpdate and only then, even when the host ends the engine first.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "rynengine/rynexport.h"
#include "rynforms/exchange_host.h"
#include "rynforms/write_conf.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::ExchangeHost;
using testing::ExportOptions;
using testing::TempDir;

// The engine lives a floor below its wizard: an in-process host installs the maker, as
// the library's start-up does, and gets a wizard of its own for each request.
TEST(WriteConfTest, TheEngineAnswersWithANewWizardOnceTheMakerIsInstalled) {
  IntfPtr<ITransEngine> engine = MakeIntf<TRynExport>();
  InstallRynConfigWizard();
  IntfPtr<IEngineConfig> first = engine->GetConfig();
  IntfPtr<IEngineConfig> second = engine->GetConfig();
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.get(), second.get());
}

TEST(WriteConfTest, OpensOnTheFieldsPageAndMovesWithinItsThreePages) {
  ExchangeHost host;
  ASSERT_EQ(host.Open(), RYN_OK);
  ASSERT_NE(host.config, 0);
  ASSERT_EQ(host.page->Children().size(), 1u);
  const ui::Control* wizard = host.page->Children()[0];
  EXPECT_EQ(wizard->Bounds(), (ui::Rect{0, 0, host.page->Width(), host.page->Height()})) << "fills the page";
  EXPECT_TRUE(wizard->Showing());

  // Each page shown sends its own header to the engine's sink (a transfer wizard's
  // header); a move that stays sends nothing.
  const char* const headers[] = {"指定要写入的网络报表Ryn文件",
                                  "填写报表标识：单位代码、年度、报表类型和时期，它们写在每条记录的前面",
                                  "选择报表数据类型及要导出的字段"};
  struct Step {
    void (*move)(RynHandle);
    const char* page;
    int32_t bof, eof;
    int header;  // index into headers; -1: no header sent
  } const steps[] = {
      {nullptr, "WZTabSheet2", 0, -1, -1},  // not moved yet: the fields page
      {&ConfigNext, "WZTabSheet2", 0, -1, -1},
      {&ConfigFirst, "WZTabSheet1", -1, 0, 0},
      {&ConfigPrevious, "WZTabSheet1", -1, 0, -1},
      {&ConfigNext, "WZTabSheet3", 0, 0, 1},
      {&ConfigNext, "WZTabSheet2", 0, -1, 2},
      {&ConfigNext, "WZTabSheet2", 0, -1, -1},
      {&ConfigPrevious, "WZTabSheet3", 0, 0, 1},
      {&ConfigLast, "WZTabSheet2", 0, -1, 2},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    host.statuses.clear();
    if (steps[i].move) steps[i].move(host.config);
    EXPECT_EQ(host.ShownPage(), steps[i].page) << i;
    EXPECT_EQ(ConfigIsBOF(host.config), steps[i].bof) << i;
    EXPECT_EQ(ConfigIsEOF(host.config), steps[i].eof) << i;
    testing::Statuses expected;
    if (steps[i].header >= 0) expected.emplace_back(Ansi("Ryn文件"), Ansi(headers[steps[i].header]));
    EXPECT_EQ(host.statuses, expected) << i;
  }
  EXPECT_TRUE(host.TakeBoxes().empty()) << "navigation does not check";

  const ui::WindowHandle window = wizard->Handle();
  host.Fina();
  EXPECT_TRUE(host.page->Children().empty()) << "detached from the page";
  EXPECT_EQ(ui::Application::Instance().FindWindow(window), nullptr) << "freed with its handle";
  EXPECT_EQ(ConfigIsBOF(host.config), RYN_E_WIZARD_HANDLE);
}

TEST(WriteConfTest, TheFilePageRefusesWhatNamesNoFileAndStoresTheFullPath) {
  TempDir dir;
  std::filesystem::create_directories(dir.Path("folder"));
  const std::string cwd = CurrentDirectory();
  struct Case {
    std::string typed;
    std::string stored;  // empty: refused
  } const cases[] = {
      {"", ""},
      {"   ", ""},
      {"out?.Ryn", ""},
      {dir.Path("a*b.Ryn"), ""},
      {dir.Path("a|b.Ryn"), ""},
      {dir.Path("a<b>.Ryn"), ""},
      {dir.Path("a\"b.Ryn"), ""},
      {"c:/data/out.Ryn", ""},  // no drive prefix here: a colon is refused anywhere
      {dir.Path("folder"), ""},
      {dir.Path("new") + "/", ""},
      {"report.Ryn", cwd + "/report.Ryn"},
      {"sub/../other.Ryn", cwd + "/other.Ryn"},
      {dir.Path("missing/deeper/out.Ryn"), dir.Path("missing/deeper/out.Ryn")},  // checked when written
      {dir.Path(Ansi("报表") + ".Ryn"), dir.Path(Ansi("报表") + ".Ryn")},
  };
  ExchangeHost host;
  ASSERT_EQ(host.Open(), RYN_OK);
  ConfigFirst(host.config);
  auto& edit = host.Get<ui::ButtonEdit>("edtpath");
  for (const auto& c : cases) {
    SCOPED_TRACE("[" + c.typed + "]");
    ASSERT_TRUE(ui::ReplaceText(edit, c.typed));
    if (c.stored.empty()) {
      EXPECT_EQ(ConfigCheckSucceed(host.config), -1);
      auto boxes = host.TakeBoxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, Ansi("无效的文件名!"));
      EXPECT_EQ(boxes[0].caption, Ansi("提示"));
      EXPECT_EQ(boxes[0].flags, ui::kMbOk | ui::kMbIconWarning);
      EXPECT_EQ(edit.SelLength(), static_cast<int>(edit.Text().size())) << "selected for retyping";
      EXPECT_EQ(host.ShownPage(), "WZTabSheet1");
      EXPECT_EQ(host.Work().count("文件名"), 0u);
    } else {
      EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
      EXPECT_TRUE(host.TakeBoxes().empty());
      EXPECT_EQ(host.Work()["文件名"], c.stored);
      EXPECT_FALSE(std::filesystem::exists(c.stored)) << "the name alone: nothing is opened";
    }
  }
  EXPECT_EQ(host.Engine().count("文件名"), 0u) << "the engine waits for ConfigUpdate";
}

TEST(WriteConfTest, TheEllipsisChoosesTheFileToSaveTo) {
  ExchangeHost host;
  ASSERT_EQ(host.Open(), RYN_OK);
  ConfigFirst(host.config);
  auto& edit = host.Get<ui::ButtonEdit>("edtpath");
  auto& dialogs = ui::Application::Instance().Dialogs();
  dialogs.ScriptSaveFileName("/data/chosen");
  dialogs.ScriptSaveFileName(std::nullopt);
  ASSERT_TRUE(ui::ClickEllipsis(edit));
  EXPECT_EQ(edit.Text(), "/data/chosen.Ryn") << "the default extension is added";
  ASSERT_TRUE(ui::ClickEllipsis(edit));
  EXPECT_EQ(edit.Text(), "/data/chosen.Ryn") << "cancelled: the name stays";
  ASSERT_EQ(dialogs.SaveDialogs().size(), 2u);
  EXPECT_EQ(dialogs.SaveDialogs()[0].filter, Ansi("网络报表Ryn文件(*.Ryn)|*.Ryn|所有文件(*.*)|*.*"));
  EXPECT_EQ(dialogs.SaveDialogs()[1].initialName, "/data/chosen.Ryn");
}

TEST(WriteConfTest, TheIdentityPageShowsTheEnginesReportTypeAndStoresItsCode) {
  struct Case {
    const char* type;      // the engine's report type, as an options value (nullptr: none)
    const char* shown;     // cbRepType's text
    const char* choose;    // then chosen by the user (nullptr: left)
    const char* stored;    // the code the working copy gets
  } const cases[] = {
      {nullptr, "不定期", nullptr, "B"},
      {"Y", "月", nullptr, "Y"},
      {"Q", "不定期", nullptr, "B"},
      {"N", "年", "季度", "J"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    ExchangeHost host;
    if (c.type) {
      ASSERT_EQ(EngineSetOptions(host.engine, (Ansi("报表类型") + "=" + c.type).c_str()), 0x10001003);
    }
    ASSERT_EQ(host.Open(), RYN_OK);
    auto& box = host.Get<ui::ComboBox>("cbRepType");
    ASSERT_EQ(box.ItemCount(), 8);
    EXPECT_EQ(box.Text(), Ansi(c.shown));
    ConfigFirst(host.config);
    ConfigNext(host.config);
    if (c.choose) {
      ASSERT_TRUE(ui::Select(box, Ansi(c.choose)));
    }
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtCode"), "0001"));
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtyear"), "2024"));
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtPeriod"), "1"));
    EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
    EXPECT_EQ(host.Work()["报表类型"], c.stored);
  }
}

// Every record carries the identity, so none of its values may be left blank: the first
// blank one is named, the page stays with the focus in that field, and the working copy
// keeps what it had.
TEST(WriteConfTest, TheIdentityPageRefusesABlankValueAndNamesIt) {
  struct Case {
    const char* code;
    const char* year;
    const char* period;
    const char* refusal;  // UTF-8; nullptr: accepted
    const char* focused;  // the field that has the focus after the refusal
  } const cases[] = {
      {"", "2024", "6", "请填写单位代码！", "edtCode"},
      {"   ", "2024", "6", "请填写单位代码！", "edtCode"},
      {"D00000", "", "6", "请填写年度！", "edtyear"},
      {"D00000", "2024", "", "请填写时期！", "edtPeriod"},
      {"", "", "", "请填写单位代码！", "edtCode"},
      {"D00000", "2024", "6", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.code) + "|" + c.year + "|" + c.period);
    ExchangeHost host;
    ASSERT_EQ(host.Open(), RYN_OK);
    ConfigFirst(host.config);
    ConfigNext(host.config);
    const std::string before = host.Work()["单位标识"];
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtCode"), c.code));
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtyear"), c.year));
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtPeriod"), c.period));
    host.TakeBoxes();
    if (!c.refusal) {
      EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
      EXPECT_TRUE(host.TakeBoxes().empty());
      EXPECT_EQ(host.Work()["单位标识"], c.code);
      continue;
    }
    EXPECT_NE(ConfigCheckSucceed(host.config), 0);
    const std::vector<ui::MessageBoxRecord> boxes = host.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Ansi(c.refusal));
    EXPECT_EQ(host.ShownPage(), "WZTabSheet3");
    EXPECT_EQ(host.Work()["单位标识"], before);
    ui::Edit& field = host.Get<ui::Edit>(c.focused);
    ASSERT_NE(field.ParentForm(), nullptr);
    EXPECT_EQ(field.ParentForm()->ActiveControl(), &field);
  }
}

TEST(WriteConfTest, FinaWithoutUpdateKeepsTheEngineAndUpdateWritesEveryPage) {
  TempDir dir;
  ExchangeHost host;
  const std::string info = "[" + Ansi("浮动数据") + "]\r\nA=a\r\nB=b\r\nC=c";
  ASSERT_EQ(EngineSetOptions(host.engine, (testing::ExportOptions(dir.Path("old.Ryn")) + ";" + Ansi("报表信息") +
                                           "={\r\n\t" + info + "}")
                                              .c_str()),
            0);
  const std::string original = host.Options();
  auto edit = [&] {
    ASSERT_EQ(host.Open(), RYN_OK);
    EXPECT_EQ(host.Get<ui::Edit>("edtCode").Text(), "0001");
    EXPECT_EQ(host.Get<ui::Edit>("edtyear").Text(), "2023");
    EXPECT_EQ(host.Get<ui::Edit>("edtPeriod").Text(), "12");
    EXPECT_EQ(host.Get<ui::ButtonEdit>("edtpath").Text(), dir.Path("old.Ryn"));
    EXPECT_EQ(host.Captions("lvSel"), (std::vector<std::string>{"A", "B"}));
    ConfigFirst(host.config);
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtpath"), dir.Path("new.Ryn")));
    EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
    ConfigNext(host.config);
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtCode"), "0099"));
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtyear"), "20x24"));  // number mode drops the x
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtPeriod"), "3"));
    EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
    ConfigNext(host.config);
    ASSERT_TRUE(host.Click("WZButton2"));  // "<<"
    ASSERT_TRUE(ui::DoubleClick(host.Get<ui::ListView>("lvList"), 2));
    EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
  };
  edit();
  host.Fina();
  EXPECT_EQ(host.Options(), original) << "no ConfigUpdate: the edits are gone";

  edit();
  ConfigUpdate(host.config);
  host.Fina();
  auto options = host.Engine();
  EXPECT_EQ(options["单位标识"], "0099");
  EXPECT_EQ(options["年度"], "2024");
  EXPECT_EQ(options["时期"], "3");
  EXPECT_EQ(options["报表类型"], "Y");
  EXPECT_EQ(options["文件名"], dir.Path("new.Ryn"));
  EXPECT_EQ(options["数据类型"], "1");
  EXPECT_EQ(options["选择列"], "C=c");
  EXPECT_EQ(options["报表信息"], info);

  // The records go to the file the wizard named, not to the one open before.
  Append(host.engine);
  reinterpret_cast<RynSetText>(FieldGetProc(2, 65))(host.engine, 0, "v", 1);
  Post(host.engine);
  EngineFina(host.engine);
  EXPECT_NE(TempDir::Read(dir.Path("new.Ryn")).find("0099\t2024\tY\t3\tv"), std::string::npos)
      << TempDir::Read(dir.Path("new.Ryn"));
  EXPECT_EQ(TempDir::Read(dir.Path("old.Ryn")).find('v'), std::string::npos);
}

TEST(WriteConfTest, ThePortIsAnEngineHandleOfTheWorkingCopyWhileTheWizardIsOpen) {
  ExchangeHost host;
  ASSERT_EQ(EngineSetOptions(host.engine, (Ansi("数据类型") + "=1;" + Ansi("报表信息") + "={[" + Ansi("浮动数据") +
                                           "]\r\nA=a\r\nB=b}" + ";" + Ansi("选择列") + "={A=a}")
                                              .c_str()),
            0x10001003);
  ASSERT_EQ(host.Open(), RYN_OK);
  const RynHandle port = ConfigPort(host.config);
  ASSERT_NE(port, 0);
  EXPECT_NE(port, host.engine);
  EXPECT_EQ(ConfigPort(host.config), port) << "the same handle every time";
  EXPECT_EQ(FieldGetCount(port), 1);
  ASSERT_TRUE(host.Click("WZButton1"));  // ">>"
  EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
  EXPECT_EQ(FieldGetCount(port), 2);
  EXPECT_EQ(FieldGetCount(host.engine), 1) << "the engine waits for ConfigUpdate";
  host.Fina();
  EXPECT_EQ(FieldGetCount(port), 0) << "the copy's handle ends with the wizard";
  EXPECT_EQ(ConfigPort(host.config), 0);
}

TEST(WriteConfTest, AWizardOutlivingItsEngineStaysSafe) {
  ExchangeHost host;
  ASSERT_EQ(host.Open(), RYN_OK);
  ConfigFirst(host.config);
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtpath"), "x.Ryn"));
  EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
  EngineFina(host.engine);  // a host that ends the engine first
  EXPECT_EQ(host.Options(), "") << "its handle is gone";
  ConfigUpdate(host.config);
  ConfigNext(host.config);
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtCode"), "0001"));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtyear"), "2024"));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtPeriod"), "1"));
  EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
  EXPECT_NE(ConfigPort(host.config), 0);
  host.Fina();
  host.engine = 0;
}

// A host that ends the wizard's working copy through the handle ConfigPort gave it: the
// handle is gone, and the wizard still checks, commits and closes without touching it.
TEST(WriteConfTest, EndingTheWorkingCopysHandleLeavesTheWizardUsable) {
  ExchangeHost host;
  ASSERT_EQ(host.Open(), RYN_OK);
  const RynHandle port = ConfigPort(host.config);
  ASSERT_NE(port, 0);
  EngineFina(port);
  EXPECT_EQ(FieldGetCount(port), 0);
  EXPECT_EQ(ConfigPort(host.config), 0) << "a handle that was ended is not handed out again";
  ConfigFirst(host.config);
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtpath"), "y.Ryn"));
  EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
  ConfigUpdate(host.config);
  host.Fina();
  EXPECT_NE(host.Options().find("y.Ryn"), std::string::npos);
}

// A wizard is driven by the thread that opened it; another thread's calls are refused like
// a wrong handle's and change nothing, its ConfigFina included.
TEST(WriteConfTest, AnotherThreadCannotDriveOrCloseTheWizard) {
  ExchangeHost host;
  ASSERT_EQ(host.Open(), RYN_OK);
  ConfigFirst(host.config);
  int32_t bof = 0, check = 0;
  RynHandle port = 1;
  std::thread other([&] {
    bof = ConfigIsBOF(host.config);
    check = ConfigCheckSucceed(host.config);
    port = ConfigPort(host.config);
    ConfigNext(host.config);
    ConfigUpdate(host.config);
    ConfigFina(host.config);
  });
  other.join();
  EXPECT_EQ(bof, RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(check, RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(port, 0);
  EXPECT_EQ(ConfigIsBOF(host.config), -1) << "still open, still on its first page";
  EXPECT_NE(ConfigPort(host.config), 0);
  host.Fina();
  EXPECT_EQ(ConfigIsBOF(host.config), RYN_E_WIZARD_HANDLE);
}

}  // namespace
}  // namespace ryn
