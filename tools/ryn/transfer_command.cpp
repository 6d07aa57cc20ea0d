#include "transfer_command.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console_events.h"
#include "engine_folder.h"
#include "expr/named_host.h"
#include "libengineport/lib_factory.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "recipe_run.h"
#include "tool_args.h"
#include "transfer/trans_frame.h"
#include "transport/registries.h"

namespace ryn::tool {

const char* const kTransferUsage =
    "Usage: ryn transfer --from NAME --to NAME [--from-options TEXT | --from-options-file FILE]\n"
    "                    [--to-options TEXT | --to-options-file FILE]\n"
    "                    [--script FILE | [--map LINE]... [--filter EXPR]] [--dir DIR] [--quiet]\n"
    "                    [--keep-partial] [--lossy]\n"
    "                    [--recipe FILE [--allow-drift]] [--save-recipe FILE]\n"
    "\n"
    "Moves the records of the source engine NAME (--from) into the destination engine\n"
    "NAME (--to), both found by name, ignoring case, in the engine folder (see\n"
    "\"ryn engines --help\"). Each engine is opened and given its options text, if any.\n"
    "The mapping script is read from FILE, or made of the --map lines (\"Export(1)=\n"
    "Import(0)\") with the condition of --filter; without them every destination field\n"
    "takes the first unused source field of its type, and each such line is shown\n"
    "(\"默认映射\") with both fields' names. Texts and files are UTF-8.\n"
    "Messages and progress go to stderr (no progress with --quiet), the number of\n"
    "records read and written to stdout. Ctrl-C stops after the current record.\n"
    "A run that reports an error or is stopped keeps nothing: the destination's file\n"
    "is left as it was before (data type 0 keeps its old content, 1 and 2 are cut back\n"
    "to their length at the start, a new file is removed); --keep-partial keeps what was\n"
    "written instead, closed with its end marker.\n"
    "A value that cannot be carried exactly (a character the code page lacks, bytes\n"
    "that are no character of the source's encoding) is an error of the run; with\n"
    "--lossy such values are written with \"?\" in their place and the run goes on.\n"
    "--save-recipe FILE writes what the run uses (both engines, both options texts, the\n"
    "mapping script as run, the default one included, and the source's fields) to FILE\n"
    "once the run starts: after the script compiled and both engines opened, before\n"
    "the first record, so a run that fails later has saved it too. --recipe FILE runs\n"
    "a saved recipe; --from, --to, options, --script, --map and --filter given beside it\n"
    "replace its parts (--map or --filter its whole script). When the source's fields\n"
    "differ from the recipe's, each change is shown and the destination is not opened\n"
    "(status 1); with --allow-drift the changes are warnings and the run goes on.\n"
    "Exit status: 0 done, 1 an error was reported or the script did not compile\n"
    "(nothing kept), 2 usage error, 3 written with --lossy values replaced, 130\n"
    "stopped by Ctrl-C.\n";

namespace {

struct Settings {
  std::optional<std::string_view> from, to, dir;
  std::optional<std::string_view> fromOptions, fromOptionsFile, toOptions, toOptionsFile;
  std::optional<std::string_view> script, filter;
  std::vector<std::string_view> maps;
  bool quiet = false;
  bool keepPartial = false;
  bool lossy = false;
  std::optional<std::string_view> recipe, saveRecipe;
  bool allowDrift = false;
  std::string recipeFrom, recipeTo;  // UTF-8, what --from and --to fall back to
  std::optional<std::string> recipeScript;
};

// A failure that ends the command with its message and status.
struct Failure {
  std::string message;
  int status;
};

int Usage(std::ostream& err, std::string_view problem) {
  err << "ryn transfer: " << problem << "\n" << kTransferUsage;
  return 2;
}

// The usage problem, or empty when the arguments make a command.
std::string Parse(std::span<const std::string_view> args, Settings& s, bool& help) {
  ArgReader reader(args);
  using Named = ArgReader::Named<Settings>;
  const Named named[] = {
      {"--from", &Settings::from},
      {"--to", &Settings::to},
      {"--dir", &Settings::dir},
      {"--from-options", &Settings::fromOptions},
      {"--from-options-file", &Settings::fromOptionsFile},
      {"--to-options", &Settings::toOptions},
      {"--to-options-file", &Settings::toOptionsFile},
      {"--script", &Settings::script},
      {"--filter", &Settings::filter},
      {"--recipe", &Settings::recipe},
      {"--save-recipe", &Settings::saveRecipe},
  };
  while (!reader.Done()) {
    if (reader.Flag("--help") || reader.Flag("-h")) {
      help = true;
      return {};
    }
    if (reader.Flag("--quiet")) {
      s.quiet = true;
      continue;
    }
    if (reader.Flag("--lossy")) {
      s.lossy = true;
      continue;
    }
    if (reader.Flag("--keep-partial")) {
      s.keepPartial = true;
      continue;
    }
    if (reader.Flag("--allow-drift")) {
      s.allowDrift = true;
      continue;
    }
    std::string error;
    if (reader.TakeNamed(std::span<const Named>(named), s, error)) continue;
    if (!error.empty()) return error;
    bool missing = false;
    if (auto v = reader.Value("--map", missing)) {
      s.maps.push_back(*v);
      continue;
    }
    if (missing) return "missing value of --map";
    return "unexpected argument " + std::string(reader.Current());
  }
  if (!s.from && !s.recipe) return "missing --from";
  if (!s.to && !s.recipe) return "missing --to";
  if (s.fromOptions && s.fromOptionsFile) return "--from-options and --from-options-file exclude each other";
  if (s.toOptions && s.toOptionsFile) return "--to-options and --to-options-file exclude each other";
  if (s.script && (s.filter || !s.maps.empty())) return "--script excludes --map and --filter";
  return {};
}

// A UTF-8 file's text in the process code page.
std::string ReadTextFile(std::string_view path) {
  std::ifstream in(std::string(path), std::ios::binary);
  if (!in) throw Failure{"cannot read " + std::string(path), 1};
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  return FromUtf8(bytes);
}

std::optional<std::string> OptionsText(const std::optional<std::string_view>& text,
                                       const std::optional<std::string_view>& file) {
  if (text) return FromUtf8(*text);
  if (file) return ReadTextFile(*file);
  return std::nullopt;
}

// The recipe of --recipe, or none; its engines and script stand in for those the
// command line does not give.
std::optional<TRecipe> TakeRecipe(Settings& s) {
  if (!s.recipe) return std::nullopt;
  TRecipe r;
  if (std::string problem = LoadRecipe(*s.recipe, r); !problem.empty()) throw Failure{problem, 1};
  s.recipeFrom = ToUtf8(r.from);
  s.recipeTo = ToUtf8(r.to);
  if (!s.from) s.from = s.recipeFrom;
  if (!s.to) s.to = s.recipeTo;
  if (!s.script && !s.filter && s.maps.empty()) s.recipeScript = r.script;
  return r;
}

// The sink of the frame: with --save-recipe one that saves what the run uses as it starts.
IntfPtr<ITransEvents> FrameEvents(const Settings& s, ITransEvents* events, const std::optional<std::string>& fromOptions,
                                  const std::optional<std::string>& toOptions, ITransEngine* source,
                                  IntfPtr<ITransScriptHost>& host) {
  if (!s.saveRecipe) return events;
  TRecipe r{FromUtf8(*s.from), FromUtf8(*s.to), fromOptions, toOptions, std::nullopt, {}};
  return SaveRecipeAtStart(events, std::move(r), std::string(*s.saveRecipe), source,
                           [&host] { return host ? host->GetScript() : std::string(); });
}

// Creates the engine of that name for the direction, attaches the sink, opens it and
// applies its options.
IntfPtr<ITransEngine> OpenEngine(std::string_view nameUtf8, int32_t direction, const OsPath& folder,
                                 ITransEvents* events, const std::optional<std::string>& options) {
  const std::string name = FromUtf8(nameUtf8);
  const char* role = direction == kDirectionSource ? "source" : "destination";
  IntfPtr<ITransEngineFactory> factory = GetTransEngineFactories().FindByName(name);
  if (!factory) throw Failure{"no engine named " + std::string(nameUtf8) + " in " + folder.bytes, 1};
  if ((factory->GetEngineTypes() & direction) == 0)
    throw Failure{"engine " + std::string(nameUtf8) + " cannot be a " + role, 1};
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  engine->SetEvents(events);
  if (!engine->Init(direction)) throw Failure{"engine " + std::string(nameUtf8) + " does not open as a " + role, 1};
  if (options) {
    if (int32_t code = engine->SetOptions(*options)) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
      engine->Fina();
      throw Failure{"engine " + std::string(nameUtf8) + " refused its options (code " + hex + ")", 1};
    }
  }
  return engine;
}

// The name of field index of the engine's port, or empty.
std::string FieldName(ITransEngine& engine, int32_t index) {
  IntfPtr<ITransPort> port = engine.GetPort();
  IntfPtr<ITransField> field = port ? port->GetField(index) : nullptr;
  return field ? field->GetName() : std::string();
}

// The mapping the host made by itself, one line each, with the fields' names: the user
// sees which source field went where before trusting the file.
void ShowDefaultMapping(const std::string& script, ITransEngine& source, ITransEngine& dest, ITransEvents& events) {
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find("\r\n", start);
    if (end == std::string::npos) end = script.size();
    const std::string line = script.substr(start, end - start);
    start = end + 2;
    int to = -1, from = -1;
    char tail = 0;
    if (std::sscanf(line.c_str(), "Export(%d)=Import(%d%c", &to, &from, &tail) != 3 || tail != ')') continue;
    events.OnMessage(kSeverityInfo, Ansi("默认映射：") + line + Ansi("（") + FieldName(dest, to) + Ansi(" ← ") +
                                        FieldName(source, from) + Ansi("）"));
  }
}

// The mapping script of the command line; without mapping lines the host's default, shown
// to the user.
std::string ScriptText(const Settings& s, ITransScriptHost& host, ITransEngine& source, ITransEngine& dest,
                       ITransEvents& events) {
  if (s.recipeScript) return *s.recipeScript;
  if (s.script) return ReadTextFile(*s.script);
  std::string text;
  if (s.filter) text += "Filter=" + FromUtf8(*s.filter) + "\r\n";
  if (s.maps.empty()) {
    host.SetScript("");
    host.BuildDefaultScript();
    std::string mapping = host.GetScript();
    ShowDefaultMapping(mapping, source, dest, events);
    return text + mapping;
  }
  for (std::string_view m : s.maps) text += FromUtf8(m) + "\r\n";
  return text;
}

}  // namespace

int RunTransfer(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  Settings s;
  bool help = false;
  if (std::string problem = Parse(args, s, help); !problem.empty()) return Usage(err, problem);
  if (help) return out << kTransferUsage, 0;

  const ProgressStyle style = s.quiet ? ProgressStyle::kNone
                              : ::isatty(STDERR_FILENO) ? ProgressStyle::kBar
                                                        : ProgressStyle::kLines;
  auto events = MakeIntf<TConsoleEvents>(err, style);
  events->AcceptLossyValues(s.lossy);
  IntfPtr<ITransScriptHost> host;
  bool started = false;
  bool kept = false;
  try {
    const std::optional<TRecipe> recipe = TakeRecipe(s);
    std::optional<std::string> fromOptions = OptionsText(s.fromOptions, s.fromOptionsFile);
    std::optional<std::string> toOptions = OptionsText(s.toOptions, s.toOptionsFile);
    if (recipe && !fromOptions) fromOptions = recipe->fromOptions;
    if (recipe && !toOptions) toOptions = recipe->toOptions;
    const OsPath folder = EngineFolder(s.dir);
    RegisterLibraryEngines(folder);
    IntfPtr<ITransEngine> source = OpenEngine(*s.from, kDirectionSource, folder, events.get(), fromOptions);
    if (recipe && !CheckRecipeDrift(*recipe, *source, s.allowDrift, *events))
      throw Failure{"the source's fields are not those of recipe " + std::string(*s.recipe) +
                        "; the destination was not opened (--allow-drift runs it anyway)", 1};
    IntfPtr<ITransEngine> dest = OpenEngine(*s.to, kDirectionDestination, folder, events.get(), toOptions);
    // Ctrl-C from here on asks the transfer to stop; the frame closes both engines when
    // it goes, whatever happened before.
    TConsoleEvents::InterruptScope interrupts;
    TTransFrame frame;
    frame.SetEvents(FrameEvents(s, events.get(), fromOptions, toOptions, source.get(), host).get());
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(dest.get(), true);
    host = frame.GetScriptHost();
    if (host) host->SetScript(ScriptText(s, *host, *source, *dest, *events));
    started = true;
    frame.Execute();
    // The destination keeps its output only after a clean run: a run that reported an
    // error or was stopped leaves the file as it was, unless the user asked for the part.
    kept = s.keepPartial || (!events->ErrorSeen() && !events->Stopped() && !frame.ErrorReported());
    frame.KeepOutput(kept);
  } catch (const Failure& f) {
    err << "ryn transfer: " << f.message << "\n";
    return f.status;
  } catch (const ERynError& e) {
    // The frame has closed the engines by now; what stopped the command is an error.
    events->OnMessage(kSeverityError, e.Message());
    if (!started) return 1;
  }
  const bool failed = events->ErrorSeen() || events->Stopped();
  if (auto* named = host ? dynamic_cast<TNamedHost*>(ImplementorOf(host.get())) : nullptr) {
    out << named->RecordsRead() << " records read, " << named->RecordsWritten() << " written";
    if (failed) out << (kept ? "; the partial output was kept" : "; nothing was kept: the destination is as it was");
    out << "\n";
  }
  if (events->Stopped()) {
    err << "ryn transfer: stopped by the user\n";
    return 130;
  }
  if (events->ErrorSeen()) return 1;
  return events->ValuesLost() ? 3 : 0;
}

}  // namespace ryn::tool
