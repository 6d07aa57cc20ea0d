#include "engine_dir_choice.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/paths.h"

namespace ryn::tool {
namespace {

// The executable's own file, as the kernel knows it (a link or a relative argv[0] would
// not lead to the folder beside it).
OsPath ExecutablePath() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return OsPath{};
    if (static_cast<size_t>(n) < buf.size()) return OsPath{std::string(buf.data(), static_cast<size_t>(n))};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

// Arguments and the environment are in the file system's encoding already: no conversion,
// so a folder named outside the process code page is found as it is.
OsPath EngineFolder(const std::optional<std::string_view>& dirOption) {
  if (dirOption) return ExpandFileName(OsPath{std::string(*dirOption)});
  if (const char* env = std::getenv("RYNFILER_PLUGIN_DIR"); env && *env) return ExpandFileName(OsPath{env});
  return ExpandFileName(OsPath{ExtractFilePath(ExecutablePath()).bytes + RYNFILER_ENGINE_DIR_FROM_BIN});
}

}  // namespace ryn::tool
