// The GTK 3 backend: peers for the controls, the modal loop on the GLib main loop, posted
// messages handled from an idle source, real message boxes and file dialogs, and the entry
// point librynfiler-ui looks up when it loads this module.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <atomic>
#include <string>

#include "ui/application.h"
#include "ui/backend_loader.h"
#include "ui/form.h"
#include "ui/gtk/gtk_dialogs.h"
#include "ui/gtk/peers.h"

namespace ryn::ui::gtk {

GtkWidget* ShellOf(Form& form);

std::unique_ptr<GtkPeer> MakePeer(Control& control) {
  for (auto make : {MakeFormPeer, MakeSimplePeer, MakeListPeer, MakePagePeer})
    if (std::unique_ptr<GtkPeer> peer = make(control)) return peer;
  return nullptr;
}

namespace {

// The system's forms are laid out in pixels for 9-point text in compact controls; the
// theme's paddings and minimum heights would not fit their 21- to 23-pixel controls.
constexpr const char* kCompactStyle = R"(
button { padding: 0 4px; min-height: 0; min-width: 0; }
entry { padding: 0 3px; min-height: 0; }
combobox button, combobox box { padding-top: 0; padding-bottom: 0; min-height: 0; }
progressbar trough, progressbar progress { min-height: 0; }
progressbar text { font-size: 8pt; }
treeview.view { padding: 0 2px; }
notebook tab { padding: 1px 6px; min-height: 0; }
)";

class GtkBackend : public Backend {
 public:
  GtkBackend() {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCompactStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    GdkScreen* screen = gdk_screen_get_default();
    GdkRectangle area{};
    gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default())
                                 ? gdk_display_get_primary_monitor(gdk_display_get_default())
                                 : gdk_display_get_monitor(gdk_display_get_default(), 0),
                             &area);
    // The screen in the forms' own pixels: a form centred on it is centred on screen.
    const int width = area.width > 0 ? area.width : gdk_window_get_width(gdk_screen_get_root_window(screen));
    const int height = area.height > 0 ? area.height : gdk_window_get_height(gdk_screen_get_root_window(screen));
    Screen::Instance().SetSize(static_cast<int>(width / TextScale()), static_cast<int>(height / TextScale()));
  }

  std::unique_ptr<ControlPeer> CreatePeer(Control& control) override {
    std::unique_ptr<GtkPeer> peer = MakePeer(control);
    if (peer) peer->Init();
    return peer;
  }

  bool RunModal(Form& form) override {
    Application& app = Application::Instance();
    GtkWidget* shell = ShellOf(form);
    if (!shell) return false;
    const WindowHandle handle = form.Handle();
    // Its parent window and modal hint were set by its peer before it mapped.
    // A driver acts once the window is on screen, and so does the headless loop when a
    // test chose this backend (the scripted dialogs answer then); with the real dialogs
    // and no driver the loop waits for the user.
    const bool driven = app.HasModalDriver() || &app.Dialogs() != &dialogs_;
    gulong mapped = 0;
    if (driven) {
      if (gtk_widget_get_mapped(shell)) ScheduleDrive(handle);
      else
        mapped = g_signal_connect(shell, "map-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer h) -> gboolean {
                                    Instance()->ScheduleDrive(reinterpret_cast<WindowHandle>(h));
                                    return FALSE;
                                  }),
                                  reinterpret_cast<gpointer>(handle));
    }
    auto open = [&] { return app.FindWindow(handle) == &form && form.ModalResult() == kMrNone; };
    while (open()) g_main_context_iteration(nullptr, TRUE);
    if (app.FindWindow(handle) == &form) {
      if (mapped) g_signal_handler_disconnect(shell, mapped);
      if (GTK_IS_WINDOW(shell)) gtk_window_set_modal(GTK_WINDOW(shell), FALSE);
    }
    return true;
  }

  void Wake() override {
    if (wakePending_.exchange(true)) return;
    g_idle_add(+[](gpointer) -> gboolean {
      Instance()->wakePending_ = false;
      Application::Instance().ProcessMessages();
      return G_SOURCE_REMOVE;
    },
               nullptr);
  }

  void ProcessEvents() override {
    if (pumping_) return;
    pumping_ = true;
    // Bounded: a source that keeps itself ready must not hold the caller forever.
    for (int i = 0; i < 200 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
    pumping_ = false;
  }

  DialogService* Dialogs() override { return &dialogs_; }

  bool Snapshot(Form& form, const std::string& pngFile) override {
    GtkWidget* shell = ShellOf(form);
    if (!shell || !gtk_widget_get_mapped(shell)) return false;
    // The window shows the form's current state once the frame clock has painted it after
    // this request; until then the X server holds an older picture.
    GdkFrameClock* clock = gtk_widget_get_frame_clock(shell);
    bool painted = false, late = false;
    const gulong handler = g_signal_connect_swapped(clock, "after-paint", G_CALLBACK(+[](bool* flag) { *flag = true; }), &painted);
    const guint timer = g_timeout_add(2000, +[](gpointer flag) -> gboolean { return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE; }, &late);
    gtk_widget_queue_draw(shell);
    while (!painted && !late) g_main_context_iteration(nullptr, TRUE);
    g_signal_handler_disconnect(clock, handler);
    if (!late) g_source_remove(timer);
    gdk_display_sync(gtk_widget_get_display(shell));
    GdkWindow* window = gtk_widget_get_window(shell);
    GdkPixbuf* image = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window), gdk_window_get_height(window));
    if (!image) return false;
    const bool saved = gdk_pixbuf_save(image, pngFile.c_str(), "png", nullptr, nullptr);
    g_object_unref(image);
    return saved && painted;
  }

  static GtkBackend*& Instance() {
    static GtkBackend* backend = nullptr;
    return backend;
  }

 private:
  // Hands the form to the headless loop from the main loop, once nothing else of ours runs
  // (not inside ProcessMessages' pumping, and only for the innermost modal form).
  void ScheduleDrive(WindowHandle handle) {
    g_timeout_add(pumping_ ? 5 : 0, +[](gpointer h) -> gboolean {
      const auto handle = reinterpret_cast<WindowHandle>(h);
      Application& app = Application::Instance();
      auto* form = dynamic_cast<Form*>(app.FindWindow(handle));
      if (!form || !form->IsModal() || form->ModalResult() != kMrNone) return G_SOURCE_REMOVE;
      if (Instance()->pumping_ || app.ActiveForm() != form) {
        Instance()->ScheduleDrive(handle);
        return G_SOURCE_REMOVE;
      }
      app.DriveModal(*form);
      return G_SOURCE_REMOVE;
    }, reinterpret_cast<gpointer>(handle));
  }

  std::atomic<bool> wakePending_{false};
  bool pumping_ = false;
  GtkDialogService dialogs_;
};

}  // namespace
}  // namespace ryn::ui::gtk

// The module's entry point (backend_loader.h). X11 only: handles are X11 window ids.
extern "C" __attribute__((visibility("default"))) ryn::ui::Backend* RynUiCreateBackend(std::string* error) {
  using ryn::ui::gtk::GtkBackend;
  if (GtkBackend* backend = GtkBackend::Instance()) return backend;
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(nullptr, nullptr)) {
    if (error) *error = "cannot open the X11 display";
    return nullptr;
  }
  GtkBackend::Instance() = new GtkBackend;
  return GtkBackend::Instance();
}
