#include "ui/control.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace ryn::ui {

ControlPeer::~ControlPeer() = default;
Backend::~Backend() = default;

Control::Control(ControlKind kind)
    : kind_(kind),
      handle_(Application::Instance().RegisterWindow(this)),
      tableHandle_(handle_),
      visible_(kind != ControlKind::kForm) {}

Control::~Control() {
  aligning_ = true;  // nothing is laid out while the tree comes down
  Application& app = Application::Instance();
  app.UnregisterWindow(tableHandle_);
  if (handle_ != tableHandle_) app.UnregisterWindow(handle_);
  peer_.reset();
  // Owned children go first, newest first; each leaves children_ as it goes.
  while (!owned_.empty()) {
    std::unique_ptr<Control> child = std::move(owned_.back());
    owned_.pop_back();
    child.reset();
  }
  for (Control* child : children_) {
    child->parent_ = nullptr;
    child->Changed(Change::kParent);
  }
  children_.clear();
  if (parent_) parent_->RemoveChild(this);
}

void Control::Adopt(std::unique_ptr<Control> child) {
  Control* raw = child.get();
  owned_.push_back(std::move(child));
  raw->SetParent(this);
}

void Control::RemoveChild(Control* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
  ChildChanged();
}

void Control::SetParent(Control* parent) {
  if (parent == parent_) return;
  for (Control* p = parent; p; p = p->parent_)
    if (p == this) return;  // a control cannot sit inside itself
  if (parent_) parent_->RemoveChild(this);
  parent_ = parent;
  if (parent_) {
    parent_->children_.push_back(this);
    if (parent_->peer_) CreatePeers();
    parent_->ChildChanged();
  }
  Changed(Change::kParent);
}

Control* Control::FindChild(std::string_view name) const {
  for (Control* child : children_) {
    if (child->name_ == name) return child;
    if (Control* found = child->FindChild(name)) return found;
  }
  return nullptr;
}

Form* Control::ParentForm() {
  for (Control* c = this; c; c = c->parent_)
    if (c->kind_ == ControlKind::kForm) return static_cast<Form*>(c);
  return nullptr;
}

void Control::SetBounds(int left, int top, int width, int height) {
  Rect r{left, top, width < 0 ? 0 : width, height < 0 ? 0 : height};
  if (r == bounds_) return;
  bounds_ = r;
  Changed(Change::kBounds);
  Realign();
  if (parent_ && align_ != AlignMode::kNone) parent_->ChildChanged();
}

void Control::SetAlign(AlignMode align) {
  if (align == align_) return;
  align_ = align;
  if (parent_) parent_->ChildChanged();
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(Change::kVisible);
  if (parent_) parent_->ChildChanged();
}

bool Control::Showing() const {
  for (const Control* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed(Change::kEnabled);
}

bool Control::EffectivelyEnabled() const {
  for (const Control* c = this; c; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

FontInfo Control::Font() const {
  if (!parentFont_ || !parent_) return font_;
  return parent_->Font();
}

void Control::SetFont(FontInfo font) {
  font_ = std::move(font);
  parentFont_ = false;
  Changed(Change::kFont);
}

void Control::SetColor(ColorRef color) {
  if (color == color_) return;
  color_ = color;
  Changed(Change::kColor);
}

namespace {

// A label says "单位代码:"; the field it names is "单位代码". The full-width colon is matched
// in both code pages a caption may be in (GBK A3BA, UTF-8 EFBC9A).
std::string WithoutColon(std::string text) {
  for (;;) {
    if (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
    else if (text.ends_with("\xA3\xBA")) text.resize(text.size() - 2);
    else if (text.ends_with("\xEF\xBC\x9A")) text.resize(text.size() - 3);
    else return text;
  }
}

}  // namespace

std::string Control::AccessibleName() const {
  if (!accessibleName_.empty()) return accessibleName_;
  if (const Label* label = LabelledBy()) return WithoutColon(label->Caption());
  if (kind_ == ControlKind::kButton) return static_cast<const Button*>(this)->Caption();
  return {};
}

void Control::SetAccessibleName(std::string name) {
  accessibleName_ = std::move(name);
  Changed(Change::kAccessible);
}

void Control::SetMnemonic(char key) {
  mnemonic_ = key;
  Changed(Change::kAccessible);
}

Label* Control::LabelledBy() const {
  Control* label = labelledBy_ ? Application::Instance().FindWindow(labelledBy_) : nullptr;
  return label && label->kind_ == ControlKind::kLabel ? static_cast<Label*>(label) : nullptr;
}

void Control::SetFocus() {
  if (Form* form = ParentForm()) form->activeControl_ = tableHandle_;
  Changed(Change::kFocus);
}

void Control::Changed(Change what) {
  if (peer_) peer_->Changed(what);
}

void Control::CreatePeers() {
  Backend* backend = Application::Instance().GetBackend();
  if (!backend) return;
  if (!peer_) {
    peer_ = backend->CreatePeer(*this);
    // A child that got its peer first (a form shown inside a parent not yet on screen, as
    // an engine's wizard started before the host's window) is placed now that there is a
    // parent peer to hold it.
    if (peer_)
      for (Control* child : children_)
        if (child->peer_) child->peer_->Changed(Change::kParent);
  }
  for (Control* child : children_) child->CreatePeers();
}

void Control::ChildChanged() {
  if (!aligning_) Realign();
}

void Control::Realign() {
  aligning_ = true;
  Rect rest{0, 0, bounds_.width, bounds_.height};
  auto place = [&](AlignMode mode) {
    for (Control* c : children_) {
      if (c->align_ != mode || !c->visible_) continue;
      const Rect& b = c->bounds_;
      switch (mode) {
        case AlignMode::kTop:
          c->SetBounds(rest.left, rest.top, rest.width, b.height);
          rest.top += b.height;
          rest.height -= b.height;
          break;
        case AlignMode::kBottom:
          c->SetBounds(rest.left, rest.Bottom() - b.height, rest.width, b.height);
          rest.height -= b.height;
          break;
        case AlignMode::kLeft:
          c->SetBounds(rest.left, rest.top, b.width, rest.height);
          rest.left += b.width;
          rest.width -= b.width;
          break;
        case AlignMode::kRight:
          c->SetBounds(rest.Right() - b.width, rest.top, b.width, rest.height);
          rest.width -= b.width;
          break;
        case AlignMode::kClient:
          c->SetBounds(rest);
          break;
        case AlignMode::kNone:
          break;
      }
    }
  };
  for (AlignMode mode : {AlignMode::kTop, AlignMode::kBottom, AlignMode::kLeft, AlignMode::kRight, AlignMode::kClient})
    place(mode);
  aligning_ = false;
}

}  // namespace ryn::ui
