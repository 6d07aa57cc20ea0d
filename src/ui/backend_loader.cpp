#include "ui/backend_loader.h"

#include <cstdlib>
#include <string>

#include "ui/application.h"
#include "ui/backend_module.h"

namespace ryn::ui {
namespace {

std::string gName = "headless";

}  // namespace

bool UseBackend(std::string_view name, std::string* error) {
  Application& app = Application::Instance();
  if (name == "headless") {
    if (gName != "headless") {
      if (error) *error = "the " + gName + " backend runs already";
      return false;
    }
    return app.SetBackend(nullptr);
  }
  if (name == gName) return true;
  if (gName != "headless") {
    if (error) *error = "the " + gName + " backend runs already";
    return false;
  }
  Backend* backend = LoadModule(std::string(name), error);
  if (!backend || !app.SetBackend(backend)) return false;
  gName = name;
  return true;
}

std::string BackendName() { return gName; }

namespace {

// A process whose windows tests answer through the headless loop, on a toolkit's windows:
// set by the test registrations, never by a user.
bool Scripted() {
  const char* env = std::getenv("RYNFILER_UI_SCRIPTED");
  return env && *env && std::string_view(env) != "0";
}

}  // namespace

void Application::ChooseBackend() {
  const char* env = std::getenv("RYNFILER_UI");
  std::string choice = env && *env ? env : "";
  if (choice == "headless") return;
  if (choice.empty()) choice = AutomaticModule();
  if (choice.empty()) return;
  // Without the module it stays headless. A user's choice brings the real dialogs too, and
  // with them modal loops that wait for the user.
  if (Backend* backend = LoadModule(choice, nullptr)) {
    backend_ = backend;
    gName = choice;
    if (DialogService* dialogs = backend->Dialogs(); dialogs && !Scripted()) dialogs_ = dialogs;
  }
}

}  // namespace ryn::ui
