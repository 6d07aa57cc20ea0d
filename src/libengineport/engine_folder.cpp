#include "libengineport/engine_folder.h"

#include <string_view>

#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"

namespace ryn {
namespace {

constexpr std::string_view kEngineFolderName = "rynfiler";

// A bare file name has no folder part, and gets none.
std::string WithDelim(std::string path) {
  if (!path.empty() && !IsPathDelim(path.back())) path += kPathDelim;
  return path;
}

}  // namespace

OsPath EngineFolderOf(const OsPath& modulePath) {
  std::string folder = ExtractFilePath(modulePath.bytes);
#ifdef _WIN32
  // A host keeps the DLLs it loads in its own folder, and Windows finds a DLL's
  // dependencies beside it: the engine libraries lie with this one.
  return OsPath{WithDelim(folder)};
#endif
  std::string_view withoutDelim(folder);
  if (!withoutDelim.empty() && IsPathDelim(withoutDelim.back())) withoutDelim.remove_suffix(1);
  if (ExtractFileName(withoutDelim) == kEngineFolderName) return OsPath{WithDelim(folder)};
  return OsPath{WithDelim(folder) + std::string(kEngineFolderName) + kPathDelim};
}

OsPath SelfNameIn(const OsPath& folder, const OsPath& modulePath) {
  const OsPath self = ResolveLinks(modulePath);
  const std::string dir = WithDelim(folder.bytes);
  for (const OsDirEntry& e : ListDirectory(OsPath{dir}))
    if (!e.isDirectory && ResolveLinks(OsPath{dir + e.name.bytes}) == self) return e.name;
  return OsPath{ExtractFileName(modulePath.bytes)};
}

void RegisterEngineFolder(const OsPath& folder, const OsPath& modulePath) {
  ScanLibraryFolder(folder, SelfNameIn(folder, modulePath));
}

}  // namespace ryn
