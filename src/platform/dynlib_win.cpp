// Libraries by LoadLibraryW, the own module by GetModuleFileNameW, folders by FindFirstFileW
// (Windows). Every name goes to the system as UTF-16, so no code page can lose a character.
#include "platform/dynlib.h"

#include <cfenv>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/win_text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace ryn {

LibHandle LoadLibraryFile(const OsPath& path) {
  if (path.empty()) return nullptr;
  std::fenv_t env;
  std::fegetenv(&env);
  // No "cannot find the DLL" box for a host that runs unattended; the library's own folder
  // is searched for what it depends on, as a host expects of a library loaded by path.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE lib = LoadLibraryExW(WidePath(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  SetErrorMode(oldMode);
  std::fesetenv(&env);
  return reinterpret_cast<LibHandle>(lib);
}

void* GetProcAddress(LibHandle lib, const char* name) {
  if (!lib) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name));
}

void FreeLibraryFile(LibHandle lib) {
  if (lib) FreeLibrary(static_cast<HMODULE>(lib));
}

OsPath OwnModuleOsPath() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnModuleOsPath), &self))
    return OsPath{};
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(self, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return OsPath{};
    if (n < name.size()) {
      name.resize(n);
      break;
    }
    name.resize(name.size() * 2);
  }
  return ExpandFileName(OsPathFromWide(name));
}

std::vector<OsDirEntry> ListDirectory(const OsPath& path) {
  std::vector<OsDirEntry> out;
  std::wstring pattern = WidePath(path);
  if (pattern.empty()) return out;
  if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return out;
  do {
    std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    out.push_back({OsPathFromWide(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return out;
}

std::string DirectoryListProblem(const OsPath& path) {
  std::wstring pattern = WidePath(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};  // an empty folder (no "." either: a root)
    return WindowsErrorText(error);
  }
  FindClose(search);
  return {};
}

}  // namespace ryn
