#include "ui/gtk/gtk_dialogs.h"

#include <gtk/gtk.h>

#include <vector>

#include "ui/application.h"
#include "ui/form.h"
#include "ui/gtk/gtk_peer.h"

namespace ryn::ui::gtk {

GtkWidget* ShellOf(Form& form);

namespace {

GtkWindow* Owner() { return OwnerWindow(nullptr); }

struct ButtonSpec {
  const char* label;
  int result;
};

std::vector<ButtonSpec> ButtonsOf(uint32_t flags) {
  switch (flags & kMbButtonsMask) {
    case kMbOkCancel: return {{"_OK", kMrOk}, {"_Cancel", kMrCancel}};
    case kMbAbortRetryIgnore: return {{"_Abort", kMrAbort}, {"_Retry", kMrRetry}, {"_Ignore", kMrIgnore}};
    case kMbYesNoCancel: return {{"_Yes", kMrYes}, {"_No", kMrNo}, {"_Cancel", kMrCancel}};
    case kMbYesNo: return {{"_Yes", kMrYes}, {"_No", kMrNo}};
    case kMbRetryCancel: return {{"_Retry", kMrRetry}, {"_Cancel", kMrCancel}};
    default: return {{"_OK", kMrOk}};
  }
}

GtkMessageType TypeOf(uint32_t flags) {
  switch (flags & kMbIconMask) {
    case kMbIconError: return GTK_MESSAGE_ERROR;
    case kMbIconQuestion: return GTK_MESSAGE_QUESTION;
    case kMbIconWarning: return GTK_MESSAGE_WARNING;
    case kMbIconInformation: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
  }
}

// "description|pattern|..." with patterns separated by ";".
void AddFilters(GtkFileChooser* chooser, const std::string& filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t bar; (bar = filter.find('|', start)) != std::string::npos; start = bar + 1) parts.push_back(filter.substr(start, bar - start));
  parts.push_back(filter.substr(start));
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    GtkFileFilter* f = gtk_file_filter_new();
    gtk_file_filter_set_name(f, ToUtf8(parts[i]).c_str());
    std::string patterns = parts[i + 1];
    for (size_t s = 0, semi; s <= patterns.size(); s = semi + 1) {
      semi = patterns.find(';', s);
      if (semi == std::string::npos) semi = patterns.size();
      gtk_file_filter_add_pattern(f, patterns.substr(s, semi - s).c_str());
    }
    gtk_file_chooser_add_filter(chooser, f);
  }
}

std::optional<std::string> RunChooser(GtkFileChooserAction action, const std::string& title, const std::string& filter,
                                      const std::string& initial) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(ToUtf8(title).c_str(), Owner(), action, "_Cancel", GTK_RESPONSE_CANCEL,
                                                  action == GTK_FILE_CHOOSER_ACTION_SAVE ? "_Save" : "_Open",
                                                  GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  AddFilters(chooser, filter);
  if (action == GTK_FILE_CHOOSER_ACTION_SAVE) gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  if (!initial.empty()) {
    gchar* name = g_filename_from_utf8(ToUtf8(initial).c_str(), -1, nullptr, nullptr, nullptr);
    if (name && g_path_is_absolute(name)) gtk_file_chooser_set_filename(chooser, name);
    else if (action == GTK_FILE_CHOOSER_ACTION_SAVE) gtk_file_chooser_set_current_name(chooser, ToUtf8(initial).c_str());
    g_free(name);
  }
  std::optional<std::string> chosen;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* name = gtk_file_chooser_get_filename(chooser);
    if (name) chosen = FromUtf8(name);
    g_free(name);
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

}  // namespace

int GtkDialogService::MessageBox(std::string_view text, std::string_view caption, uint32_t flags) {
  GtkWidget* dialog = gtk_message_dialog_new(Owner(), GTK_DIALOG_MODAL, TypeOf(flags), GTK_BUTTONS_NONE, "%s",
                                             ToUtf8(std::string(text)).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8(std::string(caption)).c_str());
  const std::vector<ButtonSpec> buttons = ButtonsOf(flags);
  for (const ButtonSpec& b : buttons) gtk_dialog_add_button(GTK_DIALOG(dialog), b.label, b.result);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons.front().result);
  int answer = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Closed without a button: the box's cancel answer, else its only one.
  if (answer < 0) answer = buttons.size() == 1 ? buttons.front().result : buttons.back().result;
  ScriptAnswer(answer);  // recorded as the headless service records its answers
  return DialogService::MessageBox(text, caption, flags);
}

std::optional<std::string> GtkDialogService::SaveFileName(const SaveDialog& dialog) {
  std::optional<std::string> chosen = RunChooser(GTK_FILE_CHOOSER_ACTION_SAVE, dialog.title, dialog.filter, dialog.fileName);
  ScriptSaveFileName(chosen);
  return DialogService::SaveFileName(dialog);
}

std::optional<std::string> GtkDialogService::OpenFileName(const OpenDialog& dialog) {
  std::optional<std::string> chosen = RunChooser(GTK_FILE_CHOOSER_ACTION_OPEN, dialog.title, dialog.filter, dialog.fileName);
  ScriptOpenFileName(chosen);
  return DialogService::OpenFileName(dialog);
}

}  // namespace ryn::ui::gtk
