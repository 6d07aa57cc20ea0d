#include "transfer/log_form.h"

#include <string>

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

TLogForm::TLogForm(TTransFrame* frame) : frame_(frame), window_(std::make_unique<ui::Form>()) { Build(); }

TLogForm::~TLogForm() { Destroy(); }

void TLogForm::Build() {
  ui::Form& form = *window_;
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
  lbCap_ = &panel1.Create<ui::Label>("lbCap");
  lbCap_->SetBounds(8, 5, 0, 12);
  ui::FontInfo bold = form.Font();
  bold.bold = true;
  lbCap_->SetFont(bold);
  lbTxt_ = &panel1.Create<ui::Label>("lbTxt");
  lbTxt_->SetBounds(37, 24, 344, 23);
  lbTxt_->SetLayout(ui::TextLayout::kCenter);
  lbTxt_->SetWordWrap(true);

  auto& panel3 = form.Create<ui::Panel>("Panel3");
  panel3.SetHeight(97);
  panel3.SetAlign(ui::AlignMode::kTop);
  panel3.Create<ui::Label>("Label3").SetBounds(10, 10, 0, 12);
  Gauge_ = &panel3.Create<ui::Gauge>("Gauge");
  Gauge_->SetBounds(8, 31, 371, 13);
  Gauge_->SetProgress(0);
  // The run's counts, shown at its end where the gauge was.
  lbSummary_ = &panel3.Create<ui::Label>("lbSummary");
  lbSummary_->SetBounds(10, 29, 371, 28);
  lbSummary_->SetWordWrap(true);
  lbSummary_->Hide();
  lbCount_ = &panel3.Create<ui::Label>("lbCount");
  lbCount_->SetBounds(10, 63, 0, 12);
  btnList_ = &panel3.Create<ui::Button>("btnList");
  btnList_->SetBounds(195, 62, 75, 23);
  btnList_->SetCaption(ShowLogCaption());
  btnList_->OnClick = [this] { ToggleLog(); };
  btnClose_ = &panel3.Create<ui::Button>("btnClose");
  btnClose_->SetBounds(288, 62, 75, 23);
  btnClose_->SetCaption(Ansi("取消"));
  btnClose_->OnClick = [this] {
    // While the run goes on, 取消 stops it at the next record; the window closes when the
    // run has ended (and what the destination took is let go).
    if (ended_) window_->Close();
    else Cancel();
  };

  plLogs_ = &form.Create<ui::Panel>("plLogs");
  plLogs_->SetBounds(0, 0, 389, 156);
  plLogs_->SetAlign(ui::AlignMode::kTop);
  plLogs_->Hide();
  edtLogs_ = &plLogs_->Create<ui::RichText>("edtLogs");
  edtLogs_->SetAlign(ui::AlignMode::kClient);
  edtLogs_->SetScrollBars(ui::ScrollBars::kBoth);
  edtLogs_->SetWordWrap(false);
  edtLogs_->SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetGb2312});

  // The window is as high as its visible panels: the log panel adds its height.
  form.SetAutoSize(true);
  form.OnShow = [this] { Shown(); };
  form.OnMessage = [this](const ui::Message& m) {
    if (m.msg == kRunMessage) Run();
  };
}

void TLogForm::Destroy() {
  if (!window_) return;
  if (frame_ && frame_->Events() == static_cast<ITransEvents*>(this)) frame_->SetEvents(nullptr);
  window_.reset();
}

int TLogForm::ShowModal() { return window_ ? window_->ShowModal() : ui::kMrCancel; }

void TLogForm::Shown() {
  if (frame_) frame_->SetEvents(this);
  window_->Repaint();
  OnStatus(Ansi("传输数据"), Ansi("开始传输数据..."));
  ui::ProcessMessages();
  // The run starts only once the window is fully shown.
  ui::Application::Instance().PostMessage(window_->Handle(), kRunMessage);
}

void TLogForm::Run() {
  IntfPtr<ITransScriptHost> host = frame_ ? frame_->GetScriptHost() : nullptr;
  // The compiler's messages are in the log already and keep the window open.
  if (host && host->Compile()) {
    ran_ = host;
    host->Execute();
  }
  // A run that ended without its end (no mappings, stopped before the first record) ends
  // here, so the window never stays at its start with nothing to do.
  if (window_ && !ended_) {
    bool cont = true;
    OnProgress(kProgressEnd, 0, cont);
  }
}

void TLogForm::Cancel() {
  if (cancelled_ || !window_) return;
  cancelled_ = true;
  stopped_ = true;
  OnStatus(Ansi("传输数据"), Ansi("正在取消..."));
}

void TLogForm::OnValueProblem(const TValueProblem& problem) {
  if (!window_) return;
  if (++problemsSeen_ > kProblemsListed) return;
  TNamedHost* named = NamedHost(ran_.get());
  const std::string& mapping = named && problem.mapping >= 0 ? named->MappingText(problem.mapping) : std::string();
  edtLogs_->AddLine(ProblemLine(problem, DestFieldName(problem.destField), mapping));
}

std::string TLogForm::DestFieldName(int32_t index) const {
  ITransEngine* dest = frame_ && index >= 0 ? frame_->ExportEngine() : nullptr;
  IntfPtr<ITransPort> port = dest ? dest->GetPort() : nullptr;
  IntfPtr<ITransField> field = port ? port->GetField(index) : nullptr;
  return field ? field->GetName() : std::string();
}

void TLogForm::Ended() {
  ended_ = true;
  if (problemsSeen_ > kProblemsListed)
    edtLogs_->AddLine(ProblemsNotListedText(problemsSeen_ - kProblemsListed));
  const TNamedHost* named = NamedHost(ran_.get());
  // Strict, as a transfer on the command line without --lossy: a value that was not
  // carried exactly fails the run, and what the destination took is let go.
  if (named && named->Counts().Changed() > 0)
    OnMessage(kSeverityError, ValuesChangedFailureText(named->Counts().Changed()));
  OnStatus(Ansi("传输数据"), Ansi(cancelled_ ? "传输已取消。" : errorSeen_ ? "传输失败。" : "传输过程结束。"));
  if (named) {
    lbSummary_->SetCaption(RunCountsText(named->Counts()));
    lbSummary_->Show();
  }
  Gauge_->Hide();
  btnClose_->SetCaption(Ansi("关闭"));
  stopped_ = true;
  lbCount_->SetCaption(Ansi("总共") + std::to_string(recordCount_) + Ansi("条数据"));
  if (!keepOpen_ || cancelled_) window_->Close();
}

void TLogForm::ToggleLog() {
  plLogs_->SetVisible(!plLogs_->Visible());
  btnList_->SetCaption(plLogs_->Visible() ? HideLogCaption() : ShowLogCaption());
}

void TLogForm::OnMessage(int32_t kind, std::string_view text) {
  if (!window_) return;
  edtLogs_->AddLine(std::string(text));
  const int32_t severity = SeverityOf(kind);
  if (severity == kSeverityWarning || severity == kSeverityError) keepOpen_ = true;
  if (severity == kSeverityError) stopped_ = errorSeen_ = true;
}

void TLogForm::OnStatus(std::string_view caption, std::string_view text) {
  if (!window_) return;
  lbCap_->SetCaption(std::string(caption));
  lbTxt_->SetCaption(std::string(text));
}

void TLogForm::OnProgress(uint8_t kind, int32_t value, bool& cont) {
  if (window_) {
    switch (kind) {
      case kProgressStart:
        // A source that cannot tell its total shows no gauge.
        Gauge_->SetVisible(value >= 0);
        if (value >= 0) Gauge_->SetMaxValue(value);
        break;
      case kProgressStep:
        Gauge_->SetProgress(value);
        recordCount_ = value;
        ui::ProcessMessages();
        break;
      case kProgressEnd:
        Ended();
        break;
      default:
        break;
    }
  }
  cont = !stopped_;
}

}  // namespace ryn
