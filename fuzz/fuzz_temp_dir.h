// One private folder per fuzzing process for the files a target makes; emptied after every
// input so that no input sees what another left behind.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ryn::fuzz {

inline const std::string& TempFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "rynfuzz.XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
  }();
  return folder;
}

inline void EmptyTempFolder() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(TempFolder(), ec))
    std::filesystem::remove_all(entry.path(), ec);
}

// A name the engine resolves inside the folder: relative, no step upwards. Anything else
// would let an input reach files outside it.
inline bool ConfinedName(const std::string& name) {
  return !name.empty() && name[0] != '/' && name.find("..") == std::string::npos && name.size() < 200;
}

}  // namespace ryn::fuzz
