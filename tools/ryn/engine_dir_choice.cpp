#include "engine_dir_choice.h"

#include <cstdlib>

#include "console_system.h"
#include "platform/paths.h"

namespace ryn::tool {

// Arguments and the environment are in the file system's encoding already: no conversion,
// so a folder named outside the process code page is found as it is.
OsPath EngineFolder(const std::optional<std::string_view>& dirOption) {
  if (dirOption) return ExpandFileName(OsPath{std::string(*dirOption)});
  if (const char* env = std::getenv("RYNFILER_PLUGIN_DIR"); env && *env) return ExpandFileName(OsPath{env});
  return ExpandFileName(OsPath{ExtractFilePath(ExecutablePath()).bytes + RYNFILER_ENGINE_DIR_FROM_BIN});
}

}  // namespace ryn::tool
