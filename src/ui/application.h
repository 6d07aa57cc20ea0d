// The application object, one per process (this library is shared by the host and every
// engine library it loads): the window table, the message queue, the modal loop with its
// stack of modal forms and the driver that acts as the user headless, the dialog
// services, and the screen. Only PostMessage and PostAction may be called from any
// thread; everything else belongs to the UI thread.
#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/handler.h"
#include "ui/peer.h"
#include "ui/types.h"
#include "ui/ui_api.h"

namespace ryn::ui {

class Control;
class DialogService;
class Form;

// Acts as the user on a modal form: clicks, types, selects, and ends with a modal result.
using ModalDriver = std::function<void(Form&)>;

class RYN_UI_API Screen {
 public:
  static Screen& Instance();
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height) {
    width_ = width;
    height_ = height;
  }

 private:
  Screen() = default;
  int width_ = 1024;
  int height_ = 768;
};

class RYN_UI_API Application {
 public:
  static Application& Instance();

  // The window table: the control of a handle of ours; null for a foreign or stale value.
  Control* FindWindow(WindowHandle handle) const;
  WindowHandle RegisterWindow(Control* control);
  void UnregisterWindow(WindowHandle handle);

  // Queues a message for the window; any thread. Delivered by ProcessMessages to the
  // control's OnMessage, or dropped when the window is gone by then.
  void PostMessage(WindowHandle window, uint32_t msg, intptr_t wparam = 0, intptr_t lparam = 0);
  // Queues something a user does (input from the toolkit), handled in turn with messages.
  void PostAction(Handler<void()> action);
  bool HasPendingMessages() const;
  // Handles everything queued, including what handlers queue meanwhile, in order.
  void ProcessMessages();

  // Runs an event handler as the toolkit would: an exception it raises is shown to the
  // user (HandleException) instead of leaving the handler.
  void Guard(const std::function<void()>& handler);
  // Shows the exception's text in an error message box captioned with the title, or
  // passes it to OnException when that is set.
  void HandleException(const std::exception& e);
  std::function<void(const std::exception&)> OnException;
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }

  // The modal loop of Form::ShowModal: the backend's when it runs one, else DriveModal.
  void RunModal(Form& form);
  // The headless loop, which a backend also runs once the modal form is on screen when a
  // driver is installed: pending messages are processed, the driver gets the form,
  // pending messages are processed again; a form still open then ends with Cancel, so
  // that nothing ever waits for a user who is not there.
  void DriveModal(Form& form);
  // Installs the driver every modal form is handed to; returns the one it replaces.
  ModalDriver SetModalDriver(ModalDriver driver);
  bool HasModalDriver() const { return static_cast<bool>(driver_); }
  // The innermost modal form, or null.
  Form* ActiveForm() const { return modal_.empty() ? nullptr : modal_.back(); }
  const std::vector<Form*>& ModalForms() const { return modal_; }

  DialogService& Dialogs();
  // A service of the backend's in place of the headless one (null: back to headless).
  void SetDialogService(DialogService* service);
  // The backend; on first need one is chosen as backend_loader.h describes.
  Backend* GetBackend();
  // Installs a backend, or null to go headless again. Refused (false) while another
  // backend is installed: one adapter per process.
  bool SetBackend(Backend* backend);
  // Makes the window known under the toolkit's own handle for it as well (0: under its
  // table handle only again); Handle() answers the native one from then on.
  void BindNativeHandle(Control& control, WindowHandle native);

 private:
  friend class Form;
  Application();
  void PushModal(Form* form) { modal_.push_back(form); }
  void PopModal(Form* form);
  void ChooseBackend();

  struct Pending {
    Message message;
    std::function<void()> action;
  };
  mutable std::mutex queueLock_;
  std::deque<Pending> queue_;
  std::unordered_map<WindowHandle, Control*> windows_;
  WindowHandle nextHandle_ = 0x10000;
  std::vector<Form*> modal_;
  ModalDriver driver_;
  std::unique_ptr<DialogService> headlessDialogs_;
  DialogService* dialogs_ = nullptr;
  Backend* backend_ = nullptr;
  bool backendChosen_ = false;
  std::string title_ = "RynFiler";
};

// The application's message processing, for code that only needs that.
inline void ProcessMessages() { Application::Instance().ProcessMessages(); }

}  // namespace ryn::ui
