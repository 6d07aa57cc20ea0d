// The progress log window driven as a user would: a run that ends with its summary and
// waits for the user, warnings and errors (an error stopping the run at the next progress
// report), a source without a record total, the log button, 取消, Escape and the close box
// stopping the run while it goes on, a mapping that does not compile, and the frame's run
// without a sink of its own.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "expr/common_functions.h"
#include "platform/codepage.h"
#include "support/table_ports.h"
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

IntfPtr<TableSource> Source(int rows) {
  std::vector<std::vector<std::string>> data;
  for (int r = 0; r < rows; ++r) data.push_back({std::to_string(r), "v" + std::to_string(r)});
  return MakeIntf<TableSource>(std::vector<Column>{{"a", 6}, {"b", 65}}, data);
}

// What the user sees of the window.
struct Seen {
  std::string caption, status, text, count, totals, closeButton, logButton;
  bool gaugeVisible;
  int gaugeMax, gaugeProgress;
  int height;
  Lines log;
};

Seen Look(ui::Form& form) {
  using ui::ControlOf;
  const auto& gauge = ControlOf<ui::Gauge>(form, "Gauge");
  return Seen{form.Caption(),
              ControlOf<ui::Label>(form, "lbCap").Caption(),
              ControlOf<ui::Label>(form, "lbTxt").Caption(),
              ControlOf<ui::Label>(form, "lbCount").Caption(),
              ToUtf8(ControlOf<ui::Label>(form, "lbTotals").Caption()),
              ControlOf<ui::Button>(form, "btnClose").Caption(),
              ControlOf<ui::Button>(form, "btnList").Caption(),
              gauge.Visible(),
              gauge.MaxValue(),
              gauge.Progress(),
              form.ClientHeight(),
              ControlOf<ui::RichText>(form, "edtLogs").Lines()};
}

class LogFormTest : public ::testing::Test {
 protected:
  LogFormTest() {
    ui::Application::Instance().Dialogs().Reset();
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(dest.get(), true);
    frame.GetScriptHost()->SetScript("Export(0)=Import(0)\r\nExport(1)=Import(1)");
  }
  ~LogFormTest() override {
    log->Destroy();
    EXPECT_TRUE(ui::Application::Instance().Dialogs().MessageBoxes().empty());
  }

  // Shows the window with the driver acting as the user once the run is over; the modal
  // result.
  int Show(std::function<void(ui::Form&)> user = nullptr) {
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      ++driven;
      atEnd = Look(form);
      if (user) user(form);
    });
    return log->ShowModal();
  }
  ui::Button& Button(const char* name) { return ui::ControlOf<ui::Button>(log->Window(), name); }
  // Acts as the user while records are being posted, at the given record.
  void DuringRecord(size_t record, std::function<void()> act) {
    dest->onPost = [this, record, act] {
      if (dest->records.size() == record) act();
    };
  }

  TCommonFunctionsRegistration common;
  IntfPtr<TableSource> source = Source(10);
  IntfPtr<TableDest> dest = MakeIntf<TableDest>(std::vector<Column>{{"p", 6}, {"q", 65}});
  TTransFrame frame;
  IntfPtr<TLogForm> log = MakeIntf<TLogForm>(&frame);
  int driven = 0;
  Seen atEnd{};
};

// The totals line without its time, which no run can promise.
std::string Totals(const std::string& totals) { return totals.substr(0, totals.find("用时")); }

TEST_F(LogFormTest, TenRecordsWithoutMessagesShowTheirSummaryAndWaitForTheUser) {
  std::vector<bool> runningShown;
  dest->onPost = [&] {
    runningShown.push_back(log->Window().Visible() && ui::Application::Instance().ActiveForm() == &log->Window() &&
                           frame.Events() == static_cast<ITransEvents*>(log.get()));
  };
  EXPECT_EQ(Show(), ui::kMrCancel);
  EXPECT_EQ(driven, 1);  // the window waited for the user
  EXPECT_EQ(Totals(atEnd.totals), "警告0个，错误0个，");
  EXPECT_NE(atEnd.totals.find("秒"), std::string::npos);
  EXPECT_EQ(log->SummaryText(), Ansi("读取10条，写入10条，筛除0条，拒绝0条，0个值有变化\n") + FromUtf8(atEnd.totals));
  EXPECT_EQ(runningShown, std::vector<bool>(10, true));  // the run happens inside the shown window
  EXPECT_EQ(dest->records.size(), 10u);
  Seen end = Look(log->Window());
  EXPECT_EQ(end.caption, Ansi("数据传输"));
  EXPECT_EQ(end.status, Ansi("传输数据"));
  EXPECT_EQ(end.text, Ansi("传输过程结束。"));
  EXPECT_EQ(end.count, Ansi("总共10条数据"));
  EXPECT_EQ(end.closeButton, Ansi("关闭"));
  EXPECT_EQ(end.gaugeMax, 10);
  EXPECT_EQ(end.gaugeProgress, 10);
  EXPECT_FALSE(end.gaugeVisible);
  EXPECT_TRUE(end.log.empty());
  EXPECT_EQ(end.height, 145);
  // Centred on the screen at the height it had when shown.
  EXPECT_EQ(log->Window().Left(), (ui::Screen::Instance().Width() - 389) / 2);
  EXPECT_EQ(log->Window().Top(), (ui::Screen::Instance().Height() - 145) / 2);
  EXPECT_TRUE(log->Stopped());
  EXPECT_FALSE(log->KeepOpen());
  log->Destroy();
  EXPECT_EQ(frame.Events(), nullptr);
}

TEST_F(LogFormTest, WarningsAndErrorsKeepTheWindowOpenUntilClose) {
  struct Case {
    const char* what;
    int32_t kind;
    size_t records;
    std::string count;   // UTF-8
    std::string totals;  // UTF-8, without the time
  } cases[] = {
      {"a warning: the run goes on", kSeverityWarning, 10, "总共10条数据", "警告1个，错误0个，"},
      {"a conversion warning", 18, 10, "总共10条数据", "警告1个，错误0个，"},
      {"an error: stopped at the next progress report", kSeverityError, 3, "总共3条数据", "警告0个，错误1个，"},
      {"information only", kSeverityInfo, 10, "总共10条数据", "警告0个，错误0个，"},
  };
  for (const Case& c : cases) {
    dest->records.clear();
    log = MakeIntf<TLogForm>(&frame);
    driven = 0;
    DuringRecord(3, [&] { dest->events->OnMessage(c.kind, "problem"); });
    int closeClicked = -1;
    Show([&](ui::Form& form) {
      closeClicked = ui::Click(Button("btnClose"));
      EXPECT_NE(form.ModalResult(), ui::kMrNone) << c.what;
    });
    EXPECT_EQ(driven, 1) << c.what;
    EXPECT_EQ(dest->records.size(), c.records) << c.what;
    EXPECT_EQ(closeClicked, 1) << c.what;
    EXPECT_EQ(ToUtf8(atEnd.count), c.count) << c.what;
    EXPECT_EQ(atEnd.closeButton, Ansi("关闭")) << c.what;
    EXPECT_EQ(atEnd.log, Lines{"problem"}) << c.what;
    EXPECT_EQ(Totals(atEnd.totals), c.totals) << c.what;
    log->Destroy();
  }
}

TEST_F(LogFormTest, ASourceWithoutATotalShowsNoGauge) {
  source->countUnknown = true;
  std::vector<bool> gaugeShown;
  dest->onPost = [&] { gaugeShown.push_back(ui::ControlOf<ui::Gauge>(log->Window(), "Gauge").Visible()); };
  Show();
  EXPECT_EQ(gaugeShown, std::vector<bool>(10, false));
  EXPECT_EQ(Look(log->Window()).count, Ansi("总共10条数据"));
}

TEST_F(LogFormTest, TheLogButtonShowsAndHidesTheLog) {
  DuringRecord(1, [&] { dest->events->OnMessage(kSeverityWarning, "w1"); });
  std::vector<std::pair<std::string, int>> steps;  // button caption, window height
  Show([&](ui::Form& form) {
    for (int i = 0; i < 2; ++i) {
      ui::Click(Button("btnList"));
      steps.emplace_back(Button("btnList").Caption(), form.ClientHeight());
      if (i == 0) {
        EXPECT_TRUE(ui::ControlOf<ui::RichText>(form, "edtLogs").Showing());
        EXPECT_EQ(ui::ControlOf<ui::RichText>(form, "edtLogs").Bounds(), (ui::Rect{0, 0, 389, 156}));
      }
    }
    ui::Click(Button("btnClose"));
  });
  EXPECT_EQ(atEnd.logButton, Ansi("信息 >>"));
  EXPECT_EQ(steps, (std::vector<std::pair<std::string, int>>{{Ansi("信息 <<"), 301}, {Ansi("信息 >>"), 145}}));
}

TEST_F(LogFormTest, CancelEscapeAndTheCloseBoxStopTheRunAtTheNextRecord) {
  // Input that arrives during the run is handled at the next record: each way of closing
  // the window stops the run there instead, the log button still works, and the window
  // then shows how the run ended and waits; closing it then closes it.
  struct Case {
    const char* what;
    std::function<bool(ui::Form&)> act;
  } cases[] = {
      {"取消", [](ui::Form& form) { return ui::Click(ui::ControlOf<ui::Button>(form, "btnClose")); }},
      {"Escape", [](ui::Form& form) { return form.UserPressEscape(); }},
      {"the close box", [](ui::Form& form) { return form.UserCloseBox(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dest->records.clear();
    log = MakeIntf<TLogForm>(&frame);
    driven = 0;
    bool acted = false;
    DuringRecord(3, [&] {
      ui::Application::Instance().PostAction([&] { ui::Click(Button("btnList")); });
      ui::Application::Instance().PostAction([&] { acted = c.act(log->Window()); });
    });
    bool openAfterTheRun = false, closedThen = false;
    EXPECT_EQ(Show([&](ui::Form& form) {
                openAfterTheRun = form.ModalResult() == ui::kMrNone;
                c.act(form);
                closedThen = form.ModalResult() != ui::kMrNone;
              }),
              ui::kMrCancel);
    EXPECT_TRUE(closedThen);
    EXPECT_TRUE(acted);
    EXPECT_EQ(dest->records.size(), 3u);
    EXPECT_TRUE(log->Cancelled());
    EXPECT_TRUE(ui::ControlOf<ui::Panel>(log->Window(), "plLogs").Visible());
    EXPECT_EQ(driven, 1);
    EXPECT_TRUE(openAfterTheRun);
    EXPECT_EQ(atEnd.text, Ansi("传输已取消。"));
    EXPECT_EQ(atEnd.count, Ansi("总共3条数据"));
    EXPECT_EQ(atEnd.closeButton, Ansi("关闭"));
    EXPECT_EQ(atEnd.log, Lines{Ansi("传输已被用户取消：输出的数据不保留，目标保持原样")});
    EXPECT_EQ(log->SummaryText().substr(0, log->SummaryText().find('\n')),
              Ansi("读取3条，写入3条，筛除0条，拒绝0条，0个值有变化"));
    log->Destroy();
  }
  dest->onPost = nullptr;
}

TEST_F(LogFormTest, ALogOfThousandsOfLinesCostsTimeInProportionToIt) {
  // 3,000 warnings during the run, then 6,000 lines one at a time into the ended window's
  // log: on the GTK backend (this suite runs there too) a view that took the whole text
  // again for every line needed a minute of processor time; appending needs milliseconds.
  source = Source(3000);
  frame.SetImportEngine(source.get(), true);
  frame.GetScriptHost()->SetScript("Export(0)=Import(0)\r\nExport(1)=Import(1)");
  dest->onPost = [&] { dest->events->OnMessage(kSeverityWarning, "w" + std::to_string(dest->records.size())); };
  const std::clock_t start = std::clock();
  size_t linesAtTheEnd = 0;
  Show([&](ui::Form& form) {
    auto& view = ui::ControlOf<ui::RichText>(form, "edtLogs");
    linesAtTheEnd = view.Lines().size();
    ui::Click(Button("btnList"));
    for (int i = 0; i < 6000; ++i) log->OnMessage(kSeverityInfo, "later " + std::to_string(i));
    ui::ProcessMessages();
  });
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  EXPECT_EQ(linesAtTheEnd, 3000u);
  EXPECT_EQ(Totals(atEnd.totals), "警告3000个，错误0个，");
  const Lines& lines = ui::ControlOf<ui::RichText>(log->Window(), "edtLogs").Lines();
  ASSERT_EQ(lines.size(), 9000u);
  EXPECT_EQ(lines[2999], "w3000");
  EXPECT_EQ(lines.back(), "later 5999");
  EXPECT_LT(seconds, 8.0) << "a generous bound";
}

TEST_F(LogFormTest, AMappingThatDoesNotCompile) {
  frame.GetScriptHost()->SetScript("Export(0)=Import(");
  Show([&](ui::Form&) { ui::Click(Button("btnClose")); });
  EXPECT_EQ(driven, 1);
  EXPECT_TRUE(dest->records.empty());
  EXPECT_EQ(atEnd.count, Ansi("总共0条数据"));
  EXPECT_EQ(atEnd.closeButton, Ansi("关闭"));
  EXPECT_EQ(atEnd.status, Ansi("传输数据"));
  EXPECT_EQ(atEnd.text, Ansi("传输失败。"));  // nothing ran: the frame keeps nothing
  ASSERT_EQ(atEnd.log.size(), 1u);  // the compiler's message
  EXPECT_FALSE(atEnd.log[0].empty());
}

TEST_F(LogFormTest, ARunWithoutMappingsStillEnds) {
  // Without any mapping the host sends one information message and no progress; the
  // window still reaches its end and closes like any run.
  frame.GetScriptHost()->SetScript("Filter=1>0");
  Show();
  EXPECT_EQ(driven, 1);
  const Seen end = Look(log->Window());
  EXPECT_EQ(end.closeButton, Ansi("关闭"));
  EXPECT_EQ(end.text, Ansi("传输过程结束。"));
  EXPECT_EQ(end.log, Lines{Ansi("没有映射关系")});
  EXPECT_FALSE(log->Cancelled());
}

TEST_F(LogFormTest, TheFrameRunsWithoutASinkInTheLogWindow) {
  struct Case {
    const char* what;
    bool withSource;
    bool warning;
    size_t records;
    int driven;
    std::string closeButton;  // UTF-8, as the user saw it
  } cases[] = {
      {"a clean run waits with its summary", true, false, 10, 1, "关闭"},
      {"a warning keeps the window", true, true, 10, 1, "关闭"},
      {"no source: the error keeps the ended window", false, false, 0, 1, "关闭"},
  };
  for (const Case& c : cases) {
    auto src = Source(10);
    auto dst = MakeIntf<TableDest>(std::vector<Column>{{"p", 6}, {"q", 65}});
    if (c.warning) dst->onPost = [&] { dst->events->OnMessage(kSeverityWarning, "w"); };
    std::vector<std::string> captions;
    int forms = 0;
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      ++forms;
      captions.push_back(form.Caption());
      captions.push_back(ui::ControlOf<ui::Button>(form, "btnClose").Caption());
      ui::Click(ui::ControlOf<ui::Button>(form, "btnClose"));
      EXPECT_NE(form.ModalResult(), ui::kMrNone) << c.what;
    });
    {
      TTransFrame runner;
      if (c.withSource) runner.SetImportEngine(src.get(), true);
      runner.SetExportEngine(dst.get(), true);
      runner.Execute();
      EXPECT_EQ(runner.Events(), nullptr) << c.what;  // the window detached itself
    }
    EXPECT_EQ(dst->records.size(), c.records) << c.what;
    EXPECT_EQ(forms, c.driven) << c.what;
    if (c.driven) {
      EXPECT_EQ(captions, (Lines{Ansi("数据传输"), Ansi(c.closeButton)})) << c.what;
    }
    // Engines let the window go: nothing holds the sink any more.
    EXPECT_EQ(dst->events, nullptr) << c.what;
  }
}

}  // namespace
}  // namespace ryn
