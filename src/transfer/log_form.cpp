#include "transfer/log_form.h"

#include <chrono>
#include <string>
#include <utility>

#include "expr/named_host.h"
#include "platform/codepage.h"
#include "transfer/run_report.h"
#include "transfer/trans_frame.h"
#include "ui/application.h"

namespace ryn {
namespace {

const std::string& ShowLogCaption() { return Ansi("信息 >>"); }
const std::string& HideLogCaption() { return Ansi("信息 <<"); }

TNamedHost* NamedHost(ITransScriptHost* host) { return dynamic_cast<TNamedHost*>(ImplementorOf(host)); }

}  // namespace

TLogForm::TLogForm(TTransFrame* frame) : FFrame(frame), FWindow(std::make_unique<ui::Form>()) { Build(); }

TLogForm::~TLogForm() { Destroy(); }

void TLogForm::Build() {
  ui::Form& form = *FWindow;
  form.SetName("LogForm");
  form.SetCaption(Ansi("数据传输"));
  form.SetClientSize(389, 301);
  form.SetBorderStyle(ui::FormBorder::kDialog);
  form.SetPosition(ui::FormPosition::kScreenCenter);
  form.SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault});

  auto& panel1 = form.Create<ui::Panel>("Panel1");
  panel1.SetHeight(48);
  panel1.SetAlign(ui::AlignMode::kTop);
  panel1.SetColor(ui::kColorWhite);
  lbCap = &panel1.Create<ui::Label>("lbCap");
  lbCap->SetBounds(8, 5, 0, 12);
  ui::FontInfo bold = form.Font();
  bold.bold = true;
  lbCap->SetFont(bold);
  lbTxt = &panel1.Create<ui::Label>("lbTxt");
  lbTxt->SetBounds(37, 24, 344, 23);
  lbTxt->SetLayout(ui::TextLayout::kCenter);
  lbTxt->SetWordWrap(true);

  auto& panel3 = form.Create<ui::Panel>("Panel3");
  panel3.SetHeight(97);
  panel3.SetAlign(ui::AlignMode::kTop);
  panel3.Create<ui::Label>("Label3").SetBounds(10, 10, 0, 12);
  Gauge = &panel3.Create<ui::Gauge>("Gauge");
  Gauge->SetBounds(8, 31, 371, 13);
  Gauge->SetProgress(0);
  // The run's summary, shown at its end where the gauge was: the counts, then the
  // warnings, errors and time.
  lbSummary = &panel3.Create<ui::Label>("lbSummary");
  lbSummary->SetBounds(10, 4, 371, 40);
  lbSummary->SetWordWrap(true);
  lbSummary->Hide();
  lbTotals = &panel3.Create<ui::Label>("lbTotals");
  lbTotals->SetBounds(10, 46, 371, 14);
  lbTotals->Hide();
  lbCount = &panel3.Create<ui::Label>("lbCount");
  lbCount->SetBounds(10, 63, 0, 12);
  btnList = &panel3.Create<ui::Button>("btnList");
  btnList->SetBounds(195, 62, 75, 23);
  btnList->SetCaption(ShowLogCaption());
  btnList->OnClick = [this] { ToggleLog(); };
  btnList->SetMnemonic('L');
  btnClose = &panel3.Create<ui::Button>("btnClose");
  btnClose->SetBounds(288, 62, 75, 23);
  btnClose->SetCaption(Ansi("取消"));
  btnClose->SetCancel(true);  // Escape
  btnClose->OnClick = [this] { FWindow->Close(); };

  plLogs = &form.Create<ui::Panel>("plLogs");
  plLogs->SetBounds(0, 0, 389, 156);
  plLogs->SetAlign(ui::AlignMode::kTop);
  plLogs->Hide();
  edtLogs = &plLogs->Create<ui::RichText>("edtLogs");
  edtLogs->SetAlign(ui::AlignMode::kClient);
  edtLogs->SetScrollBars(ui::ScrollBars::kBoth);
  edtLogs->SetWordWrap(false);
  edtLogs->SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetGb2312});

  // The window is as high as its visible panels: the log panel adds its height.
  form.SetAutoSize(true);
  form.OnShow = [this] { Shown(); };
  form.OnCloseQuery = [this] { return CloseQuery(); };
  form.OnMessage = [this](const ui::Message& m) {
    if (m.msg == kRunMessage) Run();
  };
}

void TLogForm::Destroy() {
  if (!FWindow) return;
  if (FFrame && FFrame->Events() == static_cast<ITransEvents*>(this)) FFrame->SetEvents(nullptr);
  FWindow.reset();
}

int TLogForm::ShowModal() { return FWindow ? FWindow->ShowModal() : ui::kMrCancel; }

void TLogForm::Shown() {
  if (FFrame) FFrame->SetEvents(this);
  FWindow->Repaint();
  OnStatus(Ansi("传输数据"), Ansi("开始传输数据..."));
  ui::ProcessMessages();
  // The run starts only once the window is fully shown.
  ui::Application::Instance().PostMessage(FWindow->Handle(), kRunMessage);
}

void TLogForm::Run() {
  FStart = std::chrono::steady_clock::now();
  IntfPtr<ITransScriptHost> host = FFrame ? FFrame->GetScriptHost() : nullptr;
  // The compiler's messages are in the log already and keep the window open.
  if (host && host->Compile()) {
    FRunHost = host;
    host->Execute();
  }
  // A run that ended without its end (no mappings, stopped before the first record) ends
  // here, so the window never stays at its start with nothing to do.
  if (FWindow && !FEnded) {
    bool cont = true;
    OnProgress(kProgressEnd, 0, cont);
  }
}

void TLogForm::Cancel() {
  if (FCancelled || !FWindow) return;
  FCancelled = true;
  FStopped = true;
  OnStatus(Ansi("传输数据"), Ansi("正在取消..."));
}

bool TLogForm::CloseQuery() {
  // Before the run has started nothing can stop it yet, and the window could not say how
  // it ended: the request is a cancel all the same, honoured as the run starts.
  if (FEnded) return true;
  Cancel();
  return false;
}

void TLogForm::OnValueProblem(const TValueProblem& problem) {
  if (!FWindow) return;
  if (++FProblemsSeen > kProblemsListed) return;
  TNamedHost* named = NamedHost(FRunHost.get());
  const std::string& mapping = named && problem.mapping >= 0 ? named->MappingText(problem.mapping) : std::string();
  AddLogLine(ProblemLine(problem, DestFieldName(problem.destField), mapping));
}

std::string TLogForm::DestFieldName(int32_t index) const {
  ITransEngine* dest = FFrame && index >= 0 ? FFrame->ExportEngine() : nullptr;
  IntfPtr<ITransPort> port = dest ? dest->GetPort() : nullptr;
  IntfPtr<ITransField> field = port ? port->GetField(index) : nullptr;
  return field ? field->GetName() : std::string();
}

void TLogForm::Ended() {
  FEnded = true;
  FlushLog();
  Gauge->SetProgress(FRecordCount);
  if (FProblemsSeen > kProblemsListed)
    edtLogs->AddLine(ProblemsNotListedText(FProblemsSeen - kProblemsListed));
  const TNamedHost* named = NamedHost(FRunHost.get());
  // Strict, as a transfer on the command line without --lossy: a value that was not
  // carried exactly fails the run, and what the destination took is let go.
  if (named && named->Counts().Changed() > 0)
    OnMessage(kSeverityError, ValuesChangedFailureText(named->Counts().Changed()));
  if (FCancelled) edtLogs->AddLine(CancelledText());
  OnStatus(Ansi("传输数据"), Ansi(FCancelled ? "传输已取消。" : FErrorSeen ? "传输失败。" : "传输过程结束。"));
  const auto elapsed = std::chrono::steady_clock::now() - FStart;
  const std::string totals =
      RunTotalsText(FWarnings, FErrors, std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  FSummary = named ? RunCountsText(named->Counts()) + "\n" + totals : totals;
  if (named) {
    lbSummary->SetCaption(RunCountsText(named->Counts()));
    lbSummary->Show();
  }
  lbTotals->SetCaption(totals);
  lbTotals->Show();
  Gauge->Hide();
  btnClose->SetCaption(Ansi("关闭"));
  FStopped = true;
  lbCount->SetCaption(Ansi("总共") + std::to_string(FRecordCount) + Ansi("条数据"));
  // The window stays with the summary until the user closes it.
}

void TLogForm::ToggleLog() {
  plLogs->SetVisible(!plLogs->Visible());
  btnList->SetCaption(plLogs->Visible() ? HideLogCaption() : ShowLogCaption());
}

void TLogForm::AddLogLine(std::string line) {
  if (FEnded) edtLogs->AddLine(std::move(line));
  else FPendingLines.push_back(std::move(line));
}

void TLogForm::FlushLog() {
  if (!FPendingLines.empty()) edtLogs->AddLines(std::exchange(FPendingLines, {}));
}

void TLogForm::Pump() {
  const auto now = std::chrono::steady_clock::now();
  if (now - FLastPump < kPumpInterval && !ui::Application::Instance().HasPendingMessages()) return;
  FLastPump = now;
  FlushLog();
  Gauge->SetProgress(FRecordCount);
  ui::ProcessMessages();
}

void TLogForm::OnMessage(int32_t kind, std::string_view text) {
  if (!FWindow) return;
  AddLogLine(std::string(text));
  const int32_t severity = SeverityOf(kind);
  if (severity == kSeverityWarning || severity == kSeverityError) FKeepOpen = true;
  if (severity == kSeverityWarning) ++FWarnings;
  if (severity == kSeverityError) {
    ++FErrors;
    FStopped = FErrorSeen = true;
  }
}

void TLogForm::OnStatus(std::string_view caption, std::string_view text) {
  if (!FWindow) return;
  lbCap->SetCaption(std::string(caption));
  lbTxt->SetCaption(std::string(text));
}

void TLogForm::OnProgress(uint8_t kind, int32_t value, bool& cont) {
  if (FWindow) {
    switch (kind) {
      case kProgressStart:
        // A source that cannot tell its total shows no gauge.
        Gauge->SetVisible(value >= 0);
        if (value >= 0) Gauge->SetMaxValue(value);
        break;
      case kProgressStep:
        FRecordCount = value;
        Pump();
        break;
      case kProgressEnd:
        Ended();
        break;
      default:
        break;
    }
  }
  cont = !FStopped;
}

}  // namespace ryn
