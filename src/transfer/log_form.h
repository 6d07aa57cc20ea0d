// TLogForm, the progress log window: the modal window in which a transfer runs when its
// frame has no event sink. It becomes the frame's sink once shown, starts the run on its
// private message, shows progress and a record count, logs every message and the first
// values that could not be carried exactly, stops the run after an error or when the user
// asks (取消, Escape, the close box), and at its end shows the run's summary and stays until
// the user closes it. A run that changed values has failed, as one that reported an error has.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/interfaces.h"
#include "transport/object.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace ryn {

class TTransFrame;
struct TValueProblem;

class TLogForm final : public TInterfacedObject, public virtual ITransEvents, public virtual IImplementorAccess {
 public:
  // The message on which the run starts, posted to the window once it is shown.
  static constexpr uint32_t kRunMessage = ui::kFirstPrivateMessage;

  explicit TLogForm(TTransFrame* frame);
  ~TLogForm() override;

  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEvents, IImplementorAccess>(this, iid, obj);
  }
  // A line of the log; a warning keeps the window open at the end, an error also stops
  // the run at the next progress report.
  void OnMessage(int32_t kind, std::string_view text) override;
  void OnStatus(std::string_view caption, std::string_view text) override;
  // 1: the total (below 0 hides the gauge); 2: a record done (pending UI messages are
  // processed); 3: the end. cont is always set to whether the run may go on.
  void OnProgress(uint8_t kind, int32_t value, bool& cont) override;
  TObject* GetImplementor() override { return this; }

  // A value of the run that could not be carried exactly: a line of the log for the first
  // kProblemsListed of them, a count for the rest (one line at the end says how many).
  void OnValueProblem(const TValueProblem& problem);
  static constexpr int64_t kProblemsListed = 1000;

  // Shows the window modally; the run happens inside. The modal result.
  int ShowModal();
  // Destroys the window and detaches it from the frame (the frame's sink is cleared). The
  // object itself goes with its last reference; events that still arrive change nothing.
  void Destroy();

  ui::Form& Window() { return *FWindow; }
  bool Stopped() const { return FStopped; }
  bool KeepOpen() const { return FKeepOpen; }
  // The user asked the run to stop (取消, Escape or the close box) while it went on.
  bool Cancelled() const { return FCancelled; }
  // The run's summary as the window shows it at the end: the counts, then the warnings,
  // errors and time (empty before the end).
  const std::string& SummaryText() const { return FSummary; }
  // An error was reported during the run, or the run changed values.
  bool ErrorSeen() const { return FErrorSeen; }

 private:
  void Build();
  void Shown();
  void Run();
  void ToggleLog();
  // 取消, Escape or the close box during the run: the run stops at its next record.
  void Cancel();
  // The window closes only once the run has ended; before, closing asks the run to stop.
  bool CloseQuery();
  // During the run: shows the progress and the lines gathered since last time, and handles
  // the user's input, at most every kPumpInterval unless something is queued already.
  void Pump();
  void AddLogLine(std::string line);
  void FlushLog();
  static constexpr std::chrono::milliseconds kPumpInterval{50};
  // The end of the run: its counts, the problems not listed, and whether it failed.
  void Ended();
  // The field's name as the destination port has it; empty when it has none.
  std::string DestFieldName(int32_t index) const;

  TTransFrame* FFrame;
  bool FStopped = false;
  bool FKeepOpen = false;
  bool FErrorSeen = false;
  bool FEnded = false;  // the run's end has come
  bool FCancelled = false;
  int32_t FRecordCount = 0;
  int64_t FProblemsSeen = 0;
  int64_t FWarnings = 0;
  int64_t FErrors = 0;
  std::chrono::steady_clock::time_point FStart{};
  std::chrono::steady_clock::time_point FLastPump{};
  // Log lines not yet handed to the view: one change for many lines.
  std::vector<std::string> FPendingLines;
  std::string FSummary;
  // The host that ran (its counts are shown at the end); null before the run starts.
  IntfPtr<ITransScriptHost> FRunHost;
  std::unique_ptr<ui::Form> FWindow;
  ui::Label* lbCap = nullptr;
  ui::Label* lbTxt = nullptr;
  ui::Gauge* Gauge = nullptr;
  ui::Label* lbCount = nullptr;
  ui::Label* lbSummary = nullptr;
  ui::Label* lbTotals = nullptr;
  ui::Button* btnList = nullptr;
  ui::Button* btnClose = nullptr;
  ui::Panel* plLogs = nullptr;
  ui::RichText* edtLogs = nullptr;
};

}  // namespace ryn
