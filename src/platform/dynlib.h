// Loading other libraries at run time, the path of the module this code is linked into,
// and listing a directory.
#pragma once

#include <string>
#include <vector>

#include "platform/paths.h"

namespace ryn {

using LibHandle = void*;

// Loads a shared library (path in the file system's encoding, or a narrow name that is
// converted exactly); null when it does not load.
// The floating-point environment is saved before and restored after the load, so a
// library's start-up cannot change this process's rounding or exception settings.
LibHandle LoadLibraryFile(const OsPath& path);
LibHandle LoadLibraryFile(const std::string& path);
void* GetProcAddress(LibHandle lib, const char* name);
void FreeLibraryFile(LibHandle lib);

// The file of the module (executable or shared library) holding this code, as the file
// system names it, and its narrow form for showing.
OsPath OwnModuleOsPath();
std::string OwnModulePath();

// The platform's library file suffix, ".so" (".dll" on Windows).
#ifdef _WIN32
constexpr const char* kLibrarySuffix = ".dll";
#else
constexpr const char* kLibrarySuffix = ".so";
#endif

struct DirEntry {
  std::string name;  // process code page
  bool isDirectory;
};
struct OsDirEntry {
  OsPath name;
  bool isDirectory;
};
// The entries of a directory in the order the file system returns them, without "." and
// ".."; empty when it cannot be read.
std::vector<OsDirEntry> ListDirectory(const OsPath& path);
std::vector<DirEntry> ListDirectory(const std::string& path);
// Why a directory cannot be listed (the system's text, e.g. "No such file or directory"),
// or empty when it can: an empty listing alone does not tell a missing folder from an
// empty one.
std::string DirectoryListProblem(const OsPath& path);

}  // namespace ryn
