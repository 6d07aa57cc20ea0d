#include "libengineport/lib_factory.h"

#include "libengineport/lib_engine.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transport/errors.h"
#include "transport/registries.h"

namespace ryn {
namespace {

void* gApplication = nullptr;
void* gScreen = nullptr;

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
  if (len <= 0) return std::string();
  std::string text(static_cast<size_t>(len), '\0');
  int32_t capacity = len;
  if (fn(text.data(), &len) == 0) return std::string();
  text.resize(static_cast<size_t>(len < 0 ? 0 : len < capacity ? len : capacity));
  return text;
}

void Scan(const std::string& folder, const std::string& selfName, int depth) {
  if (depth > kMaxScanDepth) return;
  std::string dir = folder;
  if (dir.empty() || dir.back() != kPathDelim) dir += kPathDelim;
  for (const DirEntry& e : ListDirectory(dir)) {
    if (!HasLibrarySuffix(e.name) || SameTextLocale(e.name, selfName)) continue;
    if (e.isDirectory) Scan(dir + e.name, selfName, depth + 1);
    else RegisterLibraryEngine(dir + e.name);
  }
}

}  // namespace

void SetPluginAppObjects(void* application, void* screen) {
  gApplication = application;
  gScreen = screen;
}

TLibITransEngineFactory::~TLibITransEngineFactory() {
  if (!FLib) return;
  if (FAppFina) FAppFina();
  FreeLibraryFile(FLib);
  FLib = nullptr;
}

bool TLibITransEngineFactory::Load(const std::string& path) {
  FLib = LoadLibraryFile(path);
  if (!FLib) return false;
  FPath = path;
  if (!lib::Lookup(FLib, "EngineGetName", FEngineGetName) || !lib::Lookup(FLib, "EngineGetType", FEngineGetType)) {
    FEngineGetName = nullptr;
    FEngineGetType = nullptr;
    FreeLibraryFile(FLib);
    FLib = nullptr;
    return false;
  }
  lib::Lookup(FLib, "EngineDiscription", FEngineDiscription);
  RynAppInitProc appInit = nullptr;
  if (lib::Lookup(FLib, "AppInit", appInit)) {
    lib::Lookup(FLib, "AppFina", FAppFina);
    appInit(gApplication, gScreen);
  }
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

void RegisterLibraryEngines(const std::string& folder) { ScanLibraryFolder(folder, ExtractFileName(OwnModulePath())); }

void ScanLibraryFolder(const std::string& folder, const std::string& selfName) { Scan(folder, selfName, 0); }

int32_t RegisterLibraryEngine(const std::string& path) {
  IntfPtr<TLibITransEngineFactory> factory = MakeIntf<TLibITransEngineFactory>();
  if (!factory->Load(path)) return -1;
  // A factory the registry refuses goes with this reference, unloading its library.
  return GetTransEngineFactories().Register(factory.get());
}

}  // namespace ryn
