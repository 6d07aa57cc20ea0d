// Libraries by dlopen, the own module by dladdr, folders by readdir (POSIX systems).
#include "platform/dynlib.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cfenv>
#include <cstring>

#include "platform/codepage.h"
#include "platform/paths.h"

namespace ryn {

LibHandle LoadLibraryFile(const OsPath& path) {
  std::fenv_t env;
  std::fegetenv(&env);
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  std::fesetenv(&env);
  return lib;
}

void* GetProcAddress(LibHandle lib, const char* name) { return lib ? dlsym(lib, name) : nullptr; }

void FreeLibraryFile(LibHandle lib) {
  if (lib) dlclose(lib);
}

OsPath OwnModuleOsPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModuleOsPath), &info) == 0 || !info.dli_fname) return OsPath{};
  return ExpandFileName(OsPath{info.dli_fname});
}

std::vector<OsDirEntry> ListDirectory(const OsPath& path) {
  std::vector<OsDirEntry> out;
  const std::string& os = path.bytes;
  DIR* dir = opendir(os.c_str());
  if (!dir) return out;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st{};
      isDir = stat((os + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back({OsPath{std::move(name)}, isDir});
  }
  closedir(dir);
  return out;
}

std::string DirectoryListProblem(const OsPath& path) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return SystemErrorText(errno);
  closedir(dir);
  return {};
}

}  // namespace ryn
