#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/stream.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::TempDir;

TEST(StreamTest, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream s;
  s.WriteText("hello world");
  EXPECT_EQ(s.Position(), 11);
  s.SetPosition(6);
  s.WriteText("there!");
  EXPECT_EQ(s.Data(), "hello there!");
  s.SetPosition(0);
  char buf[5];
  EXPECT_EQ(s.Read(buf, 5), 5u);
  EXPECT_EQ(std::string(buf, 5), "hello");
  s.SetSize(3);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(s.Read(buf, 5), 0u);
  EXPECT_EQ(s.Seek(-10, SeekOrigin::kEnd), 0);
}

TEST(StreamTest, FileStreamCountsBufferedBytesInItsPosition) {
  TempDir dir;
  std::string path = dir.Path("a.txt");
  {
    TFileStream f(path, FileMode::kCreate, false);
    EXPECT_EQ(f.Position(), 0);
    f.WriteText("abc");
    EXPECT_EQ(f.Position(), 3);
    EXPECT_EQ(f.Size(), 3);
    std::string big(200000, 'x');
    f.WriteText(big);
    EXPECT_EQ(f.Position(), 200003);
  }
  EXPECT_EQ(TempDir::Read(path).size(), 200003u);
  {
    TFileStream f(path, FileMode::kOpenWrite, false);
    f.Seek(0, SeekOrigin::kEnd);
    f.WriteText("!");
    f.SetSize(2);
    EXPECT_EQ(f.Position(), 2);
    f.WriteText("Z");
  }
  EXPECT_EQ(TempDir::Read(path), "abZ");
}

TEST(StreamTest, ExclusiveOpenersExcludeEachOtherAndNeverEmptyTheFile) {
  TempDir dir;
  std::string path = dir.Path("locked.txt");
  TempDir::Write(path, "keep me");
  {
    TFileStream holder(path, FileMode::kOpenWrite, true);
    EXPECT_THROW(TFileStream(path, FileMode::kOpenWrite, true), EFileOpenError);
    // A refused creator must not have cut the file before finding the lock.
    EXPECT_THROW(TFileStream(path, FileMode::kCreate, true), EFileOpenError);
  }
  // Read once the holder let go: on Windows an exclusive holder keeps readers out too.
  EXPECT_EQ(TempDir::Read(path), "keep me");
  TFileStream again(path, FileMode::kCreate, true);
  EXPECT_EQ(again.Size(), 0);
}

TEST(StreamTest, OpeningAMissingFileFails) {
  TempDir dir;
  EXPECT_THROW(TFileStream(dir.Path("none.txt"), FileMode::kOpenWrite, false), EFileOpenError);
  EXPECT_THROW(TFileStream(dir.Path("no/dir/x.txt"), FileMode::kCreate, false), EFileOpenError);
}

TEST(PathsTest, ExpandsAndSplitsNames) {
  std::string cwd = CurrentDirectory();
  EXPECT_EQ(ExpandFileName("/a/b/../c/./d.txt"), "/a/c/d.txt");
  EXPECT_EQ(ExpandFileName("/../x"), "/x");
  EXPECT_EQ(ExpandFileName("out.txt"), (cwd == "/" ? "" : cwd) + "/out.txt");
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("c.txt"), "");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
}

TEST(PathsTest, ForceDirectoriesCreatesParents) {
  TempDir dir;
  std::string deep = dir.Path("x/y/z");
  EXPECT_FALSE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep + "/"));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));
  TempDir::Write(dir.Path("file"), "");
  EXPECT_TRUE(FileExists(dir.Path("file")));
  EXPECT_FALSE(ForceDirectories(dir.Path("file/sub")));
}

}  // namespace
}  // namespace ryn
