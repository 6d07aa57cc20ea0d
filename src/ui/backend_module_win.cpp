#include "ui/backend_module.h"

#include "ui/backend_loader.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace ryn::ui {
namespace {

// The folder of this DLL, in UTF-16: the modules are installed beside it.
std::wstring OwnFolder() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&UseBackend), &self))
    return {};
  wchar_t path[32768];
  const DWORD n = GetModuleFileNameW(self, path, sizeof path / sizeof path[0]);
  std::wstring folder(path, n);
  const size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

}  // namespace

Backend* LoadModule(const std::string& name, std::string* error) {
  // Module names are ASCII words ("win32"); anything else names no module of ours.
  bool word = !name.empty();
  for (char c : name) word = word && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
  if (!word) {
    if (error) *error = "no backend named \"" + name + "\"";
    return nullptr;
  }
  const std::string file = "rynfiler-ui-" + name + ".dll";
  HMODULE module = LoadLibraryExW((OwnFolder() + std::wstring(file.begin(), file.end())).c_str(), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) {
    if (error) *error = file + ": cannot be loaded (system error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  auto factory = reinterpret_cast<BackendFactory>(reinterpret_cast<void*>(GetProcAddress(module, kBackendFactorySymbol)));
  if (!factory) {
    if (error) *error = file + ": not a backend module";
    return nullptr;
  }
  return factory(error);
}

// Headless until a Win32 backend module exists: a wizard given a parent window then stays
// off screen, driven by the host through the Config* calls as on a machine with no display.
std::string AutomaticModule() { return ""; }

}  // namespace ryn::ui
