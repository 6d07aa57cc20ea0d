// Where the Windows side of the OS layer differs: sharing modes, another process holding a
// file, names outside the process code page, replacing by MoveFileExW, "\" inside GBK
// characters, and the code page tables against bytes worked out independently.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/dynlib.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/stream.h"
#include "platform/win_text.h"
#include "support/temp_dir.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace ryn {
namespace {

using testing::TempDir;

bool Gbk() { return ProcessCodePage().Name() == "GBK"; }

bool Opens(const std::string& path, FileMode mode, bool exclusive) {
  try {
    TFileStream f(path, mode, exclusive);
    return true;
  } catch (const EFileOpenError&) {
    return false;
  }
}

// hold_file.exe (built beside this test) holding path open until Release.
class Holder {
 public:
  Holder(const std::string& path, const char* share) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE outRead, outWrite, inRead;
    CreatePipe(&outRead, &outWrite, &sa, 0);
    CreatePipe(&inRead, &inWrite_, &sa, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring exe = WidePath(ExtractFilePath(OwnModuleOsPath())) + L"hold_file.exe";
    std::wstring cmd = L"\"" + exe + L"\" \"" + Utf8ToWide(path) + L"\" " + Utf8ToWide(share);
    started_ = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi_);
    CloseHandle(outWrite);
    CloseHandle(inRead);
    char buf[64] = {};
    DWORD got = 0;
    if (started_) ReadFile(outRead, buf, sizeof buf - 1, &got, nullptr);
    said_ = std::string(buf, got);
    CloseHandle(outRead);
  }
  ~Holder() { Release(); }
  bool Held() const { return started_ && said_.rfind("held", 0) == 0; }
  const std::string& Said() const { return said_; }
  void Release() {
    if (inWrite_) CloseHandle(inWrite_);
    inWrite_ = nullptr;
    if (started_) {
      WaitForSingleObject(pi_.hProcess, 10000);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
      started_ = false;
    }
  }

 private:
  HANDLE inWrite_ = nullptr;
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
  std::string said_;
};

TEST(WindowsFileTest, SharingModesDecideWhoMayOpen) {
  TempDir dir;
  const std::string path = dir.Path("shared.txt");
  TempDir::Write(path, "keep me");
  struct Case {
    bool holderExclusive;
    FileMode mode;
    bool exclusive;
    bool opens;
  } cases[] = {
      // An exclusive holder shares nothing: every other opener is refused, and kCreate
      // refused never empties the file.
      {true, FileMode::kOpenRead, false, false},
      {true, FileMode::kOpenWrite, true, false},
      {true, FileMode::kCreate, true, false},
      {true, FileMode::kCreate, false, false},
      // A sharing holder lets sharing openers in, never an exclusive one.
      {false, FileMode::kOpenRead, false, true},
      {false, FileMode::kOpenWrite, false, true},
      {false, FileMode::kOpenWrite, true, false},
      {false, FileMode::kCreate, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "holder exclusive " << c.holderExclusive << ", mode " << static_cast<int>(c.mode)
                                    << ", exclusive " << c.exclusive);
    TFileStream holder(path, FileMode::kOpenRead, c.holderExclusive);
    EXPECT_EQ(Opens(path, c.mode, c.exclusive), c.opens);
  }
  EXPECT_EQ(TempDir::Read(path), "keep me");
  EXPECT_TRUE(Opens(path, FileMode::kOpenWrite, true));
}

TEST(WindowsFileTest, AFileAnotherProcessHoldsIsInUse) {
  TempDir dir;
  const std::string path = dir.Path("held.txt");
  TempDir::Write(path, "theirs");
  for (const char* share : {"none", "all"}) {
    SCOPED_TRACE(share);
    Holder holder(path, share);
    ASSERT_TRUE(holder.Held()) << holder.Said();
    try {
      TFileStream f(path, FileMode::kCreate, true);
      ADD_FAILURE() << "opened a file another process holds";
    } catch (const EFileOpenError& e) {
      EXPECT_NE(std::string(e.what()).find("the file is in use"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Opens(path, FileMode::kOpenRead, false), std::string(share) == "all");
    holder.Release();
    EXPECT_EQ(TempDir::Read(path), "theirs");
    EXPECT_TRUE(Opens(path, FileMode::kOpenWrite, true));
  }
}

TEST(WindowsFileTest, NamesOutsideTheCodePageAreKeptExactly) {
  TempDir dir;
  // Korean, n with tilde and an emoji: none is in GBK; all stay exact in an OsPath.
  const std::string name = "\xED\x95\x9C\xC3\xB1\xF0\x9F\x98\x80";
  const OsPath folder{dir.Path("") + "\\" + name};
  ASSERT_TRUE(ForceDirectories(folder));
  EXPECT_TRUE(DirectoryExists(folder));
  const OsPath file{folder.bytes + "\\" + name + ".txt"};
  {
    TFileStream f(file, FileMode::kCreate, true);
    f.WriteText("exact");
  }
  EXPECT_TRUE(FileExists(file));
  std::vector<OsDirEntry> entries = ListDirectory(folder);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name.bytes, name + ".txt");
  EXPECT_FALSE(entries[0].isDirectory);
  {
    TFileStream f(file, FileMode::kOpenRead, false);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 5u);
    EXPECT_EQ(std::string(buf, 5), "exact");
  }
  if (Gbk()) {
    // Shown in GBK, each lost character is one "?", the emoji (a surrogate pair) two.
    EXPECT_EQ(FromOsPath(OsPath{name}), "????");
    // A GBK name converts exactly, and reaches the same file as its UTF-8 spelling.
    const std::string gbkName = "\xD6\xD0\xCE\xC4.txt";  // 中文.txt
    TempDir::Write(dir.Path("") + "\\x", "");
    OsPath os;
    ASSERT_TRUE(ToOsPath(dir.Path("") + "\\" + gbkName, os));
    { TFileStream f(os, FileMode::kCreate, false); }
    EXPECT_TRUE(FileExists(OsPath{dir.Path("") + "\\\xE4\xB8\xAD\xE6\x96\x87.txt"}));
    EXPECT_TRUE(FileExists(dir.Path("") + "\\" + gbkName));
  }
}

TEST(WindowsFileTest, RenameReplacesAnExistingFileInOneStep) {
  TempDir dir;
  const OsPath from{dir.Path("new.tmp")}, to{dir.Path("target.txt")};
  TempDir::Write(from.bytes, "new");
  TempDir::Write(to.bytes, "old");
  ASSERT_TRUE(RenameFile(from, to));
  EXPECT_EQ(TempDir::Read(to.bytes), "new");
  EXPECT_FALSE(FileExists(from));
  // A target another opener holds without delete sharing stays, and so does the source.
  TempDir::Write(from.bytes, "newer");
  {
    TFileStream holder(to, FileMode::kOpenRead, true);
    EXPECT_FALSE(RenameFile(from, to));
  }
  EXPECT_EQ(TempDir::Read(to.bytes), "new");
  EXPECT_EQ(TempDir::Read(from.bytes), "newer");
  EXPECT_TRUE(RenameFile(from, to));
  EXPECT_EQ(TempDir::Read(to.bytes), "newer");
}

TEST(WindowsPathTest, SeparatorsAreFoundBetweenCharactersOnly) {
  if (!Gbk()) GTEST_SKIP() << "the GBK byte 0x5C inside a character";
  // 俓 is 0x82 0x5C in GBK: its second byte is the byte of "\".
  const std::string ch = "\x82\x5C";
  struct Case {
    std::string path, folder, name;
  } cases[] = {
      {"C:\\d\\x" + ch, "C:\\d\\", "x" + ch},
      {"C:\\" + ch + "\\f.txt", "C:\\" + ch + "\\", "f.txt"},
      {"C:/d/" + ch, "C:/d/", ch},
      {"C:" + ch, "C:", ch},
      {ch, "", ch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ExtractFilePath(c.path), c.folder);
    EXPECT_EQ(ExtractFileName(c.path), c.name);
  }
}

TEST(WindowsPathTest, ExpandFoldsDotsAndKeepsDrives) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\a\\..\\b", "C:\\b"},
      {"C:/a/./b/", "C:\\a\\b\\"},
      {"D:\\x\\y\\..\\..\\z.txt", "D:\\z.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandFileName(std::string_view(c.in)), c.out) << c.in;
  const std::string cwd = CurrentDirectory();
  EXPECT_EQ(ExpandFileName(std::string_view("rel.txt")), cwd + (cwd.back() == '\\' ? "" : "\\") + "rel.txt");
}

TEST(WindowsCodePageTest, ConversionsMatchTheCodePageTables) {
  // Bytes worked out with another implementation of GBK (Python's codec).
  struct Case {
    std::u16string wide;
    std::string gbk, utf8;
  } cases[] = {
      {u"\u4e2d\u6587", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
      {u"a\u00f1b", "a?b", "a\xC3\xB1" "b"},          // ñ: not in GBK
      {u"\U00020000", "??", "\xF0\xA0\x80\x80"},      // a surrogate pair GBK lacks: one "?" per unit
      {u"\u3000\uff01", "\xA1\xA1\xA3\xA1", "\xE3\x80\x80\xEF\xBC\x81"},
  };
  for (const Case& c : cases) {
    const std::string expected = Gbk() ? c.gbk : c.utf8;
    EXPECT_EQ(ToNarrow(c.wide), expected);
    if (expected.find('?') == std::string::npos) {
      EXPECT_EQ(ToWide(expected), c.wide);
    }
  }
  if (Gbk()) {
    // A lead byte without its trail, and a lead before a byte that is no trail: U+FFFD,
    // and the byte after it kept ("\x81A" would be one character, U+4E04).
    EXPECT_EQ(ToWide("\x81"), u"\uFFFD");
    EXPECT_EQ(ToWide("\x81 "), u"\uFFFD ");
    EXPECT_EQ(ToWide("\x81" "A"), u"\u4E04");
    std::string out;
    EXPECT_FALSE(TryToUtf8("\x81 ", out));
    // é is in GBK (A8 A6), ñ is not.
    EXPECT_EQ(FromEncoding("\xC3\xA9t\xC3\xB1", "UTF-8"), "\xA8\xA6t?");
    EXPECT_EQ(FromEncoding("\xD6\xD0", "CP936"), "\xD6\xD0");
  }
}

TEST(WindowsLibraryTest, OwnModuleAndLibrarySuffix) {
  const OsPath self = OwnModuleOsPath();
  EXPECT_EQ(ExtractFileName(self.bytes), "platform_win_tests.exe");
  EXPECT_STREQ(kLibrarySuffix, ".dll");
  EXPECT_EQ(LoadLibraryFile(OsPath{ExtractFilePath(self).bytes + "no-such.dll"}), nullptr);
  LibHandle kernel = LoadLibraryFile(OsPath{"kernel32.dll"});
  ASSERT_NE(kernel, nullptr);
  EXPECT_NE(GetProcAddress(kernel, "GetTickCount"), nullptr);
  FreeLibraryFile(kernel);
}

}  // namespace
}  // namespace ryn
