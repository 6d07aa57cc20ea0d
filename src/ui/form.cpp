#include "ui/form.h"

#include <algorithm>
#include <stdexcept>

#include "ui/application.h"
#include "ui/controls.h"

namespace ryn::ui {

Form::Form() : Control(ControlKind::kForm) {}

Form::~Form() {
  if (modal_) Application::Instance().PopModal(this);
}

void Form::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Change::kCaption);
}

void Form::SetBorderStyle(FormBorder border) {
  border_ = border;
  Changed(Change::kStyle);
}

void Form::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  Realign();
}

void Form::Realign() {
  if (autoSize_ && !sizing_) {
    int height = 0;
    for (Control* c : Children()) {
      if (!c->Visible()) continue;
      if (c->Align() == AlignMode::kTop || c->Align() == AlignMode::kBottom) height += c->Height();
      else if (c->Align() == AlignMode::kNone) height = std::max(height, c->Bounds().Bottom());
    }
    if (height != Height()) {
      sizing_ = true;
      SetBounds(Left(), Top(), Width(), height);  // lays the children out again
      sizing_ = false;
      return;
    }
  }
  Control::Realign();
}

void Form::SetVisible(bool visible) {
  if (visible == Visible()) return;
  if (visible) {
    if (position_ == FormPosition::kScreenCenter && !Parent() && !foreignParent_) {
      const Screen& screen = Screen::Instance();
      SetBounds((screen.Width() - Width()) / 2, (screen.Height() - Height()) / 2, Width(), Height());
    }
    CreatePeers();
  }
  Control::SetVisible(visible);
  if (visible && OnShow) Application::Instance().Guard(OnShow);
}

int Form::RunModalLoop() {
  Application& app = Application::Instance();
  modalResult_ = kMrNone;
  modal_ = true;
  app.PushModal(this);
  try {
    SetVisible(true);
    app.RunModal(*this);
  } catch (...) {
    app.PopModal(this);
    modal_ = false;
    Control::SetVisible(false);
    throw;
  }
  app.PopModal(this);
  modal_ = false;
  Control::SetVisible(false);
  return modalResult_;
}

bool Form::CloseAllowed() { return !OnCloseQuery || OnCloseQuery(); }

void Form::SetModalResult(int result) {
  modalResult_ = result;
  if (modal_ && result != kMrNone && !CloseAllowed()) modalResult_ = kMrNone;
}

void Form::Close() {
  if (!CloseAllowed()) return;
  if (modal_) {
    if (modalResult_ == kMrNone) modalResult_ = kMrCancel;
  } else {
    SetVisible(false);
  }
}

void Form::SetParentWindow(WindowHandle window) {
  Control* ours = window ? Application::Instance().FindWindow(window) : nullptr;
  foreignParent_ = ours ? 0 : window;
  SetParent(ours);
}

WindowHandle Form::ParentWindow() const { return Parent() ? Parent()->Handle() : foreignParent_; }

namespace {

Button* FindButton(const Control& root, bool (Button::*get)() const) {
  for (Control* c : root.Children()) {
    if (!c->Visible()) continue;
    if (c->Kind() == ControlKind::kButton && (static_cast<Button*>(c)->*get)()) return static_cast<Button*>(c);
    if (Button* found = FindButton(*c, get)) return found;
  }
  return nullptr;
}

}  // namespace

namespace {
bool ClickIfUsable(Button* button) {
  if (!button || !button->Showing() || !button->EffectivelyEnabled()) return false;
  button->UserClick();
  return true;
}
}  // namespace

bool Form::UserPressEnter() { return ClickIfUsable(DefaultButton()); }

bool Form::UserPressEscape() { return ClickIfUsable(CancelButton()); }

bool Form::UserCloseBox() {
  if (!Visible() || BorderStyle() == FormBorder::kNone) return false;
  Close();
  return true;
}

Control* Form::ActiveControl() const {
  return activeControl_ ? Application::Instance().FindWindow(activeControl_) : nullptr;
}

Button* Form::DefaultButton() { return FindButton(*this, &Button::IsDefault); }

Button* Form::CancelButton() { return FindButton(*this, &Button::IsCancel); }

}  // namespace ryn::ui
