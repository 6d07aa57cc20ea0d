// Where `ryn` looks for engine libraries: the folder given with --dir, else the one named
// by RYNFILER_PLUGIN_DIR, else lib/rynfiler beside the folder of the executable (the
// layout of the build tree and of the install tree).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/paths.h"

namespace ryn::tool {

// The folder as the file system names it; dirOption as given on the command line.
OsPath EngineFolder(const std::optional<std::string_view>& dirOption);

}  // namespace ryn::tool
