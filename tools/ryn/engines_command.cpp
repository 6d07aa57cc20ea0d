#include "engines_command.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "engine_dir_choice.h"
#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"
#include "platform/codepage.h"
#include "tool_args.h"
#include "transport/registries.h"

namespace ryn::tool {

const char* const kEnginesUsage =
    "Usage: ryn engines [--dir DIR]\n"
    "\n"
    "Loads the engine libraries of the engine folder and prints one line per engine:\n"
    "its name, a tab, the directions it serves (source, destination or\n"
    "source+destination), a tab, its description, a tab and the library's path.\n"
    "The folder is DIR, else $RYNFILER_PLUGIN_DIR, else lib/rynfiler beside the\n"
    "folder of this program.\n"
    "\n"
    "Exit status: 0 listed (an empty folder lists nothing and says so on stderr); 1 the\n"
    "folder is missing or cannot be read; 2 usage.\n";

namespace {

std::string Directions(int32_t types) {
  std::string s;
  if (types & kDirectionSource) s = "source";
  if (types & kDirectionDestination) s += s.empty() ? "destination" : "+destination";
  return s.empty() ? "none" : s;
}

}  // namespace

int RunEngines(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  std::optional<std::string_view> dir;
  ArgReader reader(args);
  while (!reader.Done()) {
    bool missing = false;
    if (reader.Flag("--help") || reader.Flag("-h")) return out << kEnginesUsage, 0;
    if (auto v = reader.Value("--dir", missing)) {
      dir = v;
      continue;
    }
    err << "ryn engines: " << (missing ? "missing value of " : "unexpected argument ") << reader.Current()
        << "\n" << kEnginesUsage;
    return 2;
  }

  const OsPath folder = EngineFolder(dir);
  // Discovery skips what it cannot read; a folder that is not there is the user's mistake.
  if (const std::string problem = DirectoryListProblem(folder); !problem.empty()) {
    err << "ryn engines: cannot read the engine folder " << folder.bytes << ": " << problem << "\n";
    return 1;
  }
  RegisterLibraryEngines(folder);
  std::vector<std::string> lines;
  GetTransEngineFactories().Enumerate(0, [&](ITransEngineFactory* f) {
    auto* lib = dynamic_cast<TLibITransEngineFactory*>(f);
    lines.push_back(ToUtf8(f->GetName()) + '\t' + Directions(f->GetEngineTypes()) + '\t' + ToUtf8(f->GetDescription()) +
                    '\t' + (lib ? lib->FilePath().bytes : std::string()));
  });
  if (lines.empty()) err << "ryn engines: no engine libraries in " << folder.bytes << "\n";
  // Folders list their files in no particular order.
  std::sort(lines.begin(), lines.end());
  for (const std::string& line : lines) out << line << '\n';
  return 0;
}

}  // namespace ryn::tool
