#include "ui/backend_module.h"

#include <dlfcn.h>

#include <cstdlib>

#include "ui/backend_loader.h"

namespace ryn::ui {
namespace {

// The folder of this library: the modules are installed beside it.
std::string OwnFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&UseBackend), &info) || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

Backend* LoadModule(const std::string& name, std::string* error) {
  if (name.empty() || name.find('/') != std::string::npos) {
    if (error) *error = "no backend named \"" + name + "\"";
    return nullptr;
  }
  const std::string file = OwnFolder() + "librynfiler-ui-" + name + ".so";
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

std::string AutomaticModule() {
  const char* display = std::getenv("DISPLAY");
  return display && *display ? "gtk" : "";
}

}  // namespace ryn::ui
