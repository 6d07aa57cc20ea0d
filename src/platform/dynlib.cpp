#include "platform/dynlib.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <cfenv>

#include "platform/paths.h"

namespace ryn {

LibHandle LoadLibraryFile(const std::string& path) {
  std::fenv_t env;
  std::fegetenv(&env);
  void* lib = dlopen(ToOsPath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  std::fesetenv(&env);
  return lib;
}

void* GetProcAddress(LibHandle lib, const char* name) { return lib ? dlsym(lib, name) : nullptr; }

void FreeLibraryFile(LibHandle lib) {
  if (lib) dlclose(lib);
}

std::string OwnModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModulePath), &info) == 0 || !info.dli_fname) return std::string();
  return ExpandFileName(FromOsPath(info.dli_fname));
}

std::vector<DirEntry> ListDirectory(const std::string& path) {
  std::vector<DirEntry> out;
  std::string os = ToOsPath(path);
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
    out.push_back({FromOsPath(name), isDir});
  }
  closedir(dir);
  return out;
}

}  // namespace ryn
