// The base of every control of the adapter: a named node of a window tree with bounds,
// visibility, enablement, font and colour, a handle in the process-wide window table, a
// handler for messages posted to that handle, and a peer when a backend renders it.
// Controls live on the UI thread; nothing here is safe to call from another thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/handler.h"
#include "ui/peer.h"
#include "ui/types.h"
#include "ui/ui_api.h"

namespace ryn::ui {

class Form;
class Label;
class PopupMenu;

class RYN_UI_API Control {
 public:
  explicit Control(ControlKind kind);
  // Destroys the controls it owns, detaches the ones it holds without owning (forms placed
  // in it) and leaves the window table, so that its handle is unknown from now on.
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // A new control of type T owned by this one and placed in it.
  template <class T, class... Args>
  T& Create(std::string name, Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T& control = *owned;
    control.SetName(std::move(name));
    Adopt(std::move(owned));
    return control;
  }

  ControlKind Kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  WindowHandle Handle() const { return handle_; }

  Control* Parent() const { return parent_; }
  // Places the control in parent without giving parent its ownership (null: nowhere).
  void SetParent(Control* parent);
  const std::vector<Control*>& Children() const { return children_; }
  // The first control named name below this one, depth first; null when there is none.
  Control* FindChild(std::string_view name) const;
  // The form this control sits on (itself for a form); null when it is on none.
  Form* ParentForm();

  const Rect& Bounds() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  void SetBounds(const Rect& r) { SetBounds(r.left, r.top, r.width, r.height); }
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.width; }
  int Height() const { return bounds_.height; }
  void SetHeight(int height) { SetBounds(bounds_.left, bounds_.top, bounds_.width, height); }
  void SetWidth(int width) { SetBounds(bounds_.left, bounds_.top, width, bounds_.height); }
  AlignMode Align() const { return align_; }
  void SetAlign(AlignMode align);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so is every parent up to a form or a foreign window.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Enabled, and so is every parent: a user can act on it.
  bool EffectivelyEnabled() const;

  // The own font, or the parent's while none was set.
  FontInfo Font() const;
  void SetFont(FontInfo font);
  bool ParentFont() const { return parentFont_; }
  ColorRef Color() const { return color_; }
  void SetColor(ColorRef color);

  PopupMenu* ContextMenu() const { return contextMenu_; }
  void SetContextMenu(PopupMenu* menu) { contextMenu_ = menu; }

  // What a screen reader calls the control: the name set for it, else the caption of the
  // label that names it (without its colon), else a button's caption.
  std::string AccessibleName() const;
  void SetAccessibleName(std::string name);
  // The Latin letter that with Alt clicks a button or moves the focus to a label's control;
  // 0 for none. Captions stay as they are: a backend shows the letter in its own way.
  char Mnemonic() const { return mnemonic_; }
  void SetMnemonic(char key);
  // The label whose focus control this is; null when none names it.
  Label* LabelledBy() const;
  // Gives the control the keyboard focus of its window: the form records it (all there is
  // headless) and a backend moves the focus there.
  void SetFocus();

  // Asks the backend to paint the control now (nothing headless).
  void Repaint() { Changed(Change::kRepaint); }
  ControlPeer* Peer() const { return peer_.get(); }

  // Messages posted to the handle arrive here, in the order they were posted.
  Handler<void(const Message&)> OnMessage;

 protected:
  void Changed(Change what);
  // Places the aligned children in the client area.
  virtual void Realign();
  // Makes peers for this control and every control below it when a backend runs.
  void CreatePeers();

 private:
  friend class Application;
  friend class Label;
  void Adopt(std::unique_ptr<Control> child);
  void RemoveChild(Control* child);
  void ChildChanged();

  ControlKind kind_;
  std::string name_;
  WindowHandle handle_;
  WindowHandle tableHandle_;  // never reused; handle_ may be the toolkit's own as well
  Control* parent_ = nullptr;
  std::vector<Control*> children_;
  std::vector<std::unique_ptr<Control>> owned_;
  Rect bounds_;
  AlignMode align_ = AlignMode::kNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentFont_ = true;
  bool aligning_ = false;
  FontInfo font_;
  ColorRef color_ = kColorDefault;
  PopupMenu* contextMenu_ = nullptr;
  std::string accessibleName_;
  char mnemonic_ = 0;
  WindowHandle labelledBy_ = 0;  // table handles: either side may go first
  std::unique_ptr<ControlPeer> peer_;
};

}  // namespace ryn::ui
