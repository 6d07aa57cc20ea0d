// TSourceConfig, what the configuration wizards of our source engines share: a working
// copy of the engine (a second engine given the same options) that takes each page's
// input when the page is checked, a preview of the copy's first records, the host's
// header set through the engine's sink, and Update handing the copy's options text to the
// engine, which is untouched until then. A concrete wizard builds its pages with NewPage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "wizard/form_config_base.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/lists.h"
#include "ui/pages.h"

namespace ryn {

class TProblemSink;

class TSourceConfig : public TCustomConfig {
 public:
  // How many records the preview shows.
  static constexpr int kPreviewRecords = 20;

  IntfPtr<ITransEngine> GetEngine() override { return workEngine_; }
  // The engine takes the working copy's options.
  void Update() override;

 protected:
  // The wizard holds a reference on target, so that a host that closes the engine while
  // the wizard is open leaves nothing dangling. work gets target's options.
  TSourceConfig(ITransEngine* target, IntfPtr<ITransEngine> work);
  ~TSourceConfig() override;

  // A new page of the page control, also appended to the page list.
  ui::Page& NewPage(std::string name);
  // A new page "tsPreview" with its label (named labelName) over the read-only list
  // "lvPreview" that FillPreview fills.
  ui::ListView& NewPreviewPage(const char* labelName);
  // Activates the page, sets the host's header and lets the wizard fill it.
  void ShowPage(int index) override;
  // The header (caption, text) of a page.
  virtual std::pair<std::string, std::string> PageHeader(int index) = 0;
  virtual void PageShown(int) {}

  // Gives the working copy these options; false with the copy's own complaint (or a
  // general one) in problem when it refuses them.
  bool ApplyToWork(const std::string& options, std::string& problem);
  // The working copy's fields as columns and its first records as items.
  void FillPreview(ui::ListView& view);
  // The full name of the existing file the edit names; false after telling the user
  // (emptyText when the edit is blank, else that the file is not there).
  bool TakeExistingFile(ui::Edit& edit, const std::string& emptyText, std::string& path);
  // Runs the dialog from the edit's name; the chosen file goes into the edit.
  static void ChooseFile(ui::ButtonEdit& edit, ui::OpenDialog& dialog);
  // Tells the user what is wrong with the page (caption "提示"); the field at fault, if
  // given, takes the focus, an edit with its text selected for retyping. Always false.
  static bool Complain(std::string_view text, uint32_t icon, ui::Control* field = nullptr);

  ITransEngine* Target() const { return targetEngine_.get(); }
  ui::PageControl* pageControl_ = nullptr;

 private:
  IntfPtr<ITransEngine> targetEngine_;
  IntfPtr<ITransEngine> workEngine_;
  IntfPtr<TProblemSink> problems_;
};

}  // namespace ryn
