// The files ryn writes and reads itself (--rejects, recipes, the preview's scratch file)
// by their UTF-8 names. The standard library takes a narrow name in the ANSI code page on
// Windows, where a name outside it would name another file, and std::rename does not
// replace there: both go through std::filesystem's wide side.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace ryn::tool {

inline std::filesystem::path FilePath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Puts from in the place of to in one step, replacing it; false on failure.
inline bool ReplaceWith(std::string_view fromUtf8, std::string_view toUtf8) {
  std::error_code ec;
  std::filesystem::rename(FilePath(fromUtf8), FilePath(toUtf8), ec);
  return !ec;
}

inline void RemoveFile(std::string_view utf8) {
  std::error_code ec;
  std::filesystem::remove(FilePath(utf8), ec);
}

}  // namespace ryn::tool
