// Runs a piece of a test in a forked child, so that it may die by a signal or live under a
// file size limit without touching the test program. The child's answer is the text its
// function returns (or the message of what it threw), passed back through a pipe.
#pragma once

#include <exception>
#include <functional>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ryn::testing {

struct ChildResult {
  std::string answer;
  int status = -1;  // as waitpid gives it
};

#ifdef _WIN32
// Windows has no fork and no file size limit: a case that needs them is skipped there.
inline constexpr bool kHaveChildProcess = false;
inline ChildResult RunInChild(const std::function<std::string()>&, long = -1) { return {}; }
inline void LiftFileSizeLimit() {}
#else
inline constexpr bool kHaveChildProcess = true;

// fn runs in the child; with fileSizeLimit >= 0 every file the child writes is limited to
// that many bytes, and a write past the limit fails with EFBIG instead of killing it.
inline ChildResult RunInChild(const std::function<std::string()>& fn, long fileSizeLimit = -1) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid < 0) return {};
  if (pid == 0) {
    close(fds[0]);
    std::string answer;
    try {
      if (fileSizeLimit >= 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(fileSizeLimit);
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) answer = "setrlimit failed";
      }
      if (answer.empty()) answer = fn();
    } catch (const std::exception& e) {
      answer = std::string("exception: ") + e.what();
    } catch (...) {
      answer = "exception";
    }
    for (size_t done = 0; done < answer.size();) {
      ssize_t n = write(fds[1], answer.data() + done, answer.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  ChildResult result;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) result.answer.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  waitpid(pid, &result.status, 0);
  return result;
}

// Lifts a file size limit RunInChild set, as far as the hard limit allows: the disk that
// was full has room again.
inline void LiftFileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

}  // namespace ryn::testing
