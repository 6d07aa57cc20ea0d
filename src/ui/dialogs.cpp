#include "ui/dialogs.h"

#include "ui/application.h"

namespace ryn::ui {
namespace {

int FirstButton(uint32_t flags) {
  switch (flags & kMbButtonsMask) {
    case kMbAbortRetryIgnore: return kMrAbort;
    case kMbYesNo:
    case kMbYesNoCancel: return kMrYes;
    case kMbRetryCancel: return kMrRetry;
    default: return kMrOk;
  }
}

bool HasExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  const size_t slash = name.find_last_of('/');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash) && dot + 1 < name.size();
}

}  // namespace

DialogService::~DialogService() = default;

int DialogService::MessageBox(std::string_view text, std::string_view caption, uint32_t flags) {
  int answer = FirstButton(flags);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  boxes_.push_back(MessageBoxRecord{std::string(text), std::string(caption), flags, answer});
  return answer;
}

std::optional<std::string> DialogService::SaveFileName(const SaveDialog& dialog) {
  std::optional<std::string> chosen;
  if (!saveNames_.empty()) {
    chosen = std::move(saveNames_.front());
    saveNames_.pop_front();
  }
  if (chosen && !HasExtension(*chosen) && !dialog.defaultExt.empty()) {
    std::string_view ext = dialog.defaultExt;
    if (ext.front() == '.') ext.remove_prefix(1);
    *chosen += "." + std::string(ext);
  }
  saves_.push_back(SaveDialogRecord{dialog.title, dialog.filter, dialog.defaultExt, dialog.fileName, chosen});
  return chosen;
}

std::optional<std::string> DialogService::OpenFileName(const OpenDialog& dialog) {
  std::optional<std::string> chosen;
  if (!openNames_.empty()) {
    chosen = std::move(openNames_.front());
    openNames_.pop_front();
  }
  opens_.push_back(OpenDialogRecord{dialog.title, dialog.filter, dialog.fileName, chosen});
  return chosen;
}

void DialogService::Reset() {
  answers_.clear();
  saveNames_.clear();
  openNames_.clear();
  boxes_.clear();
  saves_.clear();
  opens_.clear();
}

int ShowMessageBox(std::string_view text, std::string_view caption, uint32_t flags) {
  return Application::Instance().Dialogs().MessageBox(text, caption, flags);
}

bool SaveDialog::Execute() {
  std::optional<std::string> chosen = Application::Instance().Dialogs().SaveFileName(*this);
  if (!chosen) return false;
  fileName = std::move(*chosen);
  return true;
}

bool OpenDialog::Execute() {
  std::optional<std::string> chosen = Application::Instance().Dialogs().OpenFileName(*this);
  if (!chosen) return false;
  fileName = std::move(*chosen);
  return true;
}

}  // namespace ryn::ui
