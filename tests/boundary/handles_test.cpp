// Handles as a careless or hostile host uses them: kept after their end, ended twice,
// ended on one thread while another still writes through them, by the ten thousand.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "boundary/host_support.h"
#include "rynfiler.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::ExportOptions;
using testing::NewEngine;
using testing::TempDir;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  lines.push_back(text.substr(start));
  return lines;
}

const auto setText = reinterpret_cast<RynSetText>(FieldGetProc(RYN_DESTINATION, RYN_FT_STRING));

TEST(HandlesTest, AnEndedHandleNeverReachesALaterEngine) {
  TempDir dir;
  RynHandle old = NewEngine();
  EngineFina(old);
  // Engines made afterwards (possibly at the very same address) get other handles.
  std::vector<RynHandle> later;
  for (int i = 0; i < 50; ++i) {
    later.push_back(NewEngine());
    EXPECT_NE(later.back(), old);
  }
  RynHandle live = later.back();
  ASSERT_EQ(EngineSetOptions(live, ExportOptions(dir.Path("live.ryn")).c_str()), 0);
  EXPECT_EQ(EngineSetOptions(old, ExportOptions(dir.Path("stale.ryn")).c_str()), RYN_E_HANDLE);
  EngineFina(old);  // a second end must not close the live engine
  EXPECT_EQ(EngineEstablished(live), 1);
  Append(live);
  setText(live, 0, "x", 1);
  Post(live);
  for (RynHandle h : later) EngineFina(h);
  EXPECT_EQ(TempDir::Read(dir.Path("live.ryn")), "@\r\nA\tB\r\n0001\t2023\tY\t12\tx\t\r\n@@");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("stale.ryn")));
}

TEST(HandlesTest, TenThousandLiveHandlesEachFindTheirOwnEngine) {
  TempDir dir;
  constexpr int kCount = 10000;
  std::vector<RynHandle> handles;
  std::set<RynHandle> distinct;
  for (int i = 0; i < kCount; ++i) {
    handles.push_back(NewEngine());
    distinct.insert(handles.back());
  }
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kCount));
  // Some get a file of its own; every other one is ended.
  constexpr int kFileEvery = 25;
  for (int i = 0; i < kCount; i += kFileEvery)
    ASSERT_EQ(EngineSetOptions(handles[i], ExportOptions(dir.Path(std::to_string(i) + ".ryn")).c_str()), 0);
  for (int i = 1; i < kCount; i += 2) EngineFina(handles[i]);
  for (int i = 0; i < kCount; ++i) {
    const bool ended = i % 2 == 1;
    EXPECT_EQ(EngineEstablished(handles[i]), ended ? RYN_E_HANDLE : (i % kFileEvery == 0 ? 1 : 0)) << i;
  }
  for (int i = 0; i < kCount; i += 2 * kFileEvery) {
    Append(handles[i]);
    std::string value = std::to_string(i);
    setText(handles[i], 1, value.data(), static_cast<int32_t>(value.size()));
    Post(handles[i]);
  }
  for (int i = 0; i < kCount; i += 2) EngineFina(handles[i]);
  for (int i = 0; i < kCount; i += kFileEvery) {
    std::string expected = i % 2 == 0 ? "@\r\nA\tB\r\n0001\t2023\tY\t12\t\t" + std::to_string(i) + "\r\n@@" : "@@";
    ASSERT_EQ(TempDir::Read(dir.Path(std::to_string(i) + ".ryn")), expected) << i;
  }
}

// A host that ends a handle on one thread while another is inside calls on it: the calls
// in flight complete, later ones answer their failure values, and the file is finished
// once, after the last record that got in.
TEST(HandlesTest, EndingAHandleWhileAnotherThreadWritesThroughIt) {
  TempDir dir;
  for (int round = 0; round < 40; ++round) {
    std::string path = dir.Path("race" + std::to_string(round) + ".ryn");
    RynHandle h = NewEngine();
    ASSERT_EQ(EngineSetOptions(h, ExportOptions(path).c_str()), 0);
    std::atomic<int> posted{0};
    std::thread writer([&] {
      for (int i = 0; i < 2000; ++i) {
        Append(h);
        setText(h, 0, "v", 1);
        setText(h, 1, "w", 1);
        Post(h);
        posted.fetch_add(1, std::memory_order_relaxed);
      }
    });
    while (posted.load(std::memory_order_relaxed) < 1 + round * 10) std::this_thread::yield();
    EngineFina(h);
    writer.join();
    EXPECT_EQ(EngineEstablished(h), RYN_E_HANDLE);
    // Every line whole: the section's headings, complete records, the end marker last.
    std::vector<std::string> lines = SplitLines(TempDir::Read(path));
    ASSERT_GE(lines.size(), 3u) << round;
    EXPECT_EQ(lines[0], "@");
    EXPECT_EQ(lines[1], "A\tB");
    EXPECT_EQ(lines.back(), "@@");
    for (size_t i = 2; i + 1 < lines.size(); ++i) ASSERT_EQ(lines[i], "0001\t2023\tY\t12\tv\tw") << round << " " << i;
  }
}

// A callback that ends its own handle from inside the engine's message: the running call
// finishes first, then the engine closes.
TEST(HandlesTest, AHandleEndedFromInsideItsOwnCallback) {
  struct Host {
    RynHandle h = 0;
    int messages = 0;
    static void RYN_CALL OnMessage(intptr_t user, int32_t, const char*) {
      auto* host = reinterpret_cast<Host*>(user);
      ++host->messages;
      EngineFina(host->h);
    }
  } host;
  host.h = NewEngine();
  EngineSetEvent(host.h, reinterpret_cast<intptr_t>(&host), RYN_EVENT_MESSAGE, reinterpret_cast<void*>(&Host::OnMessage));
  Append(host.h);  // no file: message 4134, and the callback ends the handle
  EXPECT_EQ(host.messages, 1);
  EXPECT_EQ(EngineEstablished(host.h), RYN_E_HANDLE);
  Append(host.h);
  EXPECT_EQ(host.messages, 1);
}

// Columns changed between records: the next values land by the new column list.
TEST(HandlesTest, ColumnsChangedBetweenRecordsTakeTheNextValues) {
  TempDir dir;
  std::string path = dir.Path("cols.ryn");
  RynHandle h = NewEngine();
  ASSERT_EQ(EngineSetOptions(h, ExportOptions(path, 0).c_str()), 0);
  auto record = [&](std::vector<std::string> values) {
    Append(h);
    for (size_t i = 0; i < values.size(); ++i)
      setText(h, static_cast<int32_t>(i), values[i].data(), static_cast<int32_t>(values[i].size()));
    Post(h);
  };
  record({"a1", "b1"});
  ASSERT_EQ(EngineSetOptions(h, (Ansi("选择列") + "={A=\r\nC=c}").c_str()), 0);  // A goes, C comes after B
  EXPECT_EQ(FieldGetCount(h), 2);
  record({"b2", "c2", "beyond"});
  EngineFina(h);
  EXPECT_EQ(TempDir::Read(path), "A\tB\r\n0001\t2023\tY\t12\ta1\tb1\r\n0001\t2023\tY\t12\tb2\tc2\r\n@@");
}

TEST(HandlesTest, SetOptionsAnswersAWriteFailureWithItsOwnCode) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "needs /dev/full";
  testing::HostLog log;
  RynHandle h = NewEngine();
  EngineSetEvent(h, reinterpret_cast<intptr_t>(&log), RYN_EVENT_MESSAGE, reinterpret_cast<void*>(&testing::HostLog::Message));
  ASSERT_EQ(EngineSetOptions(h, ExportOptions("/dev/full").c_str()), 0);
  Append(h);
  Post(h);  // buffered
  EXPECT_EQ(EngineSetOptions(h, (Ansi("数据类型") + "=0").c_str()), RYN_E_WRITE);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0].first, 4135);
  EXPECT_EQ(EngineEstablished(h), 1) << "the handle is fine; only the records were lost";
  EngineSetEvent(h, 0, RYN_EVENT_MESSAGE, nullptr);
  EngineFina(h);
}

}  // namespace
}  // namespace ryn
