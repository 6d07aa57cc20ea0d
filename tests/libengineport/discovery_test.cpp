#include <gtest/gtest.h>

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

std::string Built(const char* name) { return std::string(TEST_ENGINES_DIR) + "/lib" + name + ".so"; }

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
    setenv("RYN_TEST_APP_LOG", log_.c_str(), 1);
    root_ = dir_.Path("plugins");
    fs::create_directories(root_ + "/sub.so");
    fs::create_directories(root_ + "/plain");
    fs::copy_file(Built("memsource"), root_ + "/libmemsource.so");
    fs::copy_file(Built("minsource"), root_ + "/libminsource.SO");
    fs::copy_file(Built("appfinaonly"), root_ + "/LIBSELF.SO");  // stands for this library
    fs::copy_file(Built("notype"), root_ + "/libnotype.so");
    fs::copy_file(Built("noinit"), root_ + "/sub.so/libnoinit.so");
    fs::copy_file(Built("appfinaonly"), root_ + "/plain/libappfinaonly.so");
    TempDir::Write(root_ + "/junk.so", "not a library");
  }
  void TearDown() override {
    FreeTransEngineFactories();
    unsetenv("RYN_TEST_APP_LOG");
  }

  TempDir dir_;
  std::string log_, root_;
};

TEST_F(DiscoveryTest, ScansLibrariesAndLibraryNamedFoldersOnly) {
  ScanLibraryFolder(root_, "libself.so");
  EXPECT_EQ(RegisteredNames(), (std::set<std::string>{"MemSource", "MinSource", "NoInit"}));
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\n");

  // Scanning again loads everything again; the registry keeps one factory per name and
  // the refused ones go at once. Loading a loaded file gives the same module, which the
  // registered factory still uses: it is neither started again nor finished.
  ScanLibraryFolder(root_ + "/", "libself.so");
  EXPECT_EQ(GetTransEngineFactories().Count(), 3u);
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\n");
  FreeTransEngineFactories();
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\nMemSource AppFina\n");
}

TEST_F(DiscoveryTest, AppFinaWhenTheLastUserOfAModuleGoes) {
  const std::string file = root_ + "/libmemsource.so";
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
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/junk.so"), -1);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/libnotype.so"), -1);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/missing.so"), -1);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/plain/libappfinaonly.so"), 0);
  EXPECT_EQ(RegisterLibraryEngine(root_ + "/libmemsource.so"), 1);
  auto factory = GetTransEngineFactories().FindByName("appfinaonly");
  ASSERT_TRUE(factory);
  EXPECT_EQ(factory->GetEngineTypes(), 1);
  factory.Reset();
  ScanLibraryFolder(dir_.Path("nothing-here"), "x.so");
  FreeTransEngineFactories();
  // AppFina without AppInit is never called.
  EXPECT_EQ(TempDir::Read(log_), "MemSource AppInit\nMemSource AppFina\n");
}

TEST_F(DiscoveryTest, EnginesKeepTheirLibraryLoaded) {
  ASSERT_EQ(RegisterLibraryEngine(root_ + "/libmemsource.so"), 0);
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
  const std::string folder = dir_.Path("\xED\x95\x9C\xEA\xB5\xAD");  // Korean, UTF-8
  fs::create_directories(folder);
  fs::copy_file(Built("memsource"), folder + "/libmemsource.so");
  ScanLibraryFolder(OsPath{folder}, OsPath{"libself.so"});
  EXPECT_EQ(RegisteredNames(), (std::set<std::string>{"MemSource"}));
}

}  // namespace
}  // namespace ryn
