// What paths do alike on every system (paths_posix.cpp, paths_win.cpp): the file system's
// names are UTF-8 in an OsPath on both, converted to the system's own form at each call.
#include "platform/paths.h"

#include "platform/codepage.h"

namespace ryn {

bool ToOsPath(std::string_view name, OsPath& out) { return TryToUtf8(name, out.bytes); }
std::string FromOsPath(const OsPath& path) { return FromUtf8(path.bytes); }

std::string CurrentDirectory() { return FromOsPath(OsCurrentDirectory()); }

bool FileExists(std::string_view path) {
  OsPath os;
  return ToOsPath(path, os) && FileExists(os);
}

bool DirectoryExists(std::string_view path) {
  OsPath os;
  return ToOsPath(path, os) && DirectoryExists(os);
}

bool ForceDirectories(std::string_view path) {
  OsPath os;
  return ToOsPath(path, os) && ForceDirectories(os);
}

}  // namespace ryn
