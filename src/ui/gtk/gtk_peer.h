// The base of every GTK peer: the control's outer widget placed at the control's pixel
// bounds in its parent's fixed container, the state every control shares (visibility,
// enablement, font, colour, context menu), and the way user input reaches the control:
// posted to the adapter's queue and handled in turn, on a control that may be gone by then.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/control.h"
#include "ui/peer.h"

namespace ryn::ui::gtk {

// Texts of the controls are in the process code page; GTK wants UTF-8.
std::string ToUtf8(const std::string& narrow);
std::string FromUtf8(const char* utf8);

// The forms are laid out in pixels for 9-point text at 96 dots per inch. A larger text
// (GDK_DPI_SCALE, the desktop's Xft/DPI) makes every font larger by the same factor: the
// peers place and size the controls by it, so that labels still fit beside their fields.
double TextScale();
// A length of the form's layout on screen.
int Scaled(int pixels);

// A caption (UTF-8) as GTK's mnemonic text: its underscores kept literal, and the key, when
// there is one, underlined where the caption has that letter, or else added in parentheses
// before the trailing colon or arrow ("文件名:" with F gives "文件名(_F):").
std::string MnemonicText(const std::string& utf8, char key);

class GtkPeer : public ControlPeer {
 public:
  // Takes a reference to the outer widget, which the peer then owns.
  GtkPeer(Control& control, GtkWidget* outer);
  ~GtkPeer() override;

  // Places the widget and brings it to the control's whole state (after construction,
  // when virtual calls reach the derived peer).
  virtual void Init();
  void Changed(Change what) final;

  Control& Model() const { return control_; }
  GtkWidget* Outer() const { return outer_; }
  // Where the children's widgets go; null for a control without children.
  virtual GtkFixed* Container() { return nullptr; }
  // Puts the widget into the parent's container (or takes it out when there is none).
  virtual void Attach();

  // Sets the order Tab visits the children's widgets in: the order of the children, the
  // one being attached among them.
  void OrderFocus(GtkPeer* attaching);

  // The peer of a control, when the control has one of ours.
  static GtkPeer* Of(const Control* control);
  // The widget that takes the keyboard focus and speaks for the control to a screen reader.
  GtkWidget* FocusWidget() { return Inner(); }

 protected:
  // The control's own kinds of change; the common ones are handled before.
  virtual void Update(Change) {}
  // Runs a user's action on the control later, in turn with posted messages; nothing when
  // the control is gone by then. The peer is brought back to the control's state after,
  // for an action the control refused.
  void Post(std::function<void(Control&)> action, Change resync = Change::kRepaint);
  // The widget that takes the font and receives the context menu's clicks.
  virtual GtkWidget* Inner() { return outer_; }
  void Connect(gpointer instance, const char* signal, GCallback callback);

  // True while the peer writes the control's state into the widgets: signals the widgets
  // send then are echoes, not user input.
  bool updating_ = false;

 private:
  void ApplyFont();
  void ApplyColor();
  // The accessible name, and the tie between a label and the control it names.
  void ApplyAccessible();
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnPopupMenuKey(GtkWidget*, gpointer self);
  // Shows the control's context menu at the click, or from the keyboard when click is null;
  // false when the control has none.
  bool PopUpMenu(GdkEvent* click);

  Control& control_;
  GtkWidget* outer_;
  std::string fontClass_;
  std::string colorClass_;
};

// A fixed container in an event box: the box paints the background colour and clips the
// children to the control's bounds.
class ContainerPeer : public GtkPeer {
 public:
  explicit ContainerPeer(Control& control);
  void Init() override;
  GtkFixed* Container() override { return fixed_; }

 protected:
  GtkFixed* fixed_;
};

// The window a new window of ours stacks on: the innermost visible modal form's window
// below above on the modal stack (any of them when above is not on it); null when none.
GtkWindow* OwnerWindow(const Form* above);

// Makes the peer of the control's kind; null for a kind without one. Each kind's peer class
// lives with its group (simple_peers.cpp, list_peers.cpp, ...) and enters this table.
std::unique_ptr<GtkPeer> MakePeer(Control& control);

}  // namespace ryn::ui::gtk
