// The event sink of `ryn transfer`: messages on stderr after the system's severity words,
// progress as a bar on a terminal or as plain lines otherwise, and a stop request (Ctrl-C)
// passed to the transfer at its next record.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn::tool {

enum class ProgressStyle { kNone, kBar, kLines };

class TConsoleEvents final : public TInterfacedObject, public virtual ITransEvents {
 public:
  TConsoleEvents(std::ostream& err, ProgressStyle style) : err_(err), style_(style) {}

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransEvents>(this, iid, obj); }
  void OnMessage(int32_t kind, std::string_view text) override;
  void OnStatus(std::string_view caption, std::string_view text) override;
  void OnProgress(uint8_t kind, int32_t value, bool& cont) override;

  // An error (severity 3) was reported; with lossy values accepted, not counting the
  // messages about values that could not be carried exactly.
  bool ErrorSeen() const { return errorSeen_; }
  // Messages about values that could not be carried exactly are no errors of the run.
  void AcceptLossyValues(bool accept) { lossy_ = accept; }
  // A message said that values could not be carried exactly.
  bool ValuesLost() const { return valuesLost_; }
  // The transfer was asked to stop.
  bool Stopped() const { return stopped_; }

  // Makes SIGINT ask the transfer to stop for the life of this object; a second SIGINT
  // ends the process as usual.
  class InterruptScope {
   public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
  };

 private:
  using Clock = std::chrono::steady_clock;

  void Show(int32_t done);
  void ClearBar();

  std::ostream& err_;
  ProgressStyle style_;
  bool errorSeen_ = false;
  bool lossy_ = false;
  bool valuesLost_ = false;
  bool stopped_ = false;
  bool barShown_ = false;
  int32_t total_ = -1;
  int32_t done_ = 0;
  Clock::time_point start_{};
  Clock::time_point lastShown_{};
};

}  // namespace ryn::tool
