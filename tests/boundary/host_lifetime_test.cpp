// The library inside a host process that loads it at run time: loading must never end the
// host, and leaving with engines open (exit, unload) finishes their files without calling
// the host back. Each case runs in a child process, which the test watches from outside.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

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

// A thread held inside a call on an engine by the engine's message callback until the
// process lets it go.
struct HeldCall {
  static inline std::atomic<bool> inside{false}, release{false};
  static inline pthread_t thread;
  static void RYN_CALL Hold(intptr_t, int32_t, const char*) {
    inside = true;
    while (!release) std::this_thread::yield();
  }
  // Runs after the library's own finalisers when registered before it is loaded.
  static void LetGoAndJoin() {
    release = true;
    pthread_join(thread, nullptr);
  }
};

// exit() while another thread is inside a call: the idle engine's file is finished, the
// busy engine is left alone, and the thread, let go after the library's finalisers ran,
// completes its call on memory that is still there.
TEST(HostLifetimeTest, ExitWhileAnotherThreadIsInsideACall) {
  TempDir dir;
  std::string idleFile = dir.Path("idle.ryn"), busyFile = dir.Path("busy.ryn");
  int status = InChild([&] {
    std::atexit(&HeldCall::LetGoAndJoin);
    Library lib;
    RynHandle idle = 0, busy = 0;
    if (int r = OpenWithOneRecord(lib, idleFile, &idle)) return r;
    if (int r = OpenWithOneRecord(lib, busyFile, &busy)) return r;
    lib.Get<decltype(&EngineSetEvent)>("EngineSetEvent")(busy, 0, RYN_EVENT_MESSAGE,
                                                            reinterpret_cast<void*>(&HeldCall::Hold));
    static auto setOptions = lib.Get<decltype(&EngineSetOptions)>("EngineSetOptions");
    static RynHandle held = busy;
    pthread_create(
        &HeldCall::thread, nullptr,
        [](void*) -> void* {
          setOptions(held, "Bogus=1");  // an unknown key: a message, held
          return nullptr;
        },
        nullptr);
    while (!HeldCall::inside) std::this_thread::yield();
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(TempDir::Read(idleFile), "@\r\nA\r\n\t\t\t\tv\r\n@@");
  const std::string busy = TempDir::Read(busyFile);
  EXPECT_FALSE(busy.size() >= 2 && busy.compare(busy.size() - 2, 2, "@@") == 0)
      << "the busy engine was closed under the thread inside it";
}

// A host callback that ends its thread (pthread_exit, or a cancellation acted on inside
// it) unwinds through the library: the process goes on, and the call counts as returned,
// so the engine can still be used and closed.
TEST(HostLifetimeTest, AThreadEndedInsideACallbackLeavesTheHandleUsable) {
  struct Case {
    const char* name;
    bool cancel;
  } cases[] = {{"pthread_exit", false}, {"pthread_cancel", true}};
  for (const Case& c : cases) {
    TempDir dir;
    std::string file = dir.Path("ended.ryn");
    int status = InChild([&] {
      Library lib;
      static RynHandle h = 0;
      if (int r = OpenWithOneRecord(lib, file, &h)) return r;
      static bool cancel = c.cancel;
      static std::atomic<bool> cancelled{false};
      static auto setOptions = lib.Get<decltype(&EngineSetOptions)>("EngineSetOptions");
      RynMessageProc end = [](intptr_t, int32_t, const char*) {
        if (cancel) pthread_testcancel();
        pthread_exit(nullptr);
      };
      auto setEvent = lib.Get<decltype(&EngineSetEvent)>("EngineSetEvent");
      setEvent(h, 0, RYN_EVENT_MESSAGE, reinterpret_cast<void*>(end));
      pthread_t thread;
      pthread_create(
          &thread, nullptr,
          [](void*) -> void* {
            while (cancel && !cancelled) std::this_thread::yield();
            setOptions(h, "Bogus=1");
            return reinterpret_cast<void*>(1);
          },
          nullptr);
      if (c.cancel) pthread_cancel(thread);
      cancelled = true;
      void* result = nullptr;
      pthread_join(thread, &result);
      if (result != (c.cancel ? PTHREAD_CANCELED : nullptr)) return 40;
      setEvent(h, 0, RYN_EVENT_MESSAGE, nullptr);
      lib.Get<decltype(&Append)>("Append")(h);
      auto setText = reinterpret_cast<RynSetText>(lib.Get<decltype(&FieldGetProc)>("FieldGetProc")(2, 65));
      setText(h, 0, "w", 1);
      lib.Get<decltype(&Post)>("Post")(h);
      lib.Get<decltype(&EngineFina)>("EngineFina")(h);  // returns: no call is left counted
      return TempDir::Read(file) == "@\r\nA\r\n\t\t\t\tv\r\n\t\t\t\tw\r\n@@" ? 0 : 41;
    });
    EXPECT_EQ(status, 0) << c.name << " (134: the process aborted)";
  }
}

// A handle ended before an unload names nothing after the library is loaded again, even
// though the new load issues handles in the same order.
TEST(HostLifetimeTest, AHandleKeptAcrossAnUnloadAndReloadIsRefused) {
  int status = InChild([&] {
    RynHandle old = 0;
    {
      Library lib;
      if (lib.Get<decltype(&EngineInit)>("EngineInit")(RYN_DESTINATION, &old) != RYN_OK) return 50;
      lib.Get<decltype(&EngineFina)>("EngineFina")(old);
      dlclose(lib.module);
    }
    // Two loads draw the same series once in 32,768 times: then load again.
    for (int attempt = 0; attempt < 4; ++attempt) {
      Library lib;
      RynHandle fresh = 0;
      if (lib.Get<decltype(&EngineInit)>("EngineInit")(RYN_DESTINATION, &fresh) != RYN_OK) return 51;
      auto established = lib.Get<decltype(&EngineEstablished)>("EngineEstablished");
      auto fina = lib.Get<decltype(&EngineFina)>("EngineFina");
      if (fresh != old) {
        if (established(old) != RYN_E_HANDLE) return 52;
        fina(old);
        if (established(fresh) != 0) return 53;  // the new engine was not closed by it
        fina(fresh);
        return 0;
      }
      fina(fresh);
      dlclose(lib.module);
    }
    return 54;  // every load issued the old handle again
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace ryn
