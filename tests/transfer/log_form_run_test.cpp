// What the progress log window tells of a run: its counts at the end (also after a clean,
// a cancelled or a filtered run), each value that could not be carried exactly as a line of
// its list up to a cap, and a run with such values failing like one with an error: its
// output is abandoned, an exchange file there before stays byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "expr/common_functions.h"
#include "expr/named_host.h"
#include "platform/codepage.h"
#include "rynengine/rynexport.h"
#include "support/table_ports.h"
#include "support/temp_dir.h"
#include "transfer/log_form.h"
#include "transfer/trans_frame.h"
#include "ui/dialogs.h"
#include "support/ui_driver.h"

namespace ryn {
namespace {

using testing::Column;
using testing::TableDest;
using testing::TableSource;
using Lines = std::vector<std::string>;

// Rows (first + r, "v" + r) for r from 0.
IntfPtr<TableSource> Source(int rows, int first = 0) {
  std::vector<std::vector<std::string>> data;
  for (int r = 0; r < rows; ++r) data.push_back({std::to_string(first + r), "v" + std::to_string(r)});
  return MakeIntf<TableSource>(std::vector<Column>{{"a", 6}, {"b", 65}}, data);
}

// A mapping that fails for every record whose Import(0) is 1 or more: the text it asks
// for is longer than a formula may make.
constexpr const char* kFailingMapping = "Export(1)=FillLeft(Import(0)*100000000,\"x\")";

// What the log window showed at its end.
struct Seen {
  std::string text, summary;
  bool summaryVisible = false;
  Lines log;
};

Seen Look(ui::Form& form) {
  const auto& summary = ui::ControlOf<ui::Label>(form, "lbSummary");
  return Seen{ToUtf8(ui::ControlOf<ui::Label>(form, "lbTxt").Caption()), ToUtf8(summary.Caption()), summary.Visible(),
              ui::ControlOf<ui::RichText>(form, "edtLogs").Lines()};
}

// The line of the failed FILLLEFT for the record whose Import(0) is a.
std::string FailedLine(int record, int a) {
  return Ansi("第") + std::to_string(record) + Ansi("条记录，字段“q”：函数“FILLLEFT”出错：函数的参数不正确，源值“") +
         std::to_string(a) + Ansi("”");
}

class LogFormRunTest : public ::testing::Test {
 protected:
  LogFormRunTest() { ui::Application::Instance().Dialogs().Reset(); }
  ~LogFormRunTest() override { EXPECT_TRUE(ui::Application::Instance().Dialogs().MessageBoxes().empty()); }

  // Runs the frame without a sink of its own, so in the log window; the user closes the
  // window if it stays open. What the window showed at its end, if it stayed open.
  Seen RunInTheWindow(TTransFrame& frame, int* opened = nullptr) {
    Seen seen;
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      seen = Look(form);
      if (opened) ++*opened;
      ui::Click(ui::ControlOf<ui::Button>(form, "btnClose"));
    });
    frame.Execute();
    return seen;
  }

  TCommonFunctionsRegistration common;
  IntfPtr<TableDest> dest = MakeIntf<TableDest>(std::vector<Column>{{"p", 6}, {"q", 65}});
};

TEST_F(LogFormRunTest, ARunWithFilteredRecordsAndAFailingMappingShowsItsCountsAndProblemsAndFails) {
  auto source = Source(10);
  TTransFrame frame;
  frame.SetImportEngine(source.get(), true);
  frame.SetExportEngine(dest.get(), true);
  frame.GetScriptHost()->SetScript("Filter=Import(0)<>3\r\nExport(0)=Import(0)\r\n" + std::string(kFailingMapping));
  int opened = 0;
  const Seen end = RunInTheWindow(frame, &opened);
  EXPECT_EQ(opened, 1) << "a failed run keeps its window open";
  EXPECT_EQ(end.text, "传输失败。");
  EXPECT_TRUE(end.summaryVisible);
  EXPECT_EQ(end.summary, "读取10条，写入9条，筛除1条，拒绝0条，8个值有变化（映射出错8个）");
  // One line per failed value in the order found, no warning besides them, and the
  // failure last.
  Lines expected;
  for (int a : {1, 2, 4, 5, 6, 7, 8, 9}) expected.push_back(FailedLine(a + 1, a));
  expected.push_back(Ansi("有8个值不能原样传输：传输失败，输出的数据不保留"));
  EXPECT_EQ(end.log, expected);
  EXPECT_EQ(dest->records.size(), 9u);
  EXPECT_TRUE(frame.ErrorReported());
  EXPECT_FALSE(frame.KeepsOutput());
  EXPECT_FALSE(frame.Cancelled());
  // The host is as its owner left it: no handler, warnings per failed mapping again.
  dest->records.clear();
  auto* named = dynamic_cast<TNamedHost*>(ImplementorOf(frame.GetScriptHost().get()));
  ASSERT_NE(named, nullptr);
  EXPECT_FALSE(named->GetProblemHandler());
  EXPECT_TRUE(named->RunPolicy().warnFailedMappings);
}

TEST_F(LogFormRunTest, TheProblemListStopsAtItsCapWithOneLineForTheRest) {
  struct Case {
    int failures;
    std::string overflow;  // UTF-8; "" when every problem is listed
  } cases[] = {
      {1000, ""},
      {1001, "另有1个值的问题没有列出"},
      {1205, "另有205个值的问题没有列出"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failures);
    auto source = Source(c.failures, 1);  // Import(0) from 1: every record fails
    dest->records.clear();
    TTransFrame frame;
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(dest.get(), true);
    frame.GetScriptHost()->SetScript(kFailingMapping);
    const Seen end = RunInTheWindow(frame);
    const size_t listed = static_cast<size_t>(TLogForm::kProblemsListed);
    ASSERT_EQ(end.log.size(), listed + (c.overflow.empty() ? 1 : 2));
    EXPECT_EQ(end.log.front(), FailedLine(1, 1));
    EXPECT_EQ(end.log[listed - 1], FailedLine(1000, 1000));
    if (!c.overflow.empty()) {
      EXPECT_EQ(ToUtf8(end.log[listed]), c.overflow);
    }
    EXPECT_EQ(ToUtf8(end.log.back()), "有" + std::to_string(c.failures) + "个值不能原样传输：传输失败，输出的数据不保留");
    const std::string n = std::to_string(c.failures);
    EXPECT_EQ(end.summary, "读取" + n + "条，写入" + n + "条，筛除0条，拒绝0条，" + n + "个值有变化（映射出错" + n + "个）");
    EXPECT_TRUE(frame.ErrorReported());
  }
}

TEST_F(LogFormRunTest, EveryRunThatRanShowsItsCounts) {
  struct Case {
    const char* what;
    std::string script;
    size_t cancelAt;       // 0: never
    const char* text;      // UTF-8
    const char* summary;   // UTF-8; "" hidden
  } cases[] = {
      {"clean", "Export(0)=Import(0)\r\nExport(1)=Import(1)", 0, "传输过程结束。",
       "读取10条，写入10条，筛除0条，拒绝0条，0个值有变化"},
      {"filtered", "Filter=Import(0)>6\r\nExport(1)=Import(1)", 0, "传输过程结束。",
       "读取10条，写入3条，筛除7条，拒绝0条，0个值有变化"},
      {"cancelled", "Export(0)=Import(0)", 4, "传输已取消。", "读取4条，写入4条，筛除0条，拒绝0条，0个值有变化"},
      {"without mappings", "Filter=1>0", 0, "传输过程结束。", "读取0条，写入0条，筛除0条，拒绝0条，0个值有变化"},
      {"never compiled", "Export(0)=Import(", 0, "传输失败。", ""},
  };
  for (const Case& c : cases) {
    auto source = Source(10);
    dest->records.clear();
    TTransFrame frame;
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(dest.get(), true);
    frame.GetScriptHost()->SetScript(c.script);
    auto log = MakeIntf<TLogForm>(&frame);
    dest->onPost = [&] {
      if (c.cancelAt && dest->records.size() == c.cancelAt)
        ui::Application::Instance().PostAction([&] { ui::Click(ui::ControlOf<ui::Button>(log->Window(), "btnClose")); });
    };
    {
      ui::ScopedModalDriver driver([](ui::Form& form) { ui::Click(ui::ControlOf<ui::Button>(form, "btnClose")); });
      log->ShowModal();
    }
    const Seen end = Look(log->Window());
    EXPECT_EQ(end.text, c.text) << c.what;
    EXPECT_EQ(end.summary, c.summary) << c.what;
    EXPECT_EQ(end.summaryVisible, *c.summary != 0) << c.what;
    log->Destroy();
    dest->onPost = nullptr;
  }
}

// An exchange file that was there before a run that changed a value is left byte for byte
// as it was, whatever its data type; a file the run would have made is not made. The same
// run without the failing mapping writes the file, so it is the value that failed it.
TEST_F(LogFormRunTest, AFailedRunLeavesTheExchangeFileAsItWas) {
  const std::string kOld = "A\tB\r\nU\tY\tN\t1\told\tfile\r\n@@";
  struct Case {
    const char* what;
    int dataType;
    bool existed;
    bool failing;
    std::string file;  // "" none
  } cases[] = {
      {"data type 0 over a file", 0, true, true, kOld},
      {"data type 1 appending to a file", 1, true, true, kOld},
      {"data type 0, new file", 0, false, true, ""},
      {"the same run without the failure", 0, false, false,
       "A\tB\r\nU\tY\tN\t1\t0\tv0\r\nU\tY\tN\t1\t1\tv1\r\nU\tY\tN\t1\t2\tv2\r\n@@"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    const std::string path = dir.Path("out.ryn");
    if (c.existed) testing::TempDir::Write(path, kOld);
    auto source = Source(3);
    auto ryn = MakeIntf<TRynExport>();
    ASSERT_EQ(ryn->SetOptions(Ansi("单位标识=U;年度=Y;报表类型=N;时期=1;数据类型=") + std::to_string(c.dataType) +
                              Ansi(";文件名=") + path + Ansi(";选择列={A=a\r\nB=b}")),
              0);
    bool failed = false;
    {
      TTransFrame frame;
      frame.SetImportEngine(source.get(), true);
      frame.SetExportEngine(ryn.get(), true);
      frame.GetScriptHost()->SetScript("Export(0)=Import(0)\r\n" +
                                       std::string(c.failing ? kFailingMapping : "Export(1)=Import(1)"));
      RunInTheWindow(frame);
      failed = frame.ErrorReported();
    }
    EXPECT_EQ(failed, c.failing);
    if (c.file.empty()) {
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      EXPECT_EQ(testing::TempDir::Read(path), c.file);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), c.file.empty() ? 0 : 1)
        << "nothing beside the file";
  }
}

}  // namespace
}  // namespace ryn
