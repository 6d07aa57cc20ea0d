// Finding engine libraries in a folder and registering one factory per accepted library.
// A factory owns its loaded library: the library stays loaded as long as the factory (or
// an engine it made) lives. A plug-in's AppInit runs when the first factory of its module
// is accepted, its AppFina when the last one goes.
#pragma once

#include <string>

#include "libengineport/lib_api.h"
#include "platform/paths.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn {

class TLibITransEngineFactory final : public TInterfacedObject, public virtual ITransEngineFactory {
 public:
  TLibITransEngineFactory() = default;
  ~TLibITransEngineFactory() override;

  // Loads the library and looks up its identity functions; false (nothing stays loaded)
  // when the file does not load or lacks EngineGetName or EngineGetType. An accepted
  // library that exports AppInit gets it called unless another factory uses the module.
  bool Load(const OsPath& path);
  bool Load(const std::string& path);

  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEngineFactory>(this, iid, obj);
  }
  std::string GetName() override;
  int32_t GetEngineTypes() override { return FEngineGetType ? FEngineGetType() : 0; }
  std::string GetDescription() override;
  // Raises ETransEngineError when the library's engine functions cannot be bound.
  IntfPtr<ITransEngine> CreateEngine() override;

  // The library's file, in the narrow form for showing, and as the file system names it.
  const std::string& Path() const { return FPath; }
  const OsPath& FilePath() const { return FOsPath; }
  LibHandle Library() const { return FLib; }

 private:
  std::string FPath;
  OsPath FOsPath;
  LibHandle FLib = nullptr;
  lib::EngineGetNameFn FEngineGetName = nullptr;
  lib::EngineGetTypeFn FEngineGetType = nullptr;
  lib::EngineDiscriptionFn FEngineDiscription = nullptr;
  RynAppFinaProc FAppFina = nullptr;
};

// Scans a folder (and, recursively, subfolders named like libraries) for files with the
// library suffix, skipping this library itself, and registers each accepted library.
// The folder is walked in the file system's encoding, so that names outside the process
// code page load as they are; a narrow folder name is converted exactly.
void RegisterLibraryEngines(const OsPath& folder);
void RegisterLibraryEngines(const std::string& folder);
// The same scan with the name of the library to skip given (compared ignoring case).
void ScanLibraryFolder(const OsPath& folder, const OsPath& selfName);
void ScanLibraryFolder(const std::string& folder, const std::string& selfName);
// Tries one library file: the index it got in the engine-factory registry, or -1 when it
// was rejected or its engine name is registered already (it is unloaded then).
int32_t RegisterLibraryEngine(const OsPath& path);
int32_t RegisterLibraryEngine(const std::string& path);

// The objects passed to a plug-in's AppInit: the windowing adapter's application and screen
// objects (ui::Application, ui::Screen) unless others are set here; null puts them back.
void SetPluginAppObjects(void* application, void* screen);

}  // namespace ryn
