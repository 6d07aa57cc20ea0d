#include "console_events.h"

#include <csignal>
#include <cstdio>
#include <ostream>

#include "console_system.h"
#include "platform/codepage.h"

namespace ryn::tool {
namespace {

volatile std::sig_atomic_t gStopRequested = 0;

// The system's words for the severities; plain messages count as information.
const char* SeverityWord(int32_t kind) {
  switch (SeverityOf(kind)) {
    case kSeverityWarning: return "警告";
    case kSeverityError: return "错误";
    default: return "提示";
  }
}

// UTF-8 with the system's CR LF line breaks as plain line feeds.
std::string ConsoleText(std::string_view text) {
  std::string s = ToUtf8(text);
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
  return out;
}

// How often the clock is read: once per so many records.
constexpr int32_t kClockEvery = 256;
constexpr auto kBarInterval = std::chrono::milliseconds(100);
constexpr auto kLineInterval = std::chrono::seconds(1);

}  // namespace

TConsoleEvents::InterruptScope::InterruptScope() {
  gStopRequested = 0;
  CatchInterrupt(&gStopRequested);
}

TConsoleEvents::InterruptScope::~InterruptScope() { StopCatchingInterrupt(); }

void TConsoleEvents::ClearBar() {
  if (!barShown_) return;
  err_ << "\r\033[K";
  barShown_ = false;
}

void TConsoleEvents::OnMessage(int32_t kind, std::string_view text) {
  const bool loss = IsValueLossKind(kind);
  if (loss) valuesLost_ = true;
  if (SeverityOf(kind) == kSeverityError && !(loss && lossy_)) errorSeen_ = true;
  ClearBar();
  err_ << SeverityWord(kind) << ": " << ConsoleText(text) << '\n';
  err_.flush();
}

void TConsoleEvents::OnStatus(std::string_view caption, std::string_view text) {
  ClearBar();
  err_ << SeverityWord(kSeverityInfo) << ": " << ConsoleText(caption) << ' ' << ConsoleText(text) << '\n';
}

void TConsoleEvents::OnProgress(uint8_t kind, int32_t value, bool& cont) {
  if (gStopRequested) {
    stopped_ = true;
    cont = false;
  }
  switch (kind) {
    case kProgressStart:
      total_ = value;
      done_ = 0;
      start_ = lastShown_ = Clock::now();
      return;
    case kProgressStep:
      done_ = value;
      if (style_ == ProgressStyle::kNone || value % kClockEvery != 0) return;
      Show(value);
      return;
    default:
      // The summary of the command follows; a bar makes room for it.
      ClearBar();
      return;
  }
}

void TConsoleEvents::Show(int32_t done) {
  const Clock::time_point now = Clock::now();
  if (now - lastShown_ < (style_ == ProgressStyle::kBar ? kBarInterval : kLineInterval)) return;
  lastShown_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const long long rate = seconds > 0 ? static_cast<long long>(done / seconds) : 0;
  char line[160];
  if (total_ > 0) {
    const int percent = static_cast<int>(100.0 * done / total_);
    if (style_ == ProgressStyle::kBar) {
      constexpr int kWidth = 30;
      const int filled = percent * kWidth / 100;
      std::snprintf(line, sizeof line, "\r[%.*s%*s] %3d%%  %d / %d records  %lld records/s\033[K", filled,
                    "##############################", kWidth - filled, "", percent, done, total_, rate);
    } else {
      std::snprintf(line, sizeof line, "%d / %d records (%d%%), %lld records/s\n", done, total_, percent, rate);
    }
  } else if (style_ == ProgressStyle::kBar) {
    std::snprintf(line, sizeof line, "\r%d records  %lld records/s\033[K", done, rate);
  } else {
    std::snprintf(line, sizeof line, "%d records, %lld records/s\n", done, rate);
  }
  err_ << line;
  err_.flush();
  barShown_ = style_ == ProgressStyle::kBar;
}

}  // namespace ryn::tool
