// The command-line host on Windows: arguments from the wide command line (argv holds them
// in the ANSI code page, where a name outside it is lost), Ctrl-C through the console's
// control handler, which the system calls on a thread of its own.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "console_system.h"
#include "platform/codepage.h"
#include "platform/dynlib.h"
#include "platform/win_text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

namespace ryn::tool {
namespace {

volatile std::sig_atomic_t* gFlag = nullptr;

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The second time the process ends, as it would without this handler.
  if (!gFlag || *gFlag) return FALSE;
  *gFlag = 1;
  return TRUE;
}

}  // namespace

std::vector<std::string> CommandLine(int argc, char** argv) {
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // A console shows the UTF-8 we write as such.
  SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(WideToUtf8(wide[i]));
  LocalFree(wide);
  return args;
}

// The platform layer is linked into the program: its own module is the executable.
OsPath ExecutablePath() { return OwnModuleOsPath(); }

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void CatchInterrupt(volatile std::sig_atomic_t* flag) {
  gFlag = flag;
  SetConsoleCtrlHandler(&OnControl, TRUE);
}

void StopCatchingInterrupt() {
  SetConsoleCtrlHandler(&OnControl, FALSE);
  gFlag = nullptr;
}

std::optional<std::string> MakeTempFolder(const std::string& prefix) {
  wchar_t tmp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
  if (n == 0 || n > MAX_PATH) return std::nullopt;
  std::string base = WideToUtf8(std::wstring_view(tmp, n));
  // The folder goes into an engine's options as narrow text: where its name does not
  // survive the process code page, its short name (8.3, ASCII) stands in.
  wchar_t shortName[MAX_PATH + 1];
  DWORD m = 0;
  if (ToUtf8(FromUtf8(base)) != base && (m = GetShortPathNameW(tmp, shortName, MAX_PATH + 1)) > 0 && m <= MAX_PATH)
    base = WideToUtf8(std::wstring_view(shortName, m));
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string path = base + prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    if (CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

void RemoveFolder(const std::string& path) { RemoveDirectoryW(Utf8ToWide(path).c_str()); }

}  // namespace ryn::tool
