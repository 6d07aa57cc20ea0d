// Message boxes and file dialogs as GTK dialogs, for a user at the screen. Every request is
// still recorded as the headless service records it.
#pragma once

#include <string>

#include "ui/dialogs.h"

namespace ryn::ui::gtk {

// A file pattern of a dialog's filter ("*.Ryn", UTF-8) as the toolkit's pattern that
// matches names in any case ("*.[Rr][Yy][Nn]").
std::string CaseFreePattern(const std::string& pattern);

class GtkDialogService : public DialogService {
 public:
  int MessageBox(std::string_view text, std::string_view caption, uint32_t flags) override;
  std::optional<std::string> SaveFileName(const SaveDialog& dialog) override;
  std::optional<std::string> OpenFileName(const OpenDialog& dialog) override;
};

}  // namespace ryn::ui::gtk
