// The library inside a host process that loads it at run time: loading must never end the
// host, and leaving with engines open (exit, unload) finishes their files without calling
// the host back. Each case runs in a child process, which the test watches from outside.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/codepage.h"
#include "rynfiler.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::TempDir;

// The exit status of body run in a child process; 128 + signal when a signal ended it.
int InChild(const std::function<int()>& body) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int status = 99;
    try {
      status = body();
    } catch (...) {
      status = 98;
    }
    std::exit(status);  // static destructors and library finalisers run, as on a host's exit
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Library {
  void* module = dlopen(RYNFILER_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  template <class Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(module, name));
  }
};

// A callback that must not be reached: its owner is gone.
void RYN_CALL CallbackOfAGoneHost(intptr_t, int32_t, const char*) { _exit(42); }

// Opens an engine into file with one record posted and a callback registered; 0 on success.
int OpenWithOneRecord(const Library& lib, const std::string& file, RynHandle* h) {
  if (lib.Get<decltype(&EngineInit)>("EngineInit")(RYN_DESTINATION, h) != RYN_OK) return 10;
  lib.Get<decltype(&EngineSetEvent)>("EngineSetEvent")(*h, 0, RYN_EVENT_MESSAGE,
                                                          reinterpret_cast<void*>(&CallbackOfAGoneHost));
  std::string options = Ansi("文件名") + "=" + file + ";" + Ansi("数据类型") + "=1;" + Ansi("选择列") + "={A=a}";
  if (lib.Get<decltype(&EngineSetOptions)>("EngineSetOptions")(*h, options.c_str()) != 0) return 11;
  lib.Get<decltype(&Append)>("Append")(*h);
  auto setText = reinterpret_cast<RynSetText>(lib.Get<decltype(&FieldGetProc)>("FieldGetProc")(2, 65));
  setText(*h, 0, "v", 1);
  lib.Get<decltype(&Post)>("Post")(*h);
  return 0;
}

TEST(HostLifetimeTest, AnUnusableCodePageRefusesEnginesButNeverEndsTheHost) {
  struct Case {
    const char* codePage;
    int32_t init;
  } cases[] = {{"NO-SUCH-ENCODING", RYN_E_NOTHING}, {"LATIN1", RYN_E_NOTHING}, {"UTF-8", RYN_OK}, {"GBK", RYN_OK}};
  for (const auto& c : cases) {
    int status = InChild([&] {
      setenv("RYNFILER_CODEPAGE", c.codePage, 1);
      Library lib;
      if (!lib.module) return 20;
      RynHandle h = 0;
      int32_t r = lib.Get<decltype(&EngineInit)>("EngineInit")(RYN_DESTINATION, &h);
      int32_t len = 0;
      lib.Get<decltype(&EngineGetName)>("EngineGetName")(nullptr, &len);
      if (len <= 0) return 21;
      return r == c.init ? 0 : 22;
    });
    EXPECT_EQ(status, 0) << c.codePage;
  }
}

TEST(HostLifetimeTest, ExitWithAnEngineOpenFinishesTheFileQuietly) {
  TempDir dir;
  std::string file = dir.Path("exit.ryn");
  int status = InChild([&] {
    Library lib;
    RynHandle h = 0;
    return OpenWithOneRecord(lib, file, &h);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(TempDir::Read(file), "@\r\nA\r\n\t\t\t\tv\r\n@@");
}

TEST(HostLifetimeTest, UnloadWithAnEngineOpenFinishesTheFileQuietly) {
  TempDir dir;
  std::string file = dir.Path("unload.ryn");
  std::string read;
  int status = InChild([&] {
    Library lib;
    RynHandle h = 0;
    if (int r = OpenWithOneRecord(lib, file, &h)) return r;
    dlclose(lib.module);
    return TempDir::Read(file) == "@\r\nA\r\n\t\t\t\tv\r\n@@" ? 0 : 30;
  });
  EXPECT_EQ(status, 0);
}

// The end of a file that cannot be written at exit would be message 4135: nobody hears it.
TEST(HostLifetimeTest, AFailedFinishAtExitCallsNobodyBack) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "needs /dev/full";
  int status = InChild([&] {
    Library lib;
    RynHandle h = 0;
    return OpenWithOneRecord(lib, "/dev/full", &h);
  });
  EXPECT_EQ(status, 0) << "42: the callback of a gone host was called";
}

}  // namespace
}  // namespace ryn
