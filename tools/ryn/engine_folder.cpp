#include "engine_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/paths.h"

namespace ryn::tool {
namespace {

// The executable's own file, as the kernel knows it (a link or a relative argv[0] would
// not lead to the folder beside it).
std::string ExecutablePath() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buf.size()) return FromOsPath(OsPath{std::string(buf.data(), static_cast<size_t>(n))});
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

std::string EngineFolder(const std::optional<std::string_view>& dirOption) {
  if (dirOption) return ExpandFileName(FromOsPath(OsPath{std::string(*dirOption)}));
  if (const char* env = std::getenv("RYNFILER_PLUGIN_DIR"); env && *env) return ExpandFileName(FromOsPath(OsPath{env}));
  return ExpandFileName(ExtractFilePath(ExecutablePath()) + "../lib/rynfiler");
}

}  // namespace ryn::tool
