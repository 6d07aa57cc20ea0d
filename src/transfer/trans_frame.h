// TTransFrame ties one transfer together: a source engine, a destination engine, the
// script host that holds the field mapping and runs the record loop, and the event sink
// that hears what happens. Its owner sets the engines, lets the user configure them and
// runs the transfer. Failures of the owner's requests raise ETransFrameError; problems
// of the run go to the sink.
#pragma once

#include <string>
#include <string_view>

#include "transport/interfaces.h"

namespace ryn {

class TTransFrame {
 public:
  TTransFrame();
  // Detaches the host from the engines and the sink, and closes every engine that is open.
  ~TTransFrame();
  TTransFrame(const TTransFrame&) = delete;
  TTransFrame& operator=(const TTransFrame&) = delete;

  // Shows the transfer wizard modally; true when it closed with OK (the mapping is then in
  // the host). Raises ETransFromError when a preset engine that may not be replaced cannot
  // be opened.
  bool ShowWizard();
  // Runs the transfer with the selected host, building its default script when the
  // script is blank. Without a sink the run happens in the progress log window, shown
  // modally for its duration, which lists the values the host could not carry exactly
  // and fails the run when there are any.
  void Execute();
  // Whether the last Execute reported an error: in the progress log window, or through
  // the frame itself (the sink's own messages are the sink's to count).
  bool ErrorReported() const { return errorReported_; }
  // Whether the user stopped the last Execute in the progress log window.
  bool Cancelled() const { return cancelled_; }
  // The summary the progress log window showed at the end of the last Execute (lines
  // joined by LF); empty when the run had a sink of its own.
  const std::string& RunSummary() const { return runSummary_; }
  // Whether closing the frame keeps what the destination took (its Fina) or abandons it
  // (nothing written since it opened is kept). Abandoned unless the last Execute ended
  // without an error (and, in the progress log window, without being stopped); an owner
  // that hears the engines' messages itself decides after Execute.
  void KeepOutput(bool keep) { keepOutput_ = keep; }
  bool KeepsOutput() const { return keepOutput_; }
  // Raise ETransFrameError when the engine may not be replaced or serves the other
  // direction. A null engine clears the side.
  void SetImportEngine(ITransEngine* engine, bool replaceable);
  void SetExportEngine(ITransEngine* engine, bool replaceable);
  void SetEvents(ITransEvents* events);
  // The selected host; the first registered one is selected when none is yet. May be null.
  IntfPtr<ITransScriptHost> GetScriptHost();
  // Makes a new host of the factory of that name (ignoring case) the selected one and
  // connects it to the engines; with no such factory no host is selected.
  void SelectScriptHost(std::string_view name);

  ITransEngine* ImportEngine() const { return source_.get(); }
  ITransEngine* ExportEngine() const { return dest_.get(); }
  ITransEvents* Events() const { return events_.get(); }
  bool ImportReplaceable() const { return sourceReplaceable_; }
  bool ExportReplaceable() const { return destReplaceable_; }

 private:
  struct Side;
  static const Side kSourceSide;
  static const Side kDestSide;
  void SetEngine(const Side& side, ITransEngine* engine, bool replaceable);
  // Opens the engine for the side's direction unless it is open; its port as the side's
  // port interface, or null.
  static IntfPtr<ITransPort> OpenPort(const Side& side, ITransEngine* engine);
  void Connect(const Side& side, ITransPort* port);
  void Message(int32_t kind, const std::string& text);

  IntfPtr<ITransEngine> source_;
  IntfPtr<ITransEngine> dest_;
  IntfPtr<ITransEvents> events_;
  bool errorReported_ = false;
  bool cancelled_ = false;
  std::string runSummary_;
  bool keepOutput_ = false;
  bool sourceReplaceable_ = true;
  bool destReplaceable_ = true;
  IntfPtr<ITransScriptHost> host_;
};

}  // namespace ryn
