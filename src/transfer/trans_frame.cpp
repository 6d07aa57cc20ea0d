#include "transfer/trans_frame.h"

#include <functional>

#include "expr/named_host.h"
#include "platform/codepage.h"
#include "transfer/log_form.h"
#include "transfer/trans_wise.h"
#include "transport/errors.h"
#include "transport/registries.h"

namespace ryn {

struct TTransFrame::Side {
  std::string_view word;  // UTF-8: "导入" or "导出"
  int32_t direction;
  IntfPtr<ITransEngine> TTransFrame::*engine;
  bool TTransFrame::*replaceable;
};

const TTransFrame::Side TTransFrame::kSourceSide{"导入", kDirectionSource, &TTransFrame::source_,
                                                 &TTransFrame::sourceReplaceable_};
const TTransFrame::Side TTransFrame::kDestSide{"导出", kDirectionDestination, &TTransFrame::dest_,
                                               &TTransFrame::destReplaceable_};

namespace {

const std::string& Word(std::string_view utf8) { return Ansi(utf8); }

// Whether the host's last run was asked to stop before the source's end.
bool HostStopped(ITransScriptHost* host) {
  auto* named = dynamic_cast<TNamedHost*>(ImplementorOf(host));
  return named && named->Stopped();
}

// While the progress log window runs the named host, the host's problems go to the
// window, which lists them (the first of them) itself: the host then sends no warning
// per failed mapping. What the host's owner had set comes back afterwards.
class ProblemsToLog {
 public:
  ProblemsToLog(ITransScriptHost* host, TLogForm* log)
      : named_(dynamic_cast<TNamedHost*>(ImplementorOf(host))) {
    if (!named_) return;
    handler_ = named_->GetProblemHandler();
    policy_ = named_->RunPolicy();
    TRunPolicy quiet = policy_;
    quiet.warnFailedMappings = false;
    named_->SetRunPolicy(quiet);
    named_->SetProblemHandler([log](const TValueProblem& p) { log->OnValueProblem(p); });
  }
  ~ProblemsToLog() {
    if (!named_) return;
    named_->SetProblemHandler(std::move(handler_));
    named_->SetRunPolicy(policy_);
  }
  ProblemsToLog(const ProblemsToLog&) = delete;
  ProblemsToLog& operator=(const ProblemsToLog&) = delete;

 private:
  TNamedHost* named_;
  std::function<void(const TValueProblem&)> handler_;
  TRunPolicy policy_;
};

}  // namespace

TTransFrame::TTransFrame() {
  // The built-in host must be found by name whenever a transfer is set up.
  RegisterNamedHostFactory();
}

TTransFrame::~TTransFrame() {
  if (host_) {
    host_->SetSourcePort(nullptr);
    host_->SetDestinationPort(nullptr);
    host_->SetEvents(nullptr);
  }
  for (IntfPtr<ITransEngine>* engine : {&source_, &dest_}) {
    // A destination that cannot finish its output raises; the other engine is closed all
    // the same and the sink hears of it. Unless a run ended cleanly (or its owner keeps
    // what it wrote), the destination keeps nothing: the file there before stays whole.
    try {
      if (!*engine || !(*engine)->IsActive()) continue;
      if (engine == &dest_ && !keepOutput_) AbandonOrFina(**engine);
      else (*engine)->Fina();
    } catch (const ERynError& e) {
      Message(kSeverityError, e.Message());
    } catch (...) {
    }
  }
}

bool TTransFrame::ShowWizard() {
  IntfPtr<TTransFrom> wizard = MakeIntf<TTransFrom>();
  // The wizard gives this frame its sink back however the dialog ends, also when a preset
  // engine fails while it starts.
  struct Destroyer {
    TTransFrom* wizard;
    ~Destroyer() { wizard->Destroy(); }
  } destroyer{wizard.get()};
  wizard->SetFrame(this);
  return wizard->ShowModal() == ui::kMrOk;
}

void TTransFrame::Message(int32_t kind, const std::string& text) {
  if (SeverityOf(kind) == kSeverityError) errorReported_ = true;
  if (events_) events_->OnMessage(kind, text);
}

IntfPtr<ITransPort> TTransFrame::OpenPort(const Side& side, ITransEngine* engine) {
  if (!engine->IsActive() && !engine->Init(side.direction)) return nullptr;
  IntfPtr<ITransPort> port = engine->GetPort();
  if (!port) return nullptr;
  if (side.direction == kDirectionSource) return IntfPtr<ITransPort>(port.Query<IImport>());
  return IntfPtr<ITransPort>(port.Query<IExport>());
}

void TTransFrame::Connect(const Side& side, ITransPort* port) {
  if (side.direction == kDirectionSource) host_->SetSourcePort(QueryIntf<IImport>(port).get());
  else host_->SetDestinationPort(QueryIntf<IExport>(port).get());
}

void TTransFrame::SetEngine(const Side& side, ITransEngine* engine, bool replaceable) {
  IntfPtr<ITransEngine>& current = this->*side.engine;
  bool& currentReplaceable = this->*side.replaceable;
  if (current && !currentReplaceable) throw ETransFrameError(Word(side.word) + Ansi("引擎不能重置！"));
  if (engine && (engine->GetEngineType() & side.direction) == 0)
    throw ETransFrameError(Word(side.word) + Ansi("引擎无效！"));
  if (host_) Connect(side, nullptr);
  current = engine;
  currentReplaceable = replaceable || !engine;
  if (!engine) return;
  engine->SetEvents(events_.get());
  if (!host_) return;
  if (!engine->IsActive() && !engine->Init(side.direction)) return;
  IntfPtr<ITransPort> port = engine->GetPort();
  Connect(side, port.get());
}

void TTransFrame::SetImportEngine(ITransEngine* engine, bool replaceable) { SetEngine(kSourceSide, engine, replaceable); }

void TTransFrame::SetExportEngine(ITransEngine* engine, bool replaceable) { SetEngine(kDestSide, engine, replaceable); }

void TTransFrame::SetEvents(ITransEvents* events) {
  if (events == events_.get()) return;
  events_ = events;
  if (source_) source_->SetEvents(events);
  if (dest_) dest_->SetEvents(events);
  if (host_) host_->SetEvents(events);
}

IntfPtr<ITransScriptHost> TTransFrame::GetScriptHost() {
  if (!host_ && GetTransScriptHosts().Count() > 0) {
    if (IntfPtr<ITransScriptHost> first = GetTransScriptHosts().CreateByIndex(0)) SelectScriptHost(first->GetName());
  }
  return host_;
}

void TTransFrame::SelectScriptHost(std::string_view name) {
  host_ = GetTransScriptHosts().FindByName(name);
  if (!host_) {
    Message(kSeverityWarning, std::string(name) + Ansi("脚本解释器没找到"));
    return;
  }
  for (const Side* side : {&kSourceSide, &kDestSide}) {
    ITransEngine* engine = (this->*side->engine).get();
    if (!engine) continue;
    if (IntfPtr<ITransPort> port = OpenPort(*side, engine)) Connect(*side, port.get());
    else Message(kSeverityError, Word(side->word) + Ansi("引擎无效！"));
  }
  host_->SetEvents(events_.get());
}

void TTransFrame::Execute() {
  errorReported_ = false;
  cancelled_ = false;
  runSummary_.clear();
  keepOutput_ = false;
  IntfPtr<ITransScriptHost> host = GetScriptHost();
  if (!host) {
    Message(kSeverityError, Ansi("脚本解释器没找到"));
    return;
  }
  if (host->IsEmpty()) host->BuildDefaultScript();
  if (!events_) {
    // The progress log window attaches itself as the sink, compiles and runs the host
    // once it is shown, and detaches when it is destroyed.
    IntfPtr<TLogForm> log = MakeIntf<TLogForm>(this);
    struct Destroyer {
      TLogForm* log;
      ~Destroyer() { log->Destroy(); }
    } destroyer{log.get()};
    {
      ProblemsToLog routing(host.get(), log.get());
      log->ShowModal();
    }
    cancelled_ = log->Cancelled();
    runSummary_ = log->SummaryText();
    if (log->ErrorSeen()) errorReported_ = true;
    keepOutput_ = !errorReported_ && !HostStopped(host.get());
    return;
  }
  if (host->Compile()) host->Execute();
  else Message(kSeverityError, Ansi("脚本语法检查出现错误"));
  keepOutput_ = !errorReported_ && !HostStopped(host.get());
}

}  // namespace ryn
