// File names. The system holds paths as narrow text in the process code page; the file
// system is asked in its own encoding (UTF-8), converted at this boundary. "/" separates.
#pragma once

#include <string>
#include <string_view>

namespace ryn {

constexpr char kPathDelim = '/';

std::string ToOsPath(std::string_view path);
std::string FromOsPath(std::string_view osPath);

std::string CurrentDirectory();
// The absolute form of a path: relative paths are resolved against the current
// directory, "." and ".." are folded away.
std::string ExpandFileName(std::string_view path);
// The directory part, up to and including the last separator; empty for a bare name.
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);

bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// Creates a directory with every missing parent; true when it exists afterwards.
bool ForceDirectories(std::string_view path);

}  // namespace ryn
