#include "transfer_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "console_events.h"
#include "console_system.h"
#include "engine_dir_choice.h"
#include "engine_open.h"
#include "file_names.h"
#include "expr/named_host.h"
#include "libengineport/lib_factory.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "recipe_run.h"
#include "tool_args.h"
#include "transfer_report.h"
#include "transfer/trans_frame.h"
#include "transport/registries.h"

namespace ryn::tool {

const char* const kTransferUsage =
    "Usage: ryn transfer --from NAME --to NAME [--from-options TEXT | --from-options-file FILE]\n"
    "                    [--to-options TEXT | --to-options-file FILE]\n"
    "                    [--script FILE | [--map LINE]... [--filter EXPR]] [--dir DIR] [--quiet]\n"
    "                    [--keep-partial] [--lossy] [--rejects FILE] [--from-rejects FILE]\n"
    "                    [--dry-run [--head N]] [--recipe FILE [--allow-drift]] [--save-recipe FILE]\n"
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
    "A mapping that fails for a record is such a value too. Each problem is shown with\n"
    "its record, field and value; the summary counts records read, written, filtered\n"
    "out and rejected, and the values changed by kind.\n"
    "--rejects FILE: a record with any problem is not written but goes to FILE (CSV,\n"
    "UTF-8: record number, destination field, mapping, problem, then the source\n"
    "record's values), one line per problem; the others are written.\n"
    "--from-rejects FILE: only the records numbered in such a FILE are read from the\n"
    "source (after the script or the data was fixed); append them with data type 1 or 2.\n"
    "--dry-run: reads the whole source and evaluates every mapping but writes nothing;\n"
    "prints per destination field the values, the empty ones and the problems, and\n"
    "with --head N (default 5) the first N records as the file would hold them.\n"
    "--save-recipe FILE writes what the run uses (both engines, both options texts, the\n"
    "mapping script as run, the default one included, and the source's fields) to FILE\n"
    "once the run starts: after the script compiled and both engines opened, before\n"
    "the first record, so a run that fails later has saved it too. --recipe FILE runs\n"
    "a saved recipe; --from, --to, options, --script, --map and --filter given beside it\n"
    "replace its parts (--map or --filter its whole script). When the source's fields\n"
    "differ from the recipe's, each change is shown and the destination is not opened\n"
    "(status 1); with --allow-drift the changes are warnings and the run goes on.\n"
    "Exit status: 0 done, 1 an error was reported, a value could not be carried or the\n"
    "script did not compile (nothing kept), 2 usage error, 3 written with values\n"
    "changed (--lossy) or records rejected (--rejects), 130 stopped by Ctrl-C.\n";

namespace {

struct Settings {
  std::optional<std::string_view> from, to, dir;
  std::optional<std::string_view> fromOptions, fromOptionsFile, toOptions, toOptionsFile;
  std::optional<std::string_view> script, filter;
  std::optional<std::string_view> rejects, fromRejects, head;
  bool dryRun = false;
  std::vector<std::string_view> maps;
  bool quiet = false;
  bool keepPartial = false;
  bool lossy = false;
  std::optional<std::string_view> recipe, saveRecipe;
  bool allowDrift = false;
  std::string recipeFrom, recipeTo;  // UTF-8, what --from and --to fall back to
  std::optional<std::string> recipeScript;
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
      {"--rejects", &Settings::rejects},
      {"--from-rejects", &Settings::fromRejects},
      {"--head", &Settings::head},
      {"--recipe", &Settings::recipe},
      {"--save-recipe", &Settings::saveRecipe},
  };
  static constexpr std::pair<const char*, bool Settings::*> kFlags[] = {
      {"--quiet", &Settings::quiet},       {"--lossy", &Settings::lossy},
      {"--keep-partial", &Settings::keepPartial}, {"--dry-run", &Settings::dryRun},
      {"--allow-drift", &Settings::allowDrift},
  };
  while (!reader.Done()) {
    if (reader.Flag("--help") || reader.Flag("-h")) {
      help = true;
      return {};
    }
    if (const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags),
                                       [&reader](const auto& f) { return reader.Flag(f.first); });
        flag != std::end(kFlags)) {
      s.*(flag->second) = true;
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
  if (s.head && !s.dryRun) return "--head goes with --dry-run";
  if (s.head && (s.head->empty() || s.head->size() > 9 || s.head->find_first_not_of("0123456789") != std::string_view::npos))
    return "--head takes a number of records";
  if (s.lossy && s.rejects) return "--lossy and --rejects exclude each other";
  return {};
}

// A UTF-8 file's text in the process code page.
std::string ReadTextFile(std::string_view path) {
  // Named by its UTF-8: on Windows a narrow name would be taken in the ANSI code page.
  std::ifstream in(FilePath(path), std::ios::binary);
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

// The names of the port's fields, in order.
std::vector<std::string> FieldNames(ITransEngine& engine) {
  std::vector<std::string> names;
  IntfPtr<ITransPort> port = engine.GetPort();
  const int32_t count = port ? port->GetFieldCount() : 0;
  for (int32_t i = 0; i < count; ++i) names.push_back(FieldName(engine, i));
  return names;
}

// The current record's values of the source, as text.
std::vector<std::string> RecordValues(ITransEngine& source) {
  std::vector<std::string> values;
  IntfPtr<ITransPort> port = source.GetPort();
  const int32_t count = port ? port->GetFieldCount() : 0;
  for (int32_t i = 0; i < count; ++i) {
    IntfPtr<ITransField> field = port->GetField(i);
    IntfPtr<IFieldReader> reader = field ? field.Query<IFieldReader>() : nullptr;
    values.push_back(reader ? reader->GetAsString() : std::string());
  }
  return values;
}

// The first records of a run as the destination's file would hold them: the same run
// into a file of data type 0 in a folder of its own, read back and removed. Only for a
// destination whose options name its file; empty otherwise.
std::optional<std::string> PreviewFile(const Settings& s, const OsPath& folder, const std::optional<std::string>& fromOptions,
                                       const std::string& toOptions, const std::string& script, int64_t records,
                                       const std::function<bool(int32_t)>& selector) {
  const std::string fileKey = Ansi("文件名") + "=";
  if (toOptions.find(fileKey) == std::string::npos) return std::nullopt;
  const std::optional<std::string> scratch = MakeTempFolder("ryn-preview-");
  if (!scratch) return std::nullopt;
  const std::string file = *scratch + "/preview.ryn";
  std::ostringstream ignored;
  auto quiet = MakeIntf<TConsoleEvents>(ignored, ProgressStyle::kNone);
  std::optional<std::string> text;
  try {
    IntfPtr<ITransEngine> source = OpenEngine(*s.from, kDirectionSource, folder, quiet.get(), fromOptions);
    IntfPtr<ITransEngine> dest = OpenEngine(*s.to, kDirectionDestination, folder, quiet.get(),
                                            toOptions + ";\r\n" + fileKey + FromUtf8(file) + ";\r\n" +
                                                Ansi("数据类型") + "=0;");
    {
      TTransFrame frame;
      frame.SetEvents(quiet.get());
      frame.SetImportEngine(source.get(), true);
      frame.SetExportEngine(dest.get(), true);
      IntfPtr<ITransScriptHost> host = frame.GetScriptHost();
      auto* named = host ? dynamic_cast<TNamedHost*>(ImplementorOf(host.get())) : nullptr;
      if (named) {
        named->SetScript(script);
        TRunPolicy policy;
        policy.writeLimit = records;
        policy.rejectProblems = s.rejects.has_value();
        named->SetRunPolicy(policy);
        named->SetRecordSelector(selector);
        frame.Execute();
        frame.KeepOutput(true);
      }
    }
    std::ifstream in(FilePath(file), std::ios::binary);
    if (in) text = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  } catch (const Failure&) {
  } catch (const ERynError&) {
  }
  RemoveFile(file);
  RemoveFolder(*scratch);
  return text;
}

}  // namespace

int RunTransfer(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  Settings s;
  bool help = false;
  if (std::string problem = Parse(args, s, help); !problem.empty()) return Usage(err, problem);
  if (help) return out << kTransferUsage, 0;

  const ProgressStyle style = s.quiet ? ProgressStyle::kNone
                              : StderrIsTerminal() ? ProgressStyle::kBar
                                                        : ProgressStyle::kLines;
  auto events = MakeIntf<TConsoleEvents>(err, style);
  events->AcceptLossyValues(s.lossy);
  IntfPtr<ITransScriptHost> host;
  TNamedHost* named = nullptr;
  bool started = false;
  bool kept = false;
  bool attributes = false;
  std::unique_ptr<TRejectsFile> rejects;
  int shown = 0;  // problems shown so far; the handler counts them for the whole run
  const std::string rejectsPart = s.rejects ? std::string(*s.rejects) + ".part" : std::string();
  std::set<int32_t> selected;
  std::function<bool(int32_t)> selector;
  std::optional<std::string> fromOptions, toOptions;
  std::string script;
  try {
    const std::optional<TRecipe> recipe = TakeRecipe(s);
    fromOptions = OptionsText(s.fromOptions, s.fromOptionsFile);
    toOptions = OptionsText(s.toOptions, s.toOptionsFile);
    if (recipe && !fromOptions) fromOptions = recipe->fromOptions;
    if (recipe && !toOptions) toOptions = recipe->toOptions;
    if (s.fromRejects) {
      try {
        selected = ReadRejectedRecords(std::string(*s.fromRejects));
      } catch (const std::runtime_error& e) {
        throw Failure{e.what(), 1};
      }
      selector = [&selected](int32_t record) { return selected.count(record) != 0; };
    }
    const OsPath folder = EngineFolder(s.dir);
    RegisterLibraryEngines(folder);
    IntfPtr<ITransEngine> source = OpenEngine(*s.from, kDirectionSource, folder, events.get(), fromOptions);
    if (recipe && !CheckRecipeDrift(*recipe, *source, s.allowDrift, *events))
      throw Failure{"the source's fields are not those of recipe " + std::string(*s.recipe) +
                        "; the destination was not opened (--allow-drift runs it anyway)", 1};
    IntfPtr<ITransEngine> dest = OpenEngine(*s.to, kDirectionDestination, folder, events.get(), toOptions);
    // A source that tells which record and field each value it could not read exactly
    // belongs to: those values are counted per record here, and its own totals at the
    // end of the reading decide nothing.
    {
      IntfPtr<ITransPort> port = source->GetPort();
      attributes = port && QueryIntf<IRecordProblems>(port.get()) != nullptr;
    }
    if (attributes) events->AcceptLossyValues(true);
    // Ctrl-C from here on asks the transfer to stop; the frame closes both engines when
    // it goes, whatever happened before.
    TConsoleEvents::InterruptScope interrupts;
    TTransFrame frame;
    frame.SetEvents(FrameEvents(s, events.get(), fromOptions, toOptions, source.get(), host).get());
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(dest.get(), true);
    host = frame.GetScriptHost();
    named = host ? dynamic_cast<TNamedHost*>(ImplementorOf(host.get())) : nullptr;
    if (host) {
      script = ScriptText(s, *host, *source, *dest, *events);
      host->SetScript(script);
    }
    if (named) {
      TRunPolicy policy;
      policy.checkOnly = s.dryRun;
      policy.rejectProblems = s.rejects.has_value();
      named->SetRunPolicy(policy);
      named->SetRecordSelector(selector);
      if (s.rejects && !s.dryRun) {
        try {
          rejects = std::make_unique<TRejectsFile>(rejectsPart, FieldNames(*source));
        } catch (const std::runtime_error& e) {
          throw Failure{e.what(), 1};
        }
      }
      // Each problem is shown (the first ones) and, with a reject file, goes there with
      // the record's values while the source is still on it.
      const int32_t severity = s.lossy || s.rejects ? kSeverityWarning : kSeverityError;
      named->SetProblemHandler([&, severity](const TValueProblem& p) {
        const std::string destName = FieldName(*dest, p.destField);
        const std::string& mapping = named->MappingText(p.mapping);
        if (rejects) rejects->Add(p, destName, mapping, RecordValues(*source));
        constexpr int kShown = 10;
        if (shown < kShown) events->OnMessage(severity, ProblemText(p, destName, mapping));
        else if (shown == kShown) events->OnMessage(severity, Ansi("更多的问题不再逐个列出，见最后的汇总"));
        ++shown;
      });
    }
    started = true;
    frame.Execute();
    if (named) {
      // The handler refers to this block's engines: nothing may call it from here on.
      named->SetProblemHandler(nullptr);
      script = named->GetScript();
    }
    // The destination keeps its output only after a clean run: a run that reported an
    // error or was stopped leaves the file as it was, unless the user asked for the part.
    // A dry run keeps nothing.
    kept = !s.dryRun && (s.keepPartial || (!events->ErrorSeen() && !events->Stopped() && !frame.ErrorReported()));
    frame.KeepOutput(kept);
    if (s.dryRun && named) PrintColumnReport(out, named->Counts(), FieldNames(*dest));
  } catch (const Failure& f) {
    err << "ryn transfer: " << f.message << "\n";
    if (rejects) RemoveFile(rejectsPart);
    return f.status;
  } catch (const ERynError& e) {
    // The frame has closed the engines by now; what stopped the command is an error.
    events->OnMessage(kSeverityError, e.Message());
    if (!started) {
      if (rejects) RemoveFile(rejectsPart);
      return 1;
    }
  }
  const bool failed = events->ErrorSeen() || events->Stopped();
  if (rejects) {
    // The reject file belongs to the output: it replaces an earlier one only when the
    // output is kept.
    try {
      rejects->Close();
      if (kept) {
        if (!ReplaceWith(rejectsPart, *s.rejects))
          throw std::runtime_error("cannot write the reject file " + std::string(*s.rejects));
      } else {
        RemoveFile(rejectsPart);
      }
    } catch (const std::runtime_error& e) {
      RemoveFile(rejectsPart);
      err << "ryn transfer: " << e.what() << "\n";
      return 1;
    }
  }
  const TRunCounts counts = named ? named->Counts() : TRunCounts{};
  if (named) {
    out << SummaryLine(counts);
    if (s.dryRun) out << "; dry run: nothing was written";
    else if (failed) out << (kept ? "; the partial output was kept" : "; nothing was kept: the destination is as it was");
    out << "\n";
  }
  if (s.dryRun && named && !events->Stopped()) {
    const int64_t head = s.head ? std::stoll(std::string(*s.head)) : 5;
    if (head > 0) {
      std::optional<std::string> preview =
          PreviewFile(s, EngineFolder(s.dir), fromOptions, toOptions.value_or(std::string()), script, head, selector);
      if (preview) out << "the first " << head << " records as the file would hold them:\n" << ToUtf8(*preview) << "\n";
      else out << "no preview: the destination's options name no file\n";
    }
  }
  if (events->Stopped()) {
    err << "ryn transfer: stopped by the user\n";
    return 130;
  }
  if (events->ErrorSeen()) return 1;
  const bool changed = counts.rejected > 0 || counts.Changed() > 0 || (!attributes && events->ValuesLost());
  return changed ? 3 : 0;
}

}  // namespace ryn::tool
