// The peer of a form. Its client area is a fixed container; what holds it depends on where
// the form is placed: a top-level window of its own, the container of a control of ours
// (embedded as any child control), or a plug inside a foreign X11 window given by handle
// (XEMBED with a GtkSocket host; any other host just gets the window as a child). The form's
// handle is the X11 window id of its top-level window or plug.
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>
#include <gtk/gtkx.h>

#include <algorithm>
#include <vector>

#include "ui/application.h"
#include "ui/form.h"
#include "ui/gtk/peers.h"

namespace ryn::ui::gtk {

GtkWidget* ShellOf(Form& form);

namespace {

class FormPeer : public ContainerPeer {
 public:
  explicit FormPeer(Form& form) : ContainerPeer(form), form_(form) {}
  ~FormPeer() override { DropShell(); }

  void Attach() override {
    const WindowHandle foreign = form_.ForeignParent();
    if (form_.Parent()) {
      if (shell_) {
        DropShell();
        Application::Instance().BindNativeHandle(form_, 0);
      }
      GtkPeer::Attach();
      return;
    }
    if (!shell_ || foreign != plugParent_) MakeShell(foreign);
    const Rect& b = form_.Bounds();
    gtk_widget_set_size_request(Outer(), Scaled(b.width), Scaled(b.height));
    gtk_widget_set_visible(Outer(), true);
    if (GTK_IS_WINDOW(shell_) && !plugParent_) {
      gtk_window_resize(GTK_WINDOW(shell_), b.width > 0 ? Scaled(b.width) : 1, b.height > 0 ? Scaled(b.height) : 1);
      gtk_window_move(GTK_WINDOW(shell_), Scaled(b.left), Scaled(b.top));
    }
    Stack();
    gtk_widget_set_visible(shell_, form_.Visible());
  }

 protected:
  void Update(Change what) override {
    if (!shell_) return;
    if (what == Change::kVisible) {
      gtk_widget_set_visible(Outer(), true);
      Stack();
      gtk_widget_set_visible(shell_, form_.Visible());
    }
    if (what == Change::kCaption) gtk_window_set_title(GTK_WINDOW(shell_), ToUtf8(form_.Caption()).c_str());
    if (what == Change::kStyle && !plugParent_) {
      gtk_window_set_decorated(GTK_WINDOW(shell_), form_.BorderStyle() != FormBorder::kNone);
      gtk_window_set_resizable(GTK_WINDOW(shell_), form_.BorderStyle() == FormBorder::kSizeable);
      gtk_window_set_type_hint(GTK_WINDOW(shell_), form_.BorderStyle() == FormBorder::kDialog
                                                       ? GDK_WINDOW_TYPE_HINT_DIALOG
                                                       : GDK_WINDOW_TYPE_HINT_NORMAL);
    }
  }

 private:
  void MakeShell(WindowHandle foreign) {
    DropShell();
    plugParent_ = foreign;
    shell_ = foreign ? gtk_plug_new(static_cast<Window>(foreign)) : gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(shell_);
    if (GtkWidget* old = gtk_widget_get_parent(Outer())) gtk_container_remove(GTK_CONTAINER(old), Outer());
    gtk_container_add(GTK_CONTAINER(shell_), Outer());
    g_signal_connect(shell_, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                       static_cast<FormPeer*>(self)->Post([](Control& c) { static_cast<Form&>(c).UserCloseBox(); });
                       return TRUE;  // the form decides whether it closes
                     }),
                     this);
    // The focused widget gets the keys first, as in any GTK window: a focused button
    // activates itself, a cell editor commits or drops its edit, and only what they leave
    // reaches the form. Enter left unhandled arrives as the window's activate-default (an
    // entry hands its Enter to the form itself, GTK's activates-default); Escape as the
    // window's own key press.
    g_signal_connect(shell_, "activate-default", G_CALLBACK(+[](GtkWindow* window, gpointer self) {
                       auto* peer = static_cast<FormPeer*>(self);
                       // A focused button (GTK's receives-default) is activated by GTK itself.
                       GtkWidget* focus = gtk_window_get_focus(window);
                       if (focus && gtk_widget_get_receives_default(focus)) return;
                       if (!peer->form_.DefaultButton()) return;
                       g_signal_stop_emission_by_name(window, "activate-default");
                       peer->Post([](Control& c) { static_cast<Form&>(c).UserPressEnter(); });
                     }),
                     this);
    g_signal_connect_after(shell_, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, gpointer self) -> gboolean {
                             auto* peer = static_cast<FormPeer*>(self);
                             if (key->keyval != GDK_KEY_Escape || !peer->form_.CancelButton()) return FALSE;
                             peer->Post([](Control& c) { static_cast<Form&>(c).UserPressEscape(); });
                             return TRUE;
                           }),
                           this);
    updating_ = true;
    Update(Change::kCaption);
    Update(Change::kStyle);
    updating_ = false;
    // The X11 window exists once realized; from then on it is the form's handle.
    gtk_widget_realize(shell_);
    Application::Instance().BindNativeHandle(form_, static_cast<WindowHandle>(GDK_WINDOW_XID(gtk_widget_get_window(shell_))));
  }

  // A window shown over another of ours stacks on it under any window manager: the
  // window below it on the modal stack (or the innermost modal one, for a form shown
  // without a loop) is its parent, set before the window maps, when the window manager
  // places it.
  void Stack() {
    if (!form_.Visible() || plugParent_ || !GTK_IS_WINDOW(shell_)) return;
    GtkWindow* owner = OwnerWindow(&form_);
    if (owner == GTK_WINDOW(shell_)) owner = nullptr;
    gtk_window_set_transient_for(GTK_WINDOW(shell_), owner);
    gtk_window_set_modal(GTK_WINDOW(shell_), form_.IsModal());
  }

  void DropShell() {
    if (!shell_) return;
    g_signal_handlers_disconnect_by_data(shell_, this);
    if (gtk_widget_get_parent(Outer()) == shell_) gtk_container_remove(GTK_CONTAINER(shell_), Outer());
    gtk_widget_destroy(shell_);
    g_object_unref(shell_);
    shell_ = nullptr;
    plugParent_ = 0;
  }

  Form& form_;
  GtkWidget* shell_ = nullptr;  // the top-level window or plug; null when embedded
  WindowHandle plugParent_ = 0;
};

}  // namespace

// The top-level window of a form's peer, for the modal loop and snapshots.
GtkWidget* ShellOf(Form& form) {
  GtkPeer* peer = GtkPeer::Of(&form);
  if (!peer) return nullptr;
  GtkWidget* top = gtk_widget_get_toplevel(peer->Outer());
  return gtk_widget_is_toplevel(top) ? top : nullptr;
}

GtkWindow* OwnerWindow(const Form* above) {
  const std::vector<Form*>& modal = Application::Instance().ModalForms();
  auto end = std::find(modal.begin(), modal.end(), above);
  for (auto it = end; it != modal.begin();) {
    GtkWidget* shell = ShellOf(**--it);
    if (shell && GTK_IS_WINDOW(shell) && gtk_widget_get_visible(shell)) return GTK_WINDOW(shell);
  }
  return nullptr;
}

std::unique_ptr<GtkPeer> MakeFormPeer(Control& c) {
  if (c.Kind() != ControlKind::kForm) return nullptr;
  return std::make_unique<FormPeer>(static_cast<Form&>(c));
}

}  // namespace ryn::ui::gtk
