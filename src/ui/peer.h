// The seam to a real toolkit. A backend makes one peer per control when the control's form
// is first shown and tells it of every change; it may run modal loops and answer the
// dialog services itself. Headless there is no backend and controls have no peers.
#pragma once

#include <memory>

#include "ui/types.h"
#include "ui/ui_api.h"

namespace ryn::ui {

class Control;
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
};

}  // namespace ryn::ui
