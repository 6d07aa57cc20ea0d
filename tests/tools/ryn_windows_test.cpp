// `ryn wizard` and `ryn config` run in-process with a modal driver acting as the user: a
// transfer made in the wizard from start to finish into an exchange file, an engine's
// options made in its configuration window, cancelling, and the usage errors. The same
// program runs headless and on the GTK backend under Xvfb.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "expr/common_functions.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "transport/registries.h"
#include "ui/dialogs.h"
#include "support/ui_driver.h"
#include "window_commands.h"

namespace ryn {
namespace {

using Lines = std::vector<std::string>;

struct Outcome {
  int status;
  std::string out, err;
};

Outcome RunCommand(int (*command)(std::span<const std::string_view>, std::ostream&, std::ostream&),
            std::vector<std::string> args) {
  std::vector<std::string_view> views(args.begin(), args.end());
  std::ostringstream out, err;
  const int status = command(views, out, err);
  FreeTransEngineFactories();
  return Outcome{status, out.str(), err.str()};
}

std::string ActivePage(ui::Form& form) {
  ui::Page* page = ui::ControlOf<ui::PageControl>(form, "pcWise").ActivePage();
  return page ? page->Name() : "";
}

class RynWindowsTest : public ::testing::Test {
 protected:
  RynWindowsTest() { ui::Application::Instance().Dialogs().Reset(); }
  ~RynWindowsTest() override {
    for (const auto& box : ui::Application::Instance().Dialogs().MessageBoxes()) ADD_FAILURE() << box.text;
  }
  testing::TempDir dir;
};

TEST_F(RynWindowsTest, AWizardRunFromStartToFinishWritesTheExchangeFile) {
  const std::string csv = dir.Path("in.csv"), out = dir.Path("out.ryn");
  testing::TempDir::Write(csv, "code;name;amount\r\n1;\"a;b\";10\r\n2;c;-3.5\r\n3;d;0\r\n");
  std::vector<std::string> captions;
  ui::ScopedModalDriver driver([&](ui::Form& form) {
    captions.push_back(ToUtf8(form.Caption()));
    if (form.Caption() != Ansi("配置向导")) return;  // the log window, at the end of the run
    auto& next = ui::ControlOf<ui::Button>(form, "btnNxt");
    ASSERT_TRUE(ui::Select(ui::ControlOf<ui::ComboBox>(form, "cbxImport"), Ansi("CSV文件")));
    ASSERT_TRUE(ui::Click(next));
    ASSERT_EQ(ActivePage(form), "TabConfSrc");
    ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::ButtonEdit>(form, "edtFile"), csv));
    ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::Edit>(form, "edtDelimiter"), ";"));
    for (int i = 0; i < 8 && ActivePage(form) != "TabRelation"; ++i) ASSERT_TRUE(ui::Click(next));
    ASSERT_EQ(ActivePage(form), "TabRelation");
    auto& rows = ui::ControlOf<ui::ValueListEditor>(form, "edtRelations");
    ASSERT_EQ(rows.RowCount(), 3);
    for (int r = 0; r < 3; ++r) ASSERT_TRUE(ui::EditRowValue(rows, r, "Import(" + std::to_string(r) + ")"));
    ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::Edit>(form, "edtFilter"), "Import(0) <> \"2\""));
    ASSERT_TRUE(ui::Click(next));  // 完成
  });
  const Outcome o = RunCommand(tool::RunWizard, {"--to", "Ryn文件", "--to-options",
                                          "单位标识=U1;年度=2024;报表类型=N;时期=3;数据类型=1;文件名=" + out +
                                              ";选择列={代码=DM\r\n名称=MC\r\n金额=JE}"
                                              // the catalogue the engine's own wizard offers
                                              ";报表信息={[浮动数据]\r\n代码=DM\r\n名称=MC\r\n金额=JE\r\n}",
                                          "--dir", RYNFILER_ENGINE_DIR});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(captions, (std::vector<std::string>{"配置向导", "数据传输"}));
  // The summary the window showed, on stdout.
  EXPECT_EQ(o.out.substr(0, o.out.find("用时")), "读取3条，写入2条，筛除1条，拒绝0条，0个值有变化\n警告0个，错误0个，");
  EXPECT_EQ(testing::TempDir::Read(out),
            "@\r\n" + Ansi("代码\t名称\t金额") + "\r\nU1\t2024\tN\t3\t1\ta;b\t10\r\nU1\t2024\tN\t3\t3\td\t0\r\n@@");
}

// The source file goes away before 完成: the user is told, the wizard stays on its page and
// nothing is run; closing the wizard then is a cancel (status 1), never a success. Gone
// after a 完成 that succeeded, the run refuses to start (status 1). Either way the file
// already there is left as it was.
TEST_F(RynWindowsTest, ASourceGoneBeforeTheRunNeverTouchesTheDestination) {
  const std::string csv = dir.Path("in.csv"), out = dir.Path("out.ryn");
  struct Case {
    const char* what;
    bool preset;           // the source named with --from, else picked on the source page
    bool goneAfterFinish;  // removed once 完成 was accepted, else just before 完成
    Lines pagesAfterFinish;
    const char* err;
  } const cases[] = {
      {"picked, gone before 完成", false, false, {"TabRelation"}, "cancelled"},
      {"named with --from, gone before 完成", true, false, {"TabRelation"}, "cancelled"},
      {"picked, gone after 完成", false, true, {}, "the transfer failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir::Write(csv, "code\r\n1\r\n");
    testing::TempDir::Write(out, "last month");
    Lines pagesAfterFinish;
    size_t boxes = 0;
    bool logShown = false;
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      if (form.Caption() != Ansi("配置向导")) {
        logShown = true;  // the run's log, telling why it did not start
        ui::Click(ui::ControlOf<ui::Button>(form, "btnClose"));
        return;
      }
      auto& next = ui::ControlOf<ui::Button>(form, "btnNxt");
      if (!c.preset) {
        ASSERT_TRUE(ui::Select(ui::ControlOf<ui::ComboBox>(form, "cbxImport"), Ansi("CSV文件")));
        ASSERT_TRUE(ui::Click(next));
        ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::ButtonEdit>(form, "edtFile"), csv));
      }
      for (int i = 0; i < 8 && ActivePage(form) != "TabRelation"; ++i) ASSERT_TRUE(ui::Click(next));
      ASSERT_EQ(ActivePage(form), "TabRelation");
      ASSERT_TRUE(ui::EditRowValue(ui::ControlOf<ui::ValueListEditor>(form, "edtRelations"), 0, "Import(0)"));
      if (!c.goneAfterFinish) std::remove(csv.c_str());
      ASSERT_TRUE(ui::Click(next));  // 完成
      if (c.goneAfterFinish) std::remove(csv.c_str());
      else pagesAfterFinish.push_back(ActivePage(form));
      boxes += ui::Application::Instance().Dialogs().MessageBoxes().size();
      ui::Application::Instance().Dialogs().Reset();
    });
    std::vector<std::string> args;
    if (c.preset) args = {"--from", "CSV文件", "--from-options", "文件名=" + csv};
    args.insert(args.end(), {"--to", "Ryn文件", "--to-options",
                             "单位标识=U1;年度=2024;报表类型=N;时期=3;数据类型=0;文件名=" + out +
                                 ";选择列={代码=DM};报表信息={[固定数据]\r\n代码=DM\r\n}",
                             "--dir", RYNFILER_ENGINE_DIR});
    const Outcome o = RunCommand(tool::RunWizard, args);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    EXPECT_EQ(pagesAfterFinish, c.pagesAfterFinish);
    EXPECT_EQ(boxes >= 1, !c.goneAfterFinish) << "told why in a box before the run, in the log after";
    EXPECT_EQ(testing::TempDir::Read(out), "last month");
  }
}

// The exit statuses of a run made in the wizard, as `ryn transfer` has them: 0 clean, 1 a
// value changed (the wizard has no lossy mode, so it fails the run), 130 stopped with 取消
// in the log window. A failed or stopped run leaves the exchange file it would have appended
// to byte for byte as it was; the log window tells the counts and the values.
TEST_F(RynWindowsTest, TheExitStatusesOfAWizardRun) {
  TCommonFunctionsRegistration common;  // as the program's start-up holds them
  const std::string header = "@\r\n" + Ansi("代码\t名称\t金额") + "\r\n";
  const std::string previous = header + "U1\t2024\tN\t3\t9\told\t1\r\n@@";
  const std::string failing = "FillLeft(Val(Import(0))*100000000,\"x\")";  // longer than a formula may make
  const std::string failure = "读取3条，写入2条，筛除1条，拒绝0条，2个值有变化（映射出错2个）";
  struct Case {
    const char* what;
    std::string amount;  // the mapping of JE
    bool cancel;         // 取消 in the log window as soon as it is shown
    int status;
    const char* err;
    std::string file;
    std::string summary;  // UTF-8, as the log window shows it at the end
    Lines log;
    std::string name3 = "d";  // UTF-8: the name of the third record in the CSV file
  } cases[] = {
      {"clean, appended", "Import(2)", false, 0, "",
       previous + "\r\n" + header + "U1\t2024\tN\t3\t1\ta;b\t10\r\nU1\t2024\tN\t3\t3\td\t0\r\n@@",
       "读取3条，写入2条，筛除1条，拒绝0条，0个值有变化", {}},
      {"a value changed", failing, false, 1, "the transfer failed", previous, failure,
       {Ansi("第1条记录，字段“JE”：函数“FILLLEFT”出错：函数的参数不正确，源值“1”"),
        Ansi("第3条记录，字段“JE”：函数“FILLLEFT”出错：函数的参数不正确，源值“3”"),
        Ansi("有2个值不能原样传输：传输失败，输出的数据不保留")}},
      {"cancelled in the log window", "Import(2)", true, 130, "stopped by the user", previous,
       "读取0条，写入0条，筛除0条，拒绝0条，0个值有变化", {Ansi("传输已被用户取消：输出的数据不保留，目标保持原样")}},
      {"a character the code page lacks", "Import(2)", false, 1, "the transfer failed", previous,
       "读取3条，写入2条，筛除1条，拒绝0条，1个值有变化（代码页1个）",
       {Ansi("第3条记录，字段“MC”：源数据中有代码页不能表示的字符，已替换为“?”，源值“d?”"),
        Ansi("列1“name”有1个值含有代码页没有的字符，已替换为“?”（第一个在第3行：d?）"),
        Ansi("有1个值不能原样传输：传输失败，输出的数据不保留")},
       "d\U0001F600"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.name3 != "d" && ToUtf8(FromUtf8(c.name3)) == c.name3) continue;  // the code page holds it
    const std::string csv = dir.Path("in.csv"), out = dir.Path("out.ryn");
    testing::TempDir::Write(csv, "code;name;amount\r\n1;\"a;b\";10\r\n2;c;-3.5\r\n3;" + c.name3 + ";0\r\n");
    testing::TempDir::Write(out, previous);
    bool cancelClicked = false;
    std::string summary;
    Lines log;
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      if (form.Caption() != Ansi("配置向导")) {  // the log window, open at the end of the run
        summary = ToUtf8(ui::ControlOf<ui::Label>(form, "lbSummary").Caption());
        log = ui::ControlOf<ui::RichText>(form, "edtLogs").Lines();
        ui::Click(ui::ControlOf<ui::Button>(form, "btnClose"));
        return;
      }
      auto& next = ui::ControlOf<ui::Button>(form, "btnNxt");
      ASSERT_TRUE(ui::Select(ui::ControlOf<ui::ComboBox>(form, "cbxImport"), Ansi("CSV文件")));
      ASSERT_TRUE(ui::Click(next));
      ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::ButtonEdit>(form, "edtFile"), csv));
      ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::Edit>(form, "edtDelimiter"), ";"));
      for (int i = 0; i < 8 && ActivePage(form) != "TabRelation"; ++i) ASSERT_TRUE(ui::Click(next));
      ASSERT_EQ(ActivePage(form), "TabRelation");
      auto& rows = ui::ControlOf<ui::ValueListEditor>(form, "edtRelations");
      ASSERT_TRUE(ui::EditRowValue(rows, 0, "Import(0)"));
      ASSERT_TRUE(ui::EditRowValue(rows, 1, "Import(1)"));
      ASSERT_TRUE(ui::EditRowValue(rows, 2, c.amount));
      ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::Edit>(form, "edtFilter"), "Import(0) <> \"2\""));
      if (c.cancel) {
        // Handled in turn once the log window is up, as a click there would be.
        ui::Application::Instance().PostAction([&] {
          ui::Form* active = ui::Application::Instance().ActiveForm();
          if (!active || active->Caption() != Ansi("数据传输")) return;
          cancelClicked = ui::Click(ui::ControlOf<ui::Button>(*active, "btnClose"));
        });
      }
      ASSERT_TRUE(ui::Click(next));  // 完成
    });
    const Outcome o = RunCommand(tool::RunWizard, {"--to", "Ryn文件", "--to-options",
                                                   "单位标识=U1;年度=2024;报表类型=N;时期=3;数据类型=1;文件名=" + out +
                                                       ";选择列={代码=DM\r\n名称=MC\r\n金额=JE}"
                                                       ";报表信息={[浮动数据]\r\n代码=DM\r\n名称=MC\r\n金额=JE\r\n}",
                                                   "--dir", RYNFILER_ENGINE_DIR});
    EXPECT_EQ(o.status, c.status) << o.err;
    EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    EXPECT_EQ(cancelClicked, c.cancel);
    EXPECT_EQ(testing::TempDir::Read(out), c.file);
    EXPECT_EQ(summary, c.summary);
    EXPECT_EQ(log, c.log);
    EXPECT_EQ(o.out.substr(0, o.out.find('\n')), c.summary) << "stdout has the window's summary";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "nothing beside the files";
  }
}

// An engine named with --from is the user's choice already: the wizard opens on its own
// wizard, which holds the options given with it (or the engine's defaults without);
// 上一步 leads to the source page with that engine chosen, and 下一步 back into its wizard.
TEST_F(RynWindowsTest, TheSourceNamedOnTheCommandLineOpensItsWizardWithItsOptions) {
  const std::string csv = dir.Path("in.csv");
  testing::TempDir::Write(csv, "a;b\r\n1;2\r\n");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    const char* control;  // an edit of the engine's first page
    std::string shown;    // UTF-8: its text
  } cases[] = {
      {"CSV with options", {"--from", "CSV文件", "--from-options", "文件名=" + csv + ";列名行=0"}, "edtFile", csv},
      {"CSV without options", {"--from", "CSV文件"}, "edtFile", ""},
      {"CSV named in another case", {"--from", "csv文件", "--from-options", "文件名=" + csv}, "edtFile", csv},
#ifdef RYNFILER_SAMPLE_DIR
      {"SQLite with options",
       {"--from", "SQLite数据库", "--from-options", "数据库=" RYNFILER_SAMPLE_DIR "/report_sample.db;表=report"},
       "edtDatabase", RYNFILER_SAMPLE_DIR "/report_sample.db"},
      {"SQLite without options", {"--from", "SQLite数据库"}, "edtDatabase", ""},
#endif
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Lines pages, shown;
    std::string chosen;
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      auto& list = ui::ControlOf<ui::ComboBox>(form, "cbxImport");
      auto look = [&] {
        pages.push_back(ActivePage(form));
        if (pages.back() == "TabConfSrc") shown.push_back(ToUtf8(ui::ControlOf<ui::Edit>(form, c.control).Text()));
      };
      look();
      ASSERT_TRUE(ui::Click(ui::ControlOf<ui::Button>(form, "btnPre")));
      look();
      chosen = ToUtf8(list.Text());
      ASSERT_TRUE(ui::Click(ui::ControlOf<ui::Button>(form, "btnNxt")));
      look();
    });
    c.args.insert(c.args.end(), {"--dir", RYNFILER_ENGINE_DIR});
    const Outcome o = RunCommand(tool::RunWizard, c.args);
    EXPECT_EQ(o.status, 1) << "closed without finishing";
    EXPECT_NE(o.err.find("cancelled"), std::string::npos) << o.err;
    EXPECT_EQ(pages, (Lines{"TabConfSrc", "TabSelSrc", "TabConfSrc"}));
    EXPECT_EQ(shown, (Lines{c.shown, c.shown}));
    EXPECT_EQ(chosen, c.args[1] == "csv文件" ? "CSV文件" : c.args[1]);
  }
}

TEST_F(RynWindowsTest, TheConfigWindowPrintsTheOptionsTheWizardMade) {
  const std::string csv = dir.Path("in.csv");
  testing::TempDir::Write(csv, "a,b\r\n1,2\r\n");
  std::vector<bool> backEnabled;
  ui::ScopedModalDriver driver([&](ui::Form& form) {
    backEnabled.push_back(ui::ControlOf<ui::Button>(form, "btnPre").Enabled());
    ASSERT_TRUE(ui::ReplaceText(ui::ControlOf<ui::ButtonEdit>(form, "edtFile"), csv));
    ASSERT_TRUE(ui::Click(ui::ControlOf<ui::Button>(form, "btnNxt")));
    backEnabled.push_back(ui::ControlOf<ui::Button>(form, "btnPre").Enabled());
    ASSERT_TRUE(ui::Click(ui::ControlOf<ui::Button>(form, "btnOk")));
  });
  const Outcome o = RunCommand(tool::RunConfig, {"CSV文件", "--dir", RYNFILER_ENGINE_DIR});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("文件名=" + csv), std::string::npos) << o.out;
  EXPECT_EQ(backEnabled, (std::vector<bool>{false, true}));
}

TEST_F(RynWindowsTest, CancellingAndUsageErrors) {
  struct Case {
    const char* what;
    int (*command)(std::span<const std::string_view>, std::ostream&, std::ostream&);
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {"config cancelled", tool::RunConfig, {"CSV文件", "--dir", RYNFILER_ENGINE_DIR}, 1, "cancelled"},
      // Without a direction an engine that cannot be a source opens as a destination.
      {"destination config cancelled", tool::RunConfig, {"Ryn文件", "--dir", RYNFILER_ENGINE_DIR}, 1,
       "ryn config: cancelled\n"},
      {"options refused", tool::RunConfig, {"Ryn文件", "--options", "数据类型=1", "--dir", RYNFILER_ENGINE_DIR}, 1,
       "ryn config: engine Ryn文件 refused its options (code 0x10001003)\n"},
      {"wizard options refused", tool::RunWizard,
       {"--to", "ryn文件", "--to-options", "数据类型=1", "--dir", RYNFILER_ENGINE_DIR}, 1,
       "ryn wizard: engine ryn文件 refused its options (code 0x10001003)\n"},
      {"wizard cancelled", tool::RunWizard, {"--dir", RYNFILER_ENGINE_DIR}, 1, "cancelled"},
      {"config without a name", tool::RunConfig, {"--dir", RYNFILER_ENGINE_DIR}, 2, "missing engine NAME"},
      {"unknown engine", tool::RunConfig, {"nothing", "--dir", RYNFILER_ENGINE_DIR}, 1,
       std::string("ryn config: no engine named nothing in ") + RYNFILER_ENGINE_DIR + "\n"},
      {"options without an engine", tool::RunWizard, {"--to-options", "x"}, 2, "--to-options needs --to"},
      {"a destination as source", tool::RunWizard, {"--from", "Ryn文件", "--dir", RYNFILER_ENGINE_DIR}, 1, "cannot be a source"},
  };
  for (const Case& c : cases) {
    ui::ScopedModalDriver driver([](ui::Form&) {});  // the user closes every window
    const Outcome o = RunCommand(c.command, c.args);
    EXPECT_EQ(o.status, c.status) << c.what << ": " << o.err;
    EXPECT_NE(o.err.find(c.err), std::string::npos) << c.what << ": " << o.err;
  }
}

TEST_F(RynWindowsTest, WithoutAnyWindowsAndWithoutADriverTheCommandsSaySo) {
  if (ui::Application::Instance().GetBackend()) GTEST_SKIP() << "windows can be shown here";
  struct Case {
    int (*command)(std::span<const std::string_view>, std::ostream&, std::ostream&);
    std::vector<std::string> args;
  } cases[] = {
      {tool::RunConfig, {"CSV文件", "--dir", RYNFILER_ENGINE_DIR}},
      {tool::RunWizard, {"--dir", RYNFILER_ENGINE_DIR}},
  };
  for (const Case& c : cases) {
    const Outcome o = RunCommand(c.command, c.args);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("no windows can be shown: set DISPLAY"), std::string::npos) << o.err;
  }
}

}  // namespace
}  // namespace ryn
