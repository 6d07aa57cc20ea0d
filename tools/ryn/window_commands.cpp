#include "window_commands.h"

#include <optional>
#include <ostream>
#include <string>

#include "config_window.h"
#include "engine_dir_choice.h"
#include "engine_open.h"
#include "libengineport/lib_factory.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "tool_args.h"
#include "transfer/trans_frame.h"
#include "transport/registries.h"
#include "ui/application.h"
#include "ui/backend_loader.h"

namespace ryn::tool {

const char* const kWizardUsage =
    "Usage: ryn wizard [--from NAME [--from-options TEXT]] [--to NAME [--to-options TEXT]] [--dir DIR]\n"
    "\n"
    "Opens the transfer wizard on the engines of the engine folder (see \"ryn engines\n"
    "--help\"), the engines named by --from and --to chosen already and given their\n"
    "options text, if any; finishing the wizard runs the transfer in the progress log\n"
    "window, which shows the summary of the run at its end (also printed on stdout:\n"
    "the counts, then the warnings, errors and time) and stays until it is closed, and\n"
    "lists the values that could not be carried exactly. 取消, Escape or the close box\n"
    "stop a run that goes on. Needs an X11 display (DISPLAY). Texts are UTF-8.\n"
    "As \"ryn transfer\" without --lossy, a run that reports an error or changes a value\n"
    "(a failed mapping, a character the code page lacks, bytes that are no character)\n"
    "has failed, and a failed or stopped run keeps nothing: the destination's file is\n"
    "left as it was. The wizard has no lossy mode, so status 3 never comes from it.\n"
    "Exit status: 0 done, 1 the wizard was closed without finishing or the transfer\n"
    "failed (nothing kept), 2 usage error, 130 stopped with 取消 in the progress log\n"
    "window (nothing kept).\n";

const char* const kConfigUsage =
    "Usage: ryn config NAME [--options TEXT] [--dir DIR]\n"
    "\n"
    "Opens the configuration wizard of the engine NAME of the engine folder in a window,\n"
    "starting from the options TEXT if given, and prints the options text the engine\n"
    "holds when the wizard is finished with OK: give it to \"ryn transfer\" with\n"
    "--from-options or --to-options. Needs an X11 display (DISPLAY). Texts are UTF-8.\n"
    "Exit status: 0 done, 1 cancelled or failed, 2 usage error.\n";

namespace {

struct Settings {
  std::optional<std::string_view> name, from, to, fromOptions, toOptions, options, dir;
};

// The usage problem, or empty. Options are those of the table; a bare argument is NAME
// when withName.
std::string Parse(std::span<const std::string_view> args, Settings& s, bool withName, bool& help) {
  ArgReader reader(args);
  using Named = ArgReader::Named<Settings>;
  const Named wizardOptions[] = {{"--from", &Settings::from}, {"--to", &Settings::to},
                                 {"--from-options", &Settings::fromOptions}, {"--to-options", &Settings::toOptions},
                                 {"--dir", &Settings::dir}};
  const Named configOptions[] = {{"--options", &Settings::options}, {"--dir", &Settings::dir}};
  const std::span<const Named> named = withName ? std::span<const Named>(configOptions) : std::span<const Named>(wizardOptions);
  while (!reader.Done()) {
    if (reader.Flag("--help") || reader.Flag("-h")) {
      help = true;
      return {};
    }
    std::string error;
    if (reader.TakeNamed(named, s, error)) continue;
    if (!error.empty()) return error;
    if (withName && !s.name && !reader.Current().starts_with("--")) {
      s.name = reader.Current();
      reader.Skip();
      continue;
    }
    return "unexpected argument " + std::string(reader.Current());
  }
  if (withName && !s.name) return "missing engine NAME";
  if (s.fromOptions && !s.from) return "--from-options needs --from";
  if (s.toOptions && !s.to) return "--to-options needs --to";
  return {};
}

// An options text given on the command line (UTF-8) in the process code page.
std::optional<std::string> OptionsText(const std::optional<std::string_view>& utf8) {
  if (!utf8) return std::nullopt;
  return FromUtf8(*utf8);
}

// Without a display nobody could answer the windows; a driver installed in-process can.
void NeedWindows() {
  ui::Application& app = ui::Application::Instance();
  if (!app.GetBackend() && !app.HasModalDriver())
    throw Failure{"no windows can be shown: set DISPLAY to an X11 display (RYNFILER_UI=" + ui::BackendName() + ")"};
}

template <class Body>
int Guarded(const char* command, std::ostream& err, Body body) {
  try {
    return body();
  } catch (const Failure& f) {
    err << "ryn " << command << ": " << f.message << "\n";
  } catch (const ERynError& e) {
    err << "ryn " << command << ": " << ToUtf8(e.Message()) << "\n";
  }
  return 1;
}

}  // namespace

int RunWizard(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  Settings s;
  bool help = false;
  if (std::string problem = Parse(args, s, false, help); !problem.empty()) {
    err << "ryn wizard: " << problem << "\n" << kWizardUsage;
    return 2;
  }
  if (help) return out << kWizardUsage, 0;
  return Guarded("wizard", err, [&] {
    NeedWindows();
    const OsPath folder = EngineFolder(s.dir);
    RegisterLibraryEngines(folder);
    TTransFrame frame;
    if (s.from)
      frame.SetImportEngine(OpenEngine(*s.from, kDirectionSource, folder, nullptr, OptionsText(s.fromOptions)).get(), true);
    if (s.to)
      frame.SetExportEngine(OpenEngine(*s.to, kDirectionDestination, folder, nullptr, OptionsText(s.toOptions)).get(), true);
    if (!frame.ShowWizard()) {
      err << "ryn wizard: cancelled\n";
      return 1;
    }
    frame.Execute();
    if (!frame.RunSummary().empty()) out << ToUtf8(frame.RunSummary()) << "\n";
    // The frame abandons what the destination took when it goes, unless the run was clean.
    if (frame.Cancelled()) {
      err << "ryn wizard: stopped by the user; nothing was kept: the destination is as it was\n";
      return 130;
    }
    if (frame.ErrorReported()) {
      err << "ryn wizard: the transfer failed; nothing was kept: the destination is as it was\n";
      return 1;
    }
    return 0;
  });
}

int RunConfig(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  Settings s;
  bool help = false;
  if (std::string problem = Parse(args, s, true, help); !problem.empty()) {
    err << "ryn config: " << problem << "\n" << kConfigUsage;
    return 2;
  }
  if (help) return out << kConfigUsage, 0;
  return Guarded("config", err, [&] {
    NeedWindows();
    const OsPath folder = EngineFolder(s.dir);
    RegisterLibraryEngines(folder);
    IntfPtr<ITransEngine> engine = OpenEngine(*s.name, 0, folder, nullptr, OptionsText(s.options));
    struct Closer {
      ITransEngine* engine;
      ~Closer() { engine->Fina(); }
    } closer{engine.get()};
    IntfPtr<IEngineConfig> config = engine->GetConfig();
    if (!config) throw Failure{"engine " + std::string(*s.name) + " has no configuration wizard"};
    bool done = false;
    {
      TConfigWindow window(config, engine->GetName());
      done = window.Execute();
    }
    if (!done) {
      err << "ryn config: cancelled\n";
      return 1;
    }
    out << ToUtf8(engine->GetOptions()) << "\n";
    return 0;
  });
}

}  // namespace ryn::tool
