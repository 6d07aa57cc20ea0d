// What the command-line host asks of the system, one side per system
// (console_system_posix.cpp, console_system_win.cpp): its arguments as UTF-8, its own
// executable, whether stderr is a terminal, Ctrl-C, and a private temporary folder.
#pragma once

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace ryn::tool {

// The command line, each argument in UTF-8 (Windows hands it over in the ANSI code page
// through argv, so it is taken from the wide command line there). Standard output and error
// are made to pass bytes as written: no line break is widened to CR LF.
std::vector<std::string> CommandLine(int argc, char** argv);

// The executable's own file, as the system knows it (a link or a relative argv[0] would not
// lead to the folder beside it); empty when unknown.
OsPath ExecutablePath();

bool StderrIsTerminal();

// From here on Ctrl-C sets *flag instead of ending the process; a second Ctrl-C ends it as
// usual. StopCatchingInterrupt gives Ctrl-C back to what handled it before.
void CatchInterrupt(volatile std::sig_atomic_t* flag);
void StopCatchingInterrupt();

// A new empty folder in the system's temporary folder, its name starting with prefix; its
// path (file system encoding) with no trailing separator, or nothing when none could be made.
std::optional<std::string> MakeTempFolder(const std::string& prefix);
// Removes an empty folder.
void RemoveFolder(const std::string& path);

}  // namespace ryn::tool
