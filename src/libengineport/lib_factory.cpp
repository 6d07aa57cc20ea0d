#include "libengineport/lib_factory.h"

#include <mutex>
#include <unordered_map>

#include "libengineport/lib_engine.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transport/errors.h"
#include "transport/registries.h"
#include "ui/application.h"

namespace ryn {
namespace {

// Null: the windowing adapter's own objects, which every library of the process shares.
void* gApplication = nullptr;
void* gScreen = nullptr;

// Factories per loaded module. Loading a file that is loaded already hands out the same
// module, so a plug-in's start-up and finish hooks belong to the module, not to a factory:
// AppFina while another factory still drives the module would pull its state away.
// Never destroyed: factories may still go during the process's static teardown.
struct ModuleUsers {
  std::mutex lock;
  std::unordered_map<LibHandle, int> count;
};
ModuleUsers& Users() {
  static ModuleUsers* users = new ModuleUsers;
  return *users;
}

// True for the first user of the module.
bool AddModuleUser(LibHandle lib) {
  std::lock_guard<std::mutex> guard(Users().lock);
  return ++Users().count[lib] == 1;
}

// True when the last user of the module went.
bool RemoveModuleUser(LibHandle lib) {
  std::lock_guard<std::mutex> guard(Users().lock);
  auto it = Users().count.find(lib);
  if (it == Users().count.end() || --it->second > 0) return false;
  Users().count.erase(it);
  return true;
}

// Deep enough for any real layout; stops a link that points back up the tree.
constexpr int kMaxScanDepth = 16;

bool HasLibrarySuffix(const std::string& name) {
  const std::string suffix = kLibrarySuffix;
  return name.size() > suffix.size() && SameTextAscii(std::string_view(name).substr(name.size() - suffix.size()), suffix);
}

std::string TwoCallText(lib::EngineGetNameFn fn) {
  if (!fn) return std::string();
  int32_t len = 0;
  fn(nullptr, &len);
  if (len <= 0 || len > lib::kMaxTextLength) return std::string();
  std::string text(static_cast<size_t>(len), '\0');
  int32_t capacity = len;
  if (fn(text.data(), &len) == 0) return std::string();
  text.resize(static_cast<size_t>(len < 0 ? 0 : len < capacity ? len : capacity));
  return text;
}

void Scan(const OsPath& folder, const OsPath& selfName, int depth) {
  if (depth > kMaxScanDepth) return;
  std::string dir = folder.bytes;
  if (dir.empty() || !IsPathDelim(dir.back())) dir += kPathDelim;
  for (const OsDirEntry& e : ListDirectory(OsPath{dir})) {
    if (!HasLibrarySuffix(e.name.bytes) || SameTextAscii(e.name.bytes, selfName.bytes)) continue;
    if (e.isDirectory) Scan(OsPath{dir + e.name.bytes}, selfName, depth + 1);
    else RegisterLibraryEngine(OsPath{dir + e.name.bytes});
  }
}

}  // namespace

void SetPluginAppObjects(void* application, void* screen) {
  gApplication = application;
  gScreen = screen;
}

TLibITransEngineFactory::~TLibITransEngineFactory() {
  if (!FLib) return;
  if (RemoveModuleUser(FLib) && FAppFina) FAppFina();
  FreeLibraryFile(FLib);
  FLib = nullptr;
}

bool TLibITransEngineFactory::Load(const std::string& path) {
  OsPath os;
  return ToOsPath(path, os) && Load(os);
}

bool TLibITransEngineFactory::Load(const OsPath& path) {
  FLib = LoadLibraryFile(path);
  if (!FLib) return false;
  FPath = FromOsPath(path);
  FOsPath = path;
  if (!lib::Lookup(FLib, "EngineGetName", FEngineGetName) || !lib::Lookup(FLib, "EngineGetType", FEngineGetType)) {
    FEngineGetName = nullptr;
    FEngineGetType = nullptr;
    FreeLibraryFile(FLib);
    FLib = nullptr;
    return false;
  }
  lib::Lookup(FLib, "EngineDiscription", FEngineDiscription);
  RynAppInitProc appInit = nullptr;
  if (lib::Lookup(FLib, "AppInit", appInit)) lib::Lookup(FLib, "AppFina", FAppFina);
  if (AddModuleUser(FLib) && appInit)
    appInit(gApplication ? gApplication : &ui::Application::Instance(), gScreen ? gScreen : &ui::Screen::Instance());
  return true;
}

std::string TLibITransEngineFactory::GetName() { return TwoCallText(FEngineGetName); }

std::string TLibITransEngineFactory::GetDescription() { return TwoCallText(FEngineDiscription); }

IntfPtr<ITransEngine> TLibITransEngineFactory::CreateEngine() {
  auto engine = MakeIntf<TLibTransEngine>(FLib, IntfPtr<IInterface>(static_cast<ITransEngineFactory*>(this)));
  if (!FLib || !engine->Bind())
    throw ETransEngineError(FormatText(Ansi("%s\t\r\n初始化失败！").c_str(), GetName().c_str()));
  return engine;
}

void RegisterLibraryEngines(const OsPath& folder) {
  ScanLibraryFolder(folder, OsPath{ExtractFileName(OwnModuleOsPath().bytes)});
}

void RegisterLibraryEngines(const std::string& folder) {
  OsPath os;
  if (ToOsPath(folder, os)) RegisterLibraryEngines(os);
}

void ScanLibraryFolder(const OsPath& folder, const OsPath& selfName) { Scan(folder, selfName, 0); }

void ScanLibraryFolder(const std::string& folder, const std::string& selfName) {
  OsPath os, self;
  if (ToOsPath(folder, os) && ToOsPath(selfName, self)) Scan(os, self, 0);
}

int32_t RegisterLibraryEngine(const std::string& path) {
  OsPath os;
  return ToOsPath(path, os) ? RegisterLibraryEngine(os) : -1;
}

int32_t RegisterLibraryEngine(const OsPath& path) {
  IntfPtr<TLibITransEngineFactory> factory = MakeIntf<TLibITransEngineFactory>();
  if (!factory->Load(path)) return -1;
  // A factory the registry refuses goes with this reference, unloading its library.
  return GetTransEngineFactories().Register(factory.get());
}

}  // namespace ryn
