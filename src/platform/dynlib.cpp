// What loading and listing do alike on every system (dynlib_posix.cpp, dynlib_win.cpp).
#include "platform/dynlib.h"

#include "platform/codepage.h"
#include "platform/paths.h"

namespace ryn {

LibHandle LoadLibraryFile(const std::string& path) {
  OsPath os;
  return ToOsPath(path, os) ? LoadLibraryFile(os) : nullptr;
}

std::string OwnModulePath() { return FromOsPath(OwnModuleOsPath()); }

std::vector<DirEntry> ListDirectory(const std::string& path) {
  std::vector<DirEntry> out;
  OsPath folder;
  if (!ToOsPath(path, folder)) return out;
  for (OsDirEntry& e : ListDirectory(folder)) out.push_back({FromOsPath(e.name), e.isDirectory});
  return out;
}

}  // namespace ryn
