#include "ui/backend_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "ui/application.h"

namespace ryn::ui {
namespace {

std::string gName = "headless";

// The folder of this library: the modules are installed beside it.
std::string OwnFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&UseBackend), &info) || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

Backend* LoadModule(const std::string& name, std::string* error) {
  if (name.empty() || name.find('/') != std::string::npos) {
    if (error) *error = "no backend named \"" + name + "\"";
    return nullptr;
  }
  const std::string file = OwnFolder() + "librynfiler-ui-" + name + ".so";
  // Never unloaded: the toolkit registers types and handlers for the process's life.
  void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!module) {
    if (error) *error = dlerror();
    return nullptr;
  }
  auto factory = reinterpret_cast<BackendFactory>(dlsym(module, kBackendFactorySymbol));
  if (!factory) {
    if (error) *error = file + ": not a backend module";
    return nullptr;
  }
  return factory(error);
}

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
  if (choice.empty()) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return;
    choice = "gtk";
  }
  // Without the module it stays headless. A user's choice brings the real dialogs too, and
  // with them modal loops that wait for the user.
  if (Backend* backend = LoadModule(choice, nullptr)) {
    backend_ = backend;
    gName = choice;
    if (DialogService* dialogs = backend->Dialogs(); dialogs && !Scripted()) dialogs_ = dialogs;
  }
}

}  // namespace ryn::ui
