// What the exchange file engine leaves on disk when it is stopped at any moment: a file of
// data type 0 replaces the previous one only once it is whole, and the named file is
// locked against other openers for the engine's whole life.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/stream.h"
#include "rynengine/rynexport.h"
#include "support/child_process.h"
#include "support/recording_events.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::RunInChild;
using testing::TempDir;

IntfPtr<TRynExport> NewEngine(int dataType, const std::string& file) {
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  e->SetUnitCode("0001");
  e->SetYear("2023");
  e->SetReportType("Y");
  e->SetPeriod("12");
  e->SetDataType(static_cast<uint8_t>(dataType));
  e->SetSelectedColumnsText("A=a\r\nB=b");
  e->SetFileName(file);
  return e;
}

void Record(TRynExport* e, const std::string& a, const std::string& b) {
  e->Append();
  e->WriterAt(0)->SetAsString(a);
  e->WriterAt(1)->SetAsString(b);
  e->Post();
}

bool OthersCanOpen(const std::string& path) {
  try {
    TFileStream other(path, FileMode::kOpenWrite, true);
    return true;
  } catch (const EFileOpenError&) {
    return false;
  }
}

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::string kOld = "A\tB\r\n0001\t2023\tY\t12\told\tfile\r\n@@";

TEST(RynExportReplaceTest, TheNamedFileIsLockedAndKeepsItsBytesUntilFina) {
  struct Case {
    int dataType;
    std::string duringLife;  // the named file while records are posted
    std::string finished;
  } cases[] = {
      {0, kOld, "A\tB\r\n0001\t2023\tY\t12\t1\t2\r\n0001\t2023\tY\t12\t3\t4\r\n@@"},
      {1, kOld, kOld + "\r\n@\r\nA\tB\r\n0001\t2023\tY\t12\t1\t2\r\n0001\t2023\tY\t12\t3\t4\r\n@@"},
      {2, kOld, kOld + "\r\n@@\r\nA\tB\r\n0001\t2023\tY\t12\t1\t2\r\n0001\t2023\tY\t12\t3\t4\r\n@@"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataType);
    TempDir dir;
    const std::string path = dir.Path("out.ryn");
    TempDir::Write(path, kOld);
    auto e = NewEngine(c.dataType, path);
    Record(e.get(), "1", "2");
    Record(e.get(), "3", "4");
    EXPECT_EQ(TempDir::Read(path), c.duringLife);
    EXPECT_FALSE(OthersCanOpen(path)) << "the named file is the engine's while it lives";
    e->Fina();
    EXPECT_EQ(TempDir::Read(path), c.finished);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"out.ryn"}) << "nothing is left beside it";
    EXPECT_TRUE(OthersCanOpen(path));
  }
}

TEST(RynExportReplaceTest, ANewNameFinishesTheOldFileAsItStands) {
  TempDir dir;
  TempDir::Write(dir.Path("a.ryn"), kOld);
  auto e = NewEngine(0, dir.Path("a.ryn"));
  Record(e.get(), "1", "2");
  e->SetFileName(dir.Path("b.ryn"));
  // Without end marker, as a file let go by a new name always was.
  EXPECT_EQ(TempDir::Read(dir.Path("a.ryn")), "A\tB\r\n0001\t2023\tY\t12\t1\t2");
  EXPECT_TRUE(OthersCanOpen(dir.Path("a.ryn")));
  EXPECT_FALSE(OthersCanOpen(dir.Path("b.ryn")));
  e->Fina();
  EXPECT_EQ(TempDir::Read(dir.Path("b.ryn")), "@@");
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"a.ryn", "b.ryn"}));
}

// Replacing the file keeps what the old one was in the file system: a link stays a link to
// the file that gets the new bytes, and the permissions stay.
TEST(RynExportReplaceTest, TheReplacedFileKeepsItsLinkAndPermissions) {
  TempDir dir;
  const std::string real = dir.Path("real.ryn");
  const std::string link = dir.Path("link.ryn");
  TempDir::Write(real, kOld);
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  std::filesystem::create_symlink(real, link);
  auto e = NewEngine(0, link);
  Record(e.get(), "1", "2");
  e->Fina();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(TempDir::Read(real), "A\tB\r\n0001\t2023\tY\t12\t1\t2\r\n@@");
  struct stat st {};
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"link.ryn", "real.ryn"}));
}

// A child process writes records without end until it is killed; the file it was
// replacing must be the previous file, byte for byte, and the next engine writes it anew.
TEST(RynExportReplaceTest, AProcessKilledWhileWritingLeavesThePreviousFileWhole) {
  struct Case {
    int dataType;
    bool wholeOldFileIsPrefix;  // sections are appended: the old bytes stay at the front
  } cases[] = {{0, false}, {1, true}, {2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataType);
    TempDir dir;
    const std::string path = dir.Path("killed.ryn");
    TempDir::Write(path, kOld);
    const std::string written = c.dataType == 0 ? path + ".~writing" : path;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto e = NewEngine(c.dataType, path);
      for (int i = 0;; ++i) Record(e.get(), std::to_string(i), "value");
    }
    // Killed once well past the first flushes of the write buffer.
    struct stat st {};
    for (int wait = 0; wait < 20000; ++wait) {
      if (stat(written.c_str(), &st) == 0 && st.st_size > 1 << 20) break;
      usleep(1000);
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GT(st.st_size, 1 << 20) << "the child did not write";

    const std::string after = TempDir::Read(path);
    if (c.wholeOldFileIsPrefix) {
      EXPECT_EQ(after.substr(0, kOld.size()), kOld);
      // The section's start was flushed long before the kill.
      const std::string marker = c.dataType == 1 ? "\r\n@\r\nA\tB\r\n" : "\r\n@@\r\nA\tB\r\n";
      EXPECT_EQ(after.substr(kOld.size(), marker.size()), marker);
    } else {
      EXPECT_EQ(after, kOld);
    }

    // The lock died with the process: the next engine writes the file anew.
    auto e = NewEngine(c.dataType, path);
    Record(e.get(), "5", "6");
    e->Fina();
    const std::string section = "A\tB\r\n0001\t2023\tY\t12\t5\t6\r\n@@";
    if (c.dataType == 0) EXPECT_EQ(TempDir::Read(path), section);
    else EXPECT_TRUE(TempDir::Read(path).ends_with(section));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"killed.ryn"});
  }
}

// The disk fills while the file is written (a file size limit in a child process). The
// sink hears of it once, the file takes nothing more, and the named file is what it was
// before: whether the failure comes at a record or only when the file is closed, and
// whether or not the disk has room again by the time the file is closed (a file that
// lost records in the middle must not pass for a whole one).
TEST(RynExportReplaceTest, AFullDiskLeavesTheNamedFileAsItWas) {
  struct Case {
    int dataType;
    int records;     // posted before the disk is looked at again, fewer if one fails
    bool roomAgain;  // the limit is lifted after the failure
    std::string answer;
  } cases[] = {
      {0, 100000, false, "failed at a record, 10 refused, closed; 4135"},
      {0, 100000, true, "failed at a record, 10 refused, closed; 4135"},
      {1, 100000, false, "failed at a record, 10 refused, closed; 4135"},
      {1, 100000, true, "failed at a record, 10 refused, closed; 4135"},
      {2, 100000, true, "failed at a record, 10 refused, closed; 4135"},
      // Everything fits the write buffer: the failure comes when the file is closed.
      {0, 10, false, "0 refused, closing failed; 4135"},
      {1, 10, false, "0 refused, closing failed; 4135"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dataType << " " << c.records << " " << c.roomAgain);
    TempDir dir;
    const std::string path = dir.Path("full.ryn");
    TempDir::Write(path, kOld);
    const testing::ChildResult child = RunInChild(
        [&] {
          auto events = MakeIntf<testing::RecordingEvents>();
          auto e = NewEngine(c.dataType, path);
          e->SetEvents(events.get());
          std::string answer;
          for (int i = 0; i < c.records && answer.empty(); ++i) {
            try {
              Record(e.get(), std::to_string(i), "value");
            } catch (const EStreamError&) {
              answer = "failed at a record, ";
            }
          }
          if (c.roomAgain) testing::LiftFileSizeLimit();
          int refused = 0;
          for (int i = 0; i < 10; ++i) {
            try {
              Record(e.get(), "late", "value");
            } catch (const EStreamError&) {
              ++refused;
            }
          }
          answer += std::to_string(refused) + " refused, ";
          try {
            e->Fina();
            answer += "closed;";
          } catch (const EStreamError&) {
            answer += "closing failed;";
          }
          for (const auto& m : events->messages) answer += " " + std::to_string(m.first);
          return answer;
        },
        static_cast<long>(kOld.size()) + 100);
    EXPECT_EQ(child.answer, c.answer);
    EXPECT_EQ(TempDir::Read(path), kOld);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"full.ryn"});
  }
}

// Switching an open file of data type 1 to data type 0 writes out its sections first;
// when that fails the file must not be started over in place: later records, even once
// the disk has room again, never go into the named file itself, which keeps its bytes.
TEST(RynExportReplaceTest, AFailedSwitchToDataType0LeavesTheNamedFileAsItWas) {
  TempDir dir;
  const std::string path = dir.Path("switched.ryn");
  TempDir::Write(path, kOld);
  const testing::ChildResult child = RunInChild(
      [&] {
        auto events = MakeIntf<testing::RecordingEvents>();
        auto e = NewEngine(1, path);
        e->SetEvents(events.get());
        for (int i = 0; i < 10; ++i) Record(e.get(), std::to_string(i), "value");
        std::string answer = e->SetOptions(Ansi("数据类型=0")) == kRynOptionsWriteFailed ? "refused;" : "accepted;";
        testing::LiftFileSizeLimit();
        int refused = 0;
        for (int i = 0; i < 10; ++i) {
          try {
            Record(e.get(), "late", "value");
          } catch (const EStreamError&) {
            ++refused;
          }
        }
        e->Fina();
        answer += " " + std::to_string(refused) + " refused;";
        for (const auto& m : events->messages) answer += " " + std::to_string(m.first);
        return answer;
      },
      static_cast<long>(kOld.size()) + 100);
  EXPECT_EQ(child.answer, "refused; 10 refused; 4135");
  EXPECT_EQ(TempDir::Read(path), kOld);
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"switched.ryn"});
}

// Data types 1 and 2 append to the named file itself. A child posts records until the
// write buffer has gone to the file three times, posts some more that stay in the buffer,
// tells how many records preceded the last flush, and is killed while it waits. The file
// must be the old sections, the new section's start and exactly those records, whole.
TEST(RynExportReplaceTest, AKilledProcessLeavesEveryRecordPostedBeforeTheLastFlush) {
  for (int dataType : {1, 2}) {
    SCOPED_TRACE(dataType);
    TempDir dir;
    const std::string path = dir.Path("appended.ryn");
    TempDir::Write(path, kOld);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      auto size = [&] {
        struct stat st {};
        stat(path.c_str(), &st);
        return st.st_size;
      };
      auto e = NewEngine(dataType, path);
      int flushes = 0, beforeLastFlush = 0, i = 0;
      for (; flushes < 3; ++i) {
        const off_t before = size();
        Record(e.get(), std::to_string(i), "value");
        if (size() != before) {
          ++flushes;
          // The buffer goes out before the record that does not fit it is taken in.
          beforeLastFlush = i;
        }
      }
      for (int more = 0; more < 100; ++more, ++i) Record(e.get(), std::to_string(i), "value");
      const std::string answer = std::to_string(beforeLastFlush) + "\n";
      if (write(fds[1], answer.data(), answer.size()) != static_cast<ssize_t>(answer.size())) _exit(1);
      for (;;) pause();
    }
    close(fds[1]);
    std::string answer;
    char ch;
    while (read(fds[0], &ch, 1) == 1 && ch != '\n') answer += ch;
    close(fds[0]);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_FALSE(answer.empty()) << "the child did not get as far";

    const int records = std::stoi(answer);
    EXPECT_GT(records, 1000);
    std::string expected = kOld + (dataType == 1 ? "\r\n@" : "\r\n@@") + "\r\nA\tB";
    for (int r = 0; r < records; ++r) expected += "\r\n0001\t2023\tY\t12\t" + std::to_string(r) + "\tvalue";
    const std::string after = TempDir::Read(path);
    EXPECT_EQ(after.size(), expected.size());
    EXPECT_TRUE(after == expected) << "the file is not the old sections and the flushed records";
  }
}

}  // namespace
}  // namespace ryn
