// The engine folder found from this library's module file, loaded from <libdir> or from
// the engine folder itself, and the scan skipping the library under a link's name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "libengineport/engine_folder.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "transport/registries.h"

namespace ryn {
namespace {

#ifndef _WIN32
TEST(EngineFolder, FoundFromTheModulesPlace) {
  struct Case {
    const char* module;
    const char* folder;
  } cases[] = {
      {"/usr/lib/x86_64-linux-gnu/librynfiler.so.0", "/usr/lib/x86_64-linux-gnu/rynfiler/"},
      {"/usr/lib/x86_64-linux-gnu/rynfiler/librynfiler.so", "/usr/lib/x86_64-linux-gnu/rynfiler/"},  // the link
      {"/build/lib/rynfiler/librynfiler.so", "/build/lib/rynfiler/"},
      {"/opt/rynfiler-1/lib/librynfiler.so", "/opt/rynfiler-1/lib/rynfiler/"},  // only the name counts
      {"librynfiler.so", "rynfiler/"},
  };
  for (const Case& c : cases) EXPECT_EQ(EngineFolderOf(OsPath{c.module}).bytes, c.folder) << c.module;
}

TEST(EngineFolder, TheLibraryIsSkippedUnderItsLinksName) {
  testing::TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directories(dir.Path("lib/rynfiler"));
  testing::TempDir::Write(dir.Path("lib/librynfiler.so.0.1.0"), "not a library");
  fs::create_symlink("librynfiler.so.0.1.0", dir.Path("lib/librynfiler.so.0"));
  fs::create_symlink("../librynfiler.so.0", dir.Path("lib/rynfiler/librynfiler.so"));
  testing::TempDir::Write(dir.Path("lib/rynfiler/libother.so"), "not a library either");
  const OsPath engines{dir.Path("lib/rynfiler/")};
  struct Case {
    std::string module;
    const char* self;
  } cases[] = {
      {dir.Path("lib/librynfiler.so.0"), "librynfiler.so"},
      {dir.Path("lib/rynfiler/librynfiler.so"), "librynfiler.so"},
      {dir.Path("lib/elsewhere.so"), "elsewhere.so"},  // not in the folder: its own name
  };
  for (const Case& c : cases) EXPECT_EQ(SelfNameIn(engines, OsPath{c.module}).bytes, c.self) << c.module;

  FreeTransEngineFactories();
  RegisterEngineFolder(engines, OsPath{dir.Path("lib/librynfiler.so.0")});
  EXPECT_EQ(GetTransEngineFactories().Count(), 0u);  // nothing there loads
  RegisterEngineFolder(OsPath{dir.Path("missing/")}, OsPath{dir.Path("lib/librynfiler.so.0")});
  EXPECT_EQ(GetTransEngineFactories().Count(), 0u);
  FreeTransEngineFactories();
}
#else
// A host keeps the DLLs in its own folder: the engine folder is the module's, whichever
// separator names it.
TEST(EngineFolder, IsTheModulesOwnFolderOnWindows) {
  struct Case {
    const char* module;
    const char* folder;
  } cases[] = {
      {"C:\\Program Files\\Host\\rynfiler.dll", "C:\\Program Files\\Host\\"},
      {"C:/Host/rynfiler.dll", "C:/Host/"},
      {"D:\\lib\\rynfiler\\rynfiler.dll", "D:\\lib\\rynfiler\\"},
      {"\\\\server\\share\\rynfiler.dll", "\\\\server\\share\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(EngineFolderOf(OsPath{c.module}).bytes, c.folder) << c.module;
}

// The folder's DLLs are loaded but this library's own and files that are no engine library;
// a folder named with "/" is scanned as well.
TEST(EngineFolder, TheScanOnWindowsSkipsItselfAndWhatIsNoEngine) {
  testing::TempDir dir;
  std::filesystem::copy_file(RYNFILER_CSV_LIBRARY, dir.Path("engine.dll"));
  // The windowing adapter goes wherever an engine library goes: the library's manifest finds
  // it beside the library, and the scan passes it over as no engine.
  std::filesystem::copy_file(std::filesystem::path(RYNFILER_CSV_LIBRARY).parent_path() / "rynfiler-ui.dll",
                             dir.Path("rynfiler-ui.dll"));
  testing::TempDir::Write(dir.Path("broken.dll"), "not a library");
  struct Case {
    std::string folder;
    const char* self;
    size_t engines;
  } cases[] = {
      {dir.Path(""), "engine.dll", 0},
      {dir.Path(""), "ENGINE.DLL", 0},  // names match ignoring case there
      {dir.Path(""), "other.dll", 1},
      {dir.Path("") + "/", "other.dll", 1},
  };
  for (const Case& c : cases) {
    FreeTransEngineFactories();
    RegisterEngineFolder(OsPath{c.folder}, OsPath{dir.Path(c.self)});
    EXPECT_EQ(GetTransEngineFactories().Count(), c.engines) << c.folder << " " << c.self;
  }
  EXPECT_TRUE(GetTransEngineFactories().FindByName(Ansi("CSV文件")));
  FreeTransEngineFactories();
}
#endif

}  // namespace
}  // namespace ryn
