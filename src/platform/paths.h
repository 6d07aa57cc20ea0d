// File names. Names that hosts and users give are narrow text in the process code page;
// the file system is asked in its own encoding (UTF-8; on Windows UTF-16, made from the
// UTF-8 of an OsPath at each call). Paths the system finds itself (the current directory,
// its own module, directory entries) stay in that encoding (OsPath), so that characters
// outside the process code page are never turned into "?". "/" separates in both; on
// Windows "\\" separates as well and is the one the system writes.
#pragma once

#include <string>
#include <string_view>

namespace ryn {

#ifdef _WIN32
constexpr char kPathDelim = '\\';
#else
constexpr char kPathDelim = '/';
#endif

// True for a separator of the system. For the bytes of an OsPath (UTF-8): in a narrow
// path a trail byte of GBK may be 0x5C.
constexpr bool IsPathDelim(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// A path in the file system's encoding.
struct OsPath {
  std::string bytes;
  const char* c_str() const { return bytes.c_str(); }
  bool empty() const { return bytes.empty(); }
  bool operator==(const OsPath&) const = default;
};

// The file system's form of a narrow name; false when the name holds bytes that are no
// character of the process code page (such a name names no file: nothing is substituted).
bool ToOsPath(std::string_view name, OsPath& out);
// The narrow form for showing; characters the code page lacks become "?".
std::string FromOsPath(const OsPath& path);

OsPath OsCurrentDirectory();
// The absolute form: relative paths are resolved against the current directory, "." and
// ".." are folded away.
OsPath ExpandFileName(const OsPath& path);
OsPath ExtractFilePath(const OsPath& path);
bool FileExists(const OsPath& path);
bool DirectoryExists(const OsPath& path);
bool ForceDirectories(const OsPath& path);
// Puts from in the place of to in one step (an existing to is replaced); false on failure.
bool RenameFile(const OsPath& from, const OsPath& to);
bool DeleteFile(const OsPath& path);
// The path with every symbolic link followed; the path itself when it names nothing.
OsPath ResolveLinks(const OsPath& path);
// Gives to the permission bits of from; false when either cannot be reached.
bool CopyFileMode(const OsPath& from, const OsPath& to);

std::string CurrentDirectory();
// The absolute form of a path: relative paths are resolved against the current
// directory, "." and ".." are folded away.
std::string ExpandFileName(std::string_view path);
// The directory part, up to and including the last separator; empty for a bare name.
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);

// The narrow forms ask the file system for the converted name; a name that does not
// convert is no existing file or directory, and none is created for it.
bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// Creates a directory with every missing parent; true when it exists afterwards.
bool ForceDirectories(std::string_view path);

}  // namespace ryn
