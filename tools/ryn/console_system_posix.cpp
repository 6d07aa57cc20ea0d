// The command-line host on POSIX systems: arguments are bytes already in the file system's
// encoding, SIGINT for Ctrl-C.
#include <unistd.h>

#include <cstdlib>

#include "console_system.h"

namespace ryn::tool {
namespace {

volatile std::sig_atomic_t* gFlag = nullptr;
struct sigaction gPrevious {};

extern "C" void OnInterrupt(int) {
  if (gFlag) *gFlag = 1;
}

}  // namespace

std::vector<std::string> CommandLine(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

OsPath ExecutablePath() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return OsPath{};
    if (static_cast<size_t>(n) < buf.size()) return OsPath{std::string(buf.data(), static_cast<size_t>(n))};
    buf.resize(buf.size() * 2);
  }
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

void CatchInterrupt(volatile std::sig_atomic_t* flag) {
  gFlag = flag;
  struct sigaction sa {};
  sa.sa_handler = &OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &sa, &gPrevious);
}

void StopCatchingInterrupt() { sigaction(SIGINT, &gPrevious, nullptr); }

std::optional<std::string> MakeTempFolder(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp && *tmp ? tmp : "/tmp") + std::string("/") + prefix + "XXXXXX";
  if (!::mkdtemp(base.data())) return std::nullopt;
  return base;
}

void RemoveFolder(const std::string& path) { ::rmdir(path.c_str()); }

}  // namespace ryn::tool
