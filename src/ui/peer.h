// The seam to a real toolkit. A backend makes one peer per control when the control's form
// is first shown and tells it of every change; it may run modal loops and answer the
// dialog services itself. Headless there is no backend and controls have no peers. A
// backend lives in a module of its own (backend_loader.cpp), one per process.
#pragma once

#include <memory>
#include <string>

#include "ui/types.h"
#include "ui/ui_api.h"

namespace ryn::ui {

class Control;
class DialogService;
class Form;

class RYN_UI_API ControlPeer {
 public:
  virtual ~ControlPeer();
  // The control's property of that kind changed; the peer reads the new state from it.
  virtual void Changed(Change what) = 0;
};

class RYN_UI_API Backend {
 public:
  virtual ~Backend();
  // A peer rendering the control, or null to leave it unrendered. Called on the UI thread.
  virtual std::unique_ptr<ControlPeer> CreatePeer(Control& control) = 0;
  // Runs the form's modal loop until its modal result is set; false leaves the loop to
  // the headless driver.
  virtual bool RunModal(Form&) { return false; }
  // A message was posted, possibly from another thread: make the UI thread process it.
  virtual void Wake() {}
  // Handles the toolkit's pending input and painting without waiting; ProcessMessages
  // calls it so that a window stays alive during long work on the UI thread.
  virtual void ProcessEvents() {}
  // The backend's own dialog service (real message boxes and file dialogs), or null.
  virtual DialogService* Dialogs() { return nullptr; }
  // Writes what the shown form looks like on screen as a PNG file; false when it cannot.
  virtual bool Snapshot(Form&, const std::string& /*pngFile*/) { return false; }
};

}  // namespace ryn::ui
