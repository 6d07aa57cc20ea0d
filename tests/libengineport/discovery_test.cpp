#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"
#include "support/temp_dir.h"
#include "transport/registries.h"

namespace ryn {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

// The platform's library suffix, and in capitals, which the scan takes as well.
const std::string kSo = kLibrarySuffix;
const std::string kSO = [] {
  std::string s = kSo;
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}();

std::string Built(const char* name) { return std::string(TEST_ENGINES_DIR) + "/lib" + name + kSo; }

// A path of UTF-8 bytes, as the file system's: the narrow std::filesystem::path of Windows
// takes the ANSI code page.
fs::path Fs(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

std::set<std::string> RegisteredNames() {
  std::set<std::string> names;
  GetTransEngineFactories().Enumerate(0, [&](ITransEngineFactory* f) { names.insert(f->GetName()); });
  return names;
}

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeTransEngineFactories();
    log_ = dir_.Path("app.log");
    SetEnv("RYN_TEST_APP_LOG", log_);
    root_ = dir_.Path("plugins");
    fs::create_directories(root_ + "/sub" + kSo);
    fs::create_directories(root_ + "/plain");
    fs::copy_file(Built("memsource"), root_ + "/libmemsource" + kSo);
    fs::copy_file(Built("minsource"), root_ + "/libminsource" + kSO);
    fs::copy_file(Built("appfinaonly"), root_ + "/LIBSELF" + kSO);  // stands for this library
    fs::copy_file(Built("notype"), root_ + "/libnotype" + kSo);
    fs::copy_file(Built("noinit"), root_ + "/sub" + kSo + "/libnoinit" + kSo);
    fs::copy_file(Built("appfinaonly"), root_ + "/plain/libappfinaonly" + kSo);
    TempDir::Write(root_ + "/junk" + kSo, "not a library");
  }
  void TearDown() override {
    FreeTransEngineFactories();
    SetEnv("RYN_TEST_APP_LOG", "");
  }

  TempDir dir_;
  std::string log_, root_;
};

TEST_F(DiscoveryTest, ScansLibrariesAndLibraryNamedFoldersOnly) {
  ScanLibraryFolder(root_, "libself" + kSo);
  EXPECT_EQ(RegisteredNames(), (std::set<std::string>{"MemSource", "MinSource", "NoInit"}));
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\n");

  // Scanning again loads everything again; the registry keeps one factory per name and
  // the refused ones go at once. Loading a loaded file gives the same module, which the
  // registered factory still uses: it is neither started again nor finished.
  ScanLibraryFolder(root_ + "/", "libself" + kSo);
  EXPECT_EQ(GetTransEngineFactories().Count(), 3u);
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\n");
  FreeTransEngineFactories();
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\nMemSource AppFina\n");
}

TEST_F(DiscoveryTest, AppFinaWhenTheLastUserOfAModuleGoes) {
  const std::string file = root_ + "/libmemsource" + kSo;
  for (bool firstGoesFirst : {true, false}) {
    std::remove(log_.c_str());
    auto first = MakeIntf<TLibITransEngineFactory>();
    auto second = MakeIntf<TLibITransEngineFactory>();
    ASSERT_TRUE(first->Load(file));
    ASSERT_TRUE(second->Load(file));
    ASSERT_EQ(first->Library(), second->Library());
    IntfPtr<ITransEngine> engine = (firstGoesFirst ? second : first)->CreateEngine();
    (firstGoesFirst ? first : second).Reset();
    (firstGoesFirst ? second : first).Reset();
    EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\n") << firstGoesFirst;
    ASSERT_TRUE(engine->Init(1));
    EXPECT_EQ(engine->GetPort()->GetFieldCount(), 19);
    engine.Reset();
    EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\nMemSource AppFina\n") << firstGoesFirst;
  }
}

TEST_F(DiscoveryTest, SingleFilesAndMissingFolders) {
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/junk" + kSo), -1);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/libnotype" + kSo), -1);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/missing" + kSo), -1);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/plain/libappfinaonly" + kSo), 0);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/libmemsource" + kSo), 1);
  auto factory = GetTransEngineFactories().FindByName("appfinaonly");
  ASSERT_TRUE(factory);
  EXPECT_EQ(factory->GetEngineTypes(), 1);
  factory.Reset();
  ScanLibraryFolder(dir_.Path("nothing-here"), "x" + kSo);
  FreeTransEngineFactories();
  // AppFina without AppInit is never called.
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\nMemSource AppFina\n");
}

TEST_F(DiscoveryTest, EnginesKeepTheirLibraryLoaded) {
  ASSERT_EQ(RegisterLibraryEngine(root_ + "/libmemsource" + kSo), 0);
  IntfPtr<ITransEngine> engine = GetTransEngineFactories().FindByName("memsource")->CreateEngine();
  FreeTransEngineFactories();
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\n") << "the engine still needs the library";
  ASSERT_TRUE(engine->Init(1));
  EXPECT_EQ(engine->GetPort()->GetFieldCount(), 19);
  engine.Reset();
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\nMemSource AppFina\n");
}

TEST(OwnModuleTest, KnowsItsOwnFile) {
  std::string self = OwnModulePath();
  EXPECT_NE(self.find("libengineport_tests"), std::string::npos) << self;
}

// A folder named with characters the process code page lacks (as this library's own
// folder may be) is scanned as the file system names it: the libraries in it load.
TEST_F(DiscoveryTest, FoldersOutsideTheCodePageAreScannedAsTheyAre) {
  const std::string folder = dir_.Path() + "\xED\x95\x9C\xEA\xB5\xAD";  // Korean, UTF-8
  fs::create_directories(Fs(folder));
  fs::copy_file(Built("memsource"), Fs(folder + "/libmemsource" + kSo));
  ScanLibraryFolder(OsPath{folder}, OsPath{"libself" + kSo});
  EXPECT_EQ(RegisteredNames(), (std::set<std::string>{"MemSource"}));
}

}  // namespace
}  // namespace ryn
