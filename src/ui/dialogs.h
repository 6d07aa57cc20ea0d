// Message boxes and the save-file and open-file dialogs. Every request is recorded;
// headless, a message box answers with the next scripted answer (else its first button:
// OK, Yes, Abort or Retry) and a file dialog with the next file name scripted for its kind
// (else the user cancels). A backend may derive from DialogService to ask a real user.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/types.h"
#include "ui/ui_api.h"

namespace ryn::ui {

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  uint32_t flags = 0;
  int answer = 0;
};

class SaveDialog;
class OpenDialog;

struct SaveDialogRecord {
  std::string title;
  std::string filter;
  std::string defaultExt;
  std::string initialName;
  std::optional<std::string> chosen;  // empty when cancelled
};

struct OpenDialogRecord {
  std::string title;
  std::string filter;
  std::string initialName;
  std::optional<std::string> chosen;  // empty when cancelled
};

class RYN_UI_API DialogService {
 public:
  virtual ~DialogService();

  // Shows a message box (kMb... flags) and answers with a kMr... value.
  virtual int MessageBox(std::string_view text, std::string_view caption, uint32_t flags);
  // Asks for a file name to save to; the full name, or nothing when cancelled.
  virtual std::optional<std::string> SaveFileName(const SaveDialog& dialog);
  // Asks for an existing file to open; its full name, or nothing when cancelled.
  virtual std::optional<std::string> OpenFileName(const OpenDialog& dialog);

  // The next message box answers so.
  void ScriptAnswer(int answer) { answers_.push_back(answer); }
  // The next save dialog chooses this name (nothing: the user cancels). A name without an
  // extension gets the dialog's default extension, as a user's typed name would.
  void ScriptSaveFileName(std::optional<std::string> name) { saveNames_.push_back(std::move(name)); }
  // The next open dialog chooses this name as given (nothing: the user cancels).
  void ScriptOpenFileName(std::optional<std::string> name) { openNames_.push_back(std::move(name)); }
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }
  const std::vector<SaveDialogRecord>& SaveDialogs() const { return saves_; }
  const std::vector<OpenDialogRecord>& OpenDialogs() const { return opens_; }
  // Forgets the records and the scripted answers still unused.
  void Reset();

 private:
  std::deque<int> answers_;
  std::deque<std::optional<std::string>> saveNames_;
  std::deque<std::optional<std::string>> openNames_;
  std::vector<MessageBoxRecord> boxes_;
  std::vector<SaveDialogRecord> saves_;
  std::vector<OpenDialogRecord> opens_;
};

// A message box through the application's dialog service.
RYN_UI_API int ShowMessageBox(std::string_view text, std::string_view caption, uint32_t flags);

// The save-file dialog a form keeps: its settings, and the chosen name after Execute.
class RYN_UI_API SaveDialog {
 public:
  std::string title;
  std::string filter;      // "description|pattern|description|pattern..."
  std::string defaultExt;  // with or without the leading dot
  std::string fileName;    // the initial name, then the chosen one
  // True when the user chose a file; fileName holds it then.
  bool Execute();
};

// The open-file dialog a form keeps, for choosing an existing file.
class RYN_UI_API OpenDialog {
 public:
  std::string title;
  std::string filter;    // "description|pattern|description|pattern..."
  std::string fileName;  // the initial name, then the chosen one
  // True when the user chose a file; fileName holds it then.
  bool Execute();
};

}  // namespace ryn::ui
