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

// The system's own captions, as its forms have them, not the toolkit's stock ones.
constexpr const char* kOk = "确定";
constexpr const char* kCancel = "取消";

std::vector<ButtonSpec> ButtonsOf(uint32_t flags) {
  switch (flags & kMbButtonsMask) {
    case kMbOkCancel: return {{kOk, kMrOk}, {kCancel, kMrCancel}};
    case kMbAbortRetryIgnore: return {{"中止", kMrAbort}, {"重试", kMrRetry}, {"忽略", kMrIgnore}};
    case kMbYesNoCancel: return {{"是", kMrYes}, {"否", kMrNo}, {kCancel, kMrCancel}};
    case kMbYesNo: return {{"是", kMrYes}, {"否", kMrNo}};
    case kMbRetryCancel: return {{"重试", kMrRetry}, {kCancel, kMrCancel}};
    default: return {{kOk, kMrOk}};
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

}  // namespace

std::string CaseFreePattern(const std::string& pattern) {
  // The toolkit matches patterns case by case; a file name's case says nothing of its kind.
  std::string result;
  for (char c : pattern) {
    if (g_ascii_isalpha(c)) {
      result += '[';
      result += g_ascii_toupper(c);
      result += g_ascii_tolower(c);
      result += ']';
    } else {
      result += c;
    }
  }
  return result;
}

namespace {

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
      gtk_file_filter_add_pattern(f, CaseFreePattern(ToUtf8(patterns.substr(s, semi - s))).c_str());
    }
    gtk_file_chooser_add_filter(chooser, f);
  }
}

std::optional<std::string> RunChooser(GtkFileChooserAction action, const std::string& title, const std::string& filter,
                                      const std::string& initial) {
  const bool save = action == GTK_FILE_CHOOSER_ACTION_SAVE;
  const std::string caption = title.empty() ? (save ? "保存" : "打开") : ToUtf8(title);
  GtkWidget* dialog = gtk_file_chooser_dialog_new(caption.c_str(), Owner(), action, kCancel, GTK_RESPONSE_CANCEL,
                                                  save ? "保存" : "打开", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  AddFilters(chooser, filter);
  if (save) gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  // The chooser opens in the named file's folder, or the current one: never in the
  // toolkit's list of recent files, which is empty for a new user.
  gchar* name = initial.empty() ? nullptr : g_filename_from_utf8(ToUtf8(initial).c_str(), -1, nullptr, nullptr, nullptr);
  gchar* cwd = g_get_current_dir();
  gchar* full = name ? (g_path_is_absolute(name) ? g_strdup(name) : g_build_filename(cwd, name, nullptr)) : nullptr;
  gchar* folder = full ? g_path_get_dirname(full) : g_strdup(cwd);
  if (!g_file_test(folder, G_FILE_TEST_IS_DIR)) {
    g_free(folder);
    folder = g_strdup(cwd);
  }
  gtk_file_chooser_set_current_folder(chooser, folder);
  if (full && g_file_test(full, G_FILE_TEST_EXISTS)) gtk_file_chooser_set_filename(chooser, full);
  else if (full && save) {
    gchar* base = g_path_get_basename(full);
    gchar* shown = g_filename_to_utf8(base, -1, nullptr, nullptr, nullptr);
    if (shown) gtk_file_chooser_set_current_name(chooser, shown);
    g_free(shown);
    g_free(base);
  }
  g_free(folder);
  g_free(full);
  g_free(cwd);
  g_free(name);
  std::optional<std::string> chosen;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* file = gtk_file_chooser_get_filename(chooser);
    if (file) chosen = FromUtf8(file);
    g_free(file);
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

}  // namespace

int GtkDialogService::MessageBox(std::string_view text, std::string_view caption, uint32_t flags) {
  GtkWidget* dialog = gtk_message_dialog_new(Owner(), GTK_DIALOG_MODAL, TypeOf(flags), GTK_BUTTONS_NONE, "%s",
                                             ToUtf8(std::string(text)).c_str());
  const std::string title = ToUtf8(std::string(caption));
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  // The toolkit names a message box by its kind ("Warning"), in the locale's language: a
  // screen reader announces it by the caption the user sees instead.
  atk_object_set_name(gtk_widget_get_accessible(dialog), title.c_str());
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
