// A top-level window: caption, client size, border, position, a modal result, modal
// showing, closing that an OnCloseQuery handler may refuse, and placement inside another
// window given by handle (ours, or a foreign host window the backend embeds into).
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "ui/control.h"
#include "ui/handler.h"

namespace ryn::ui {

class Button;

class RYN_UI_API Form : public Control {
 public:
  Form();
  ~Form() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  // The model has no window decorations: the client area is the form's own size.
  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientSize(int width, int height) { SetBounds(Left(), Top(), width, height); }
  FormBorder BorderStyle() const { return border_; }
  void SetBorderStyle(FormBorder border);
  FormPosition Position() const { return position_; }
  void SetPosition(FormPosition position) { position_ = position; }
  // The client height follows the lowest visible child (aligned children stacked).
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);

  // Becoming visible places the form (centred on the screen when asked), makes peers when
  // a backend runs, and fires OnShow.
  void SetVisible(bool visible) override;

  // Shows the form and runs the modal loop until the modal result is set; the form is
  // hidden again and the result returned. Modal forms nest; a form already shown modally
  // raises std::logic_error, thrown here in the caller's module (see handler.h).
  int ShowModal() {
    if (modal_) throw std::logic_error("the form is shown modally already");
    return RunModalLoop();
  }
  bool IsModal() const { return modal_; }
  int ModalResult() const { return modalResult_; }
  // A non-zero result ends the modal loop unless OnCloseQuery refuses (the result is then
  // reset to 0).
  void SetModalResult(int result);
  // Asks OnCloseQuery; when allowed a modal form ends with Cancel (unless a result is set
  // already) and any other form is hidden.
  void Close();

  // Places the form inside the window: a control of ours becomes its parent; any other
  // non-zero value is kept as a foreign parent for the backend; 0 detaches the form.
  void SetParentWindow(WindowHandle window);
  // The handle of the parent control, or the foreign parent; 0 when there is none.
  WindowHandle ParentWindow() const;
  WindowHandle ForeignParent() const { return foreignParent_; }

  // The buttons Enter and Escape press: the first visible one marked default or cancel.
  Button* DefaultButton();
  Button* CancelButton();

  // The keys and the title bar's close box as the toolkit's input delivers them: Enter and
  // Escape click the default or cancel button when it is usable; the close box closes a
  // visible form that has a border. False when nothing was there to act on.
  bool UserPressEnter();
  bool UserPressEscape();
  bool UserCloseBox();

  // The control program code last gave the focus with SetFocus, while it exists.
  Control* ActiveControl() const;

  Handler<void()> OnShow;
  // False refuses to close.
  Handler<bool()> OnCloseQuery;

 private:
  friend class Application;
  friend class Control;
  bool CloseAllowed();
  int RunModalLoop();
  // Ends the modal loop without asking (the headless loop's last resort).
  void EndModal(int result) { modalResult_ = result; }
  void Realign() override;

  std::string caption_;
  FormBorder border_ = FormBorder::kSizeable;
  FormPosition position_ = FormPosition::kDesigned;
  bool autoSize_ = false;
  bool sizing_ = false;
  bool modal_ = false;
  int modalResult_ = kMrNone;
  WindowHandle foreignParent_ = 0;
  WindowHandle activeControl_ = 0;
};

}  // namespace ryn::ui
