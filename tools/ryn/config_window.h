// The window `ryn config` shows an engine's configuration wizard in: the wizard's pages
// embedded by handle above a row of Back, Next, OK and Cancel buttons, stepping as a host
// of the exported functions steps (a page is checked before Next and OK; OK commits).
#pragma once

#include "transport/interfaces.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace ryn::tool {

class TConfigWindow : public ui::Form {
 public:
  // The wizard is started on the window's page when the window is shown.
  explicit TConfigWindow(IntfPtr<IEngineConfig> config, const std::string& engineName);
  ~TConfigWindow() override;
  // True when the user finished with OK (the engine then holds the options).
  bool Execute();

 private:
  void Step(bool forward);
  void Finish();
  void UpdateButtons();

  IntfPtr<IEngineConfig> config_;
  ui::Panel* page_;
  ui::Button* backButton_;
  ui::Button* nextButton_;
  ui::Button* okButton_;
  bool started_ = false;
};

}  // namespace ryn::tool
