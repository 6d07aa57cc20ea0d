#include "ui/application.h"

#include "ui/backend_loader.h"
#include "ui/control.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace ryn::ui {

Screen& Screen::Instance() {
  // Never destroyed: forms held by static objects of other libraries may go later.
  static Screen* screen = new Screen;
  return *screen;
}

Application& Application::Instance() {
  static Application* app = new Application;
  return *app;
}

Application::Application() : headlessDialogs_(std::make_unique<DialogService>()), dialogs_(headlessDialogs_.get()) {}

Control* Application::FindWindow(WindowHandle handle) const {
  auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second;
}

WindowHandle Application::RegisterWindow(Control* control) {
  // Handles are never reused, so a stale one stays unknown.
  WindowHandle handle = nextHandle_++;
  windows_.emplace(handle, control);
  return handle;
}

void Application::UnregisterWindow(WindowHandle handle) { windows_.erase(handle); }

void Application::PostMessage(WindowHandle window, uint32_t msg, intptr_t wparam, intptr_t lparam) {
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    queue_.push_back(Pending{Message{window, msg, wparam, lparam}, nullptr});
  }
  if (backend_) backend_->Wake();
}

void Application::PostAction(Handler<void()> action) {
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    queue_.push_back(Pending{Message{}, std::move(action)});
  }
  if (backend_) backend_->Wake();
}

bool Application::HasPendingMessages() const {
  std::lock_guard<std::mutex> guard(queueLock_);
  return !queue_.empty();
}

void Application::ProcessMessages() {
  if (backend_) backend_->ProcessEvents();
  for (;;) {
    Pending next;
    {
      std::lock_guard<std::mutex> guard(queueLock_);
      if (queue_.empty()) return;
      next = std::move(queue_.front());
      queue_.pop_front();
    }
    if (next.action) {
      Guard(next.action);
    } else if (Control* target = FindWindow(next.message.window); target && target->OnMessage) {
      // A copy: the handler may replace itself or free the control.
      std::function<void(const Message&)> handler = target->OnMessage;
      Guard([&] { handler(next.message); });
    }
  }
}

void Application::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

void Application::HandleException(const std::exception& e) {
  if (OnException) OnException(e);
  else Dialogs().MessageBox(e.what(), title_, kMbOk | kMbIconError);
}

void ShowHandlerException(const std::exception& e) { Application::Instance().HandleException(e); }

void Application::RunModal(Form& form) {
  if (Backend* backend = GetBackend(); backend && backend->RunModal(form)) return;
  DriveModal(form);
}

void Application::DriveModal(Form& form) {
  auto open = [&] { return form.ModalResult() == kMrNone; };
  ProcessMessages();
  if (open() && driver_) {
    ModalDriver driver = driver_;  // the driver may install another one for nested forms
    driver(form);
  }
  while (open() && HasPendingMessages()) ProcessMessages();
  if (open()) form.EndModal(kMrCancel);
}

ModalDriver Application::SetModalDriver(ModalDriver driver) {
  std::swap(driver, driver_);
  return driver;
}

void Application::PopModal(Form* form) {
  for (auto it = modal_.end(); it != modal_.begin();) {
    if (*--it == form) {
      modal_.erase(it);
      return;
    }
  }
}

DialogService& Application::Dialogs() {
  GetBackend();  // a backend chosen now may bring its own service
  return *dialogs_;
}

Backend* Application::GetBackend() {
  if (!backendChosen_) {
    backendChosen_ = true;
    ChooseBackend();
  }
  return backend_;
}

bool Application::SetBackend(Backend* backend) {
  if (backend && backend_ && backend != backend_) return false;
  backendChosen_ = true;
  backend_ = backend;
  return true;
}

void Application::BindNativeHandle(Control& control, WindowHandle native) {
  if (control.handle_ != control.tableHandle_) windows_.erase(control.handle_);
  control.handle_ = native ? native : control.tableHandle_;
  windows_[control.handle_] = &control;
}

void Application::SetDialogService(DialogService* service) { dialogs_ = service ? service : headlessDialogs_.get(); }

}  // namespace ryn::ui
