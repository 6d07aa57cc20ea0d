#include "libengineport/lib_engine.h"

#include "libengineport/lib_event_links.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "transport/errors.h"

namespace ryn {

namespace {

constexpr int32_t kPortBindFailed = 0x30000001;
constexpr int32_t kOptionsUnsupported = 0x10001001;
// Quiet "no" answers of ConfigInit: the engine has no wizard, or the library declined to
// open it. Neither is an error a user could act on.
constexpr int32_t kConfigNothing = 0x10000004;
constexpr int32_t kConfigDeclined = 0x20000004;

const std::string& InitFailedText() { return Ansi("引擎：%s，错误码：%X\r\n初始化失败！"); }

}  // namespace

// ---- configuration -------------------------------------------------------------------------

TLibEngineConfig::~TLibEngineConfig() {
  try {
    Fina();
  } catch (...) {
  }
}

bool TLibEngineConfig::Bind() {
  bool ok = lib::Lookup(FLib, "ConfigInit", FInit) && lib::Lookup(FLib, "ConfigFina", FFina) &&
            lib::Lookup(FLib, "ConfigUpdate", FUpdate);
  if (!ok) {
    FInit = nullptr;
    FFina = FUpdate = nullptr;
    return false;
  }
  lib::Lookup(FLib, "ConfigIsBOF", FIsBOF);
  lib::Lookup(FLib, "ConfigIsEOF", FIsEOF);
  lib::Lookup(FLib, "ConfigCheckSucceed", FCheckSucceed);
  lib::Lookup(FLib, "ConfigNext", FNext);
  lib::Lookup(FLib, "ConfigPrevious", FPrevious);
  lib::Lookup(FLib, "ConfigFirst", FFirst);
  lib::Lookup(FLib, "ConfigLast", FLast);
  lib::Lookup(FLib, "ConfigPort", FConfigPort);
  return true;
}

void TLibEngineConfig::Update() {
  Call(FUpdate);
  if (FEngineObj) FEngineObj->InvalidatePortTypes();
  if (FPort) FPort->InvalidateTypes();
}

bool TLibEngineConfig::Init(NativeWindow parent, bool option) {
  if (!FInit) return false;
  // Another thread's wizard is neither closed nor opened anew from here (Fina says why).
  if (FConfig != 0 && !MayClose()) {
    Fina();
    return false;
  }
  if (FParent != 0 && parent != FParent) Fina();
  // A port is the port of one opening of the wizard: its handle is that opening's copy.
  RetirePort(FPort, FRetiredPorts);
  FParent = parent;
  RynHandle config = 0;
  int32_t rc = FInit(FHandle, parent, option ? 1 : 0, &config);
  if (rc == 0) {
    FConfig = config;
    FOpener = ThisThreadMark();
    return true;
  }
  FParent = 0;
  if (rc == kConfigNothing || rc == kConfigDeclined) return false;
  throw ETransConfigError(FormatText(Ansi("引擎配置器初始化失败！错误码[%X]").c_str(), static_cast<unsigned>(rc)));
}

bool TLibEngineConfig::MayClose() const {
  return !FOpener || FOpener == ThisThreadMark() || FOpener->load(std::memory_order_acquire);
}

bool TLibEngineConfig::Close(bool engineEnded) {
  if (FConfig != 0 && FFina) {
    // The library would refuse without a word, and the wizard would be lost to us.
    if (!engineEnded && !MayClose()) return false;
    FFina(FConfig);
  }
  FConfig = 0;
  FParent = 0;
  FOpener.reset();
  RetirePort(FPort, FRetiredPorts);
  return true;
}

void TLibEngineConfig::Fina() {
  if (!Close() && FEngineObj)
    FEngineObj->SendMessage(2, Ansi("配置向导只能由打开它的线程关闭，它仍然打开。"));
}

void TLibEngineConfig::Retire() {
  Close();
  // The wizard's copy goes out of service with the engine, whether the wizard closed or not.
  RetirePort(FPort, FRetiredPorts);
  FHandle = 0;
  FInit = nullptr;
  FUpdate = FNext = FPrevious = FFirst = FLast = nullptr;
  FIsBOF = FIsEOF = FCheckSucceed = nullptr;
  FConfigPort = nullptr;
  if (FConfig == 0) FFina = nullptr;
}

void TLibEngineConfig::CloseLeftOpen() {
  Close(true);
  FFina = nullptr;
}

bool TLibEngineConfig::InUse() const {
  if (ForwardedCount() > 0 || (FPort && FPort->InUse())) return true;
  for (const auto& p : FRetiredPorts)
    if (p->InUse()) return true;
  return false;
}

IntfPtr<ITransPort> TLibEngineConfig::GetPort() {
  if (FPort) return static_cast<ITransPort*>(FPort.get());
  if (!FConfigPort || FConfig == 0) return nullptr;
  RynHandle h = FConfigPort(FConfig);
  if (h == 0) return nullptr;
  std::unique_ptr<TLibTransPort> port;
  // The port counts its references against the engine; it sends no conversion messages.
  IInterface* controller = Owner();
  if (FEngineType == kDirectionSource) port = std::make_unique<TLibImport>(controller, nullptr, FLib);
  else if (FEngineType == kDirectionDestination) port = std::make_unique<TLibExport>(controller, nullptr, FLib);
  if (!port || !port->Bind()) return nullptr;
  port->SetHandle(h);
  FPort = std::move(port);
  return static_cast<ITransPort*>(FPort.get());
}

// ---- engine ---------------------------------------------------------------------------------

TLibTransEngine::TLibTransEngine(LibHandle lib, IntfPtr<IInterface> factory)
    : FLib(lib), FFactory(std::move(factory)), FEventLink(lib::AddEventLink(nullptr)) {}

TLibTransEngine::~TLibTransEngine() {
  try {
    if (FActive || FHandle != 0) Fina();
  } catch (...) {
  }
  FRetiredPorts.clear();
  FRetiredConfigs.clear();
  FPort.reset();
  FConfig.reset();
  // Messages of a close the library finishes later find no sink any more.
  lib::RemoveEventLink(FEventLink);
}

bool TLibTransEngine::Bind() {
  bool ok = lib::Lookup(FLib, "EngineGetName", FEngineGetName) && lib::Lookup(FLib, "EngineGetType", FEngineGetType) &&
            lib::Lookup(FLib, "EngineInit", FEngineInit) && lib::Lookup(FLib, "EngineFina", FEngineFina) &&
            lib::Lookup(FLib, "EngineSetEvent", FEngineSetEvent);
  if (!ok) {
    FEngineGetName = nullptr;
    FEngineGetType = nullptr;
    FEngineInit = nullptr;
    FEngineFina = nullptr;
    FEngineSetEvent = nullptr;
    return false;
  }
  lib::Lookup(FLib, "EngineGetOptions", FEngineGetOptions);
  lib::Lookup(FLib, "EngineSetOptions", FEngineSetOptions);
  lib::Lookup(FLib, "EngineEstablished", FEngineEstablished);
  lib::Lookup(FLib, "EngineAbandon", FEngineAbandon);
  return true;
}

int32_t TLibTransEngine::QueryInterface(const TGUID& iid, void** obj) {
  // The attached sink answers for the engine.
  if (AnswerFor(FEvents, iid, obj)) return kS_OK;
  return QueryInterfaces<ITransEngine, IEngineAbandon>(this, iid, obj);
}

std::string TLibTransEngine::GetName() {
  if (!FEngineGetName) return std::string();
  int32_t len = 0;
  FEngineGetName(nullptr, &len);
  if (len > lib::kMaxTextLength) return std::string();
  std::string name(static_cast<size_t>(len > 0 ? len : 0), '\0');
  int32_t capacity = len > 0 ? len : 0;
  len = capacity;
  if (FEngineGetName(name.data(), &len) == 0) return std::string();
  name.resize(static_cast<size_t>(len < 0 ? 0 : len < capacity ? len : capacity));
  return name;
}

IntfPtr<ITransPort> TLibTransEngine::GetPort() {
  if (!FPort) return nullptr;
  return static_cast<ITransPort*>(FPort.get());
}

IntfPtr<IEngineConfig> TLibTransEngine::GetConfig() {
  if (!FConfig) return nullptr;
  return static_cast<IEngineConfig*>(FConfig.get());
}

void TLibTransEngine::SendMessage(int32_t kind, std::string_view text) {
  if (FEvents) FEvents->OnMessage(kind, text);
}

// The sink is held for the callback's length: the host may let the engine go inside it.
void RYN_CALL TLibTransEngine::MessageCallback(intptr_t context, int32_t kind, const char* text) {
  if (IntfPtr<ITransEvents> sink = lib::EventSink(context)) sink->OnMessage(kind, text ? text : "");
}

void RYN_CALL TLibTransEngine::StatusCallback(intptr_t context, const char* caption, const char* text) {
  if (IntfPtr<ITransEvents> sink = lib::EventSink(context)) sink->OnStatus(caption ? caption : "", text ? text : "");
}

void TLibTransEngine::SetEvents(ITransEvents* events) {
  if (!FEngineSetEvent || events == FEvents.get()) return;
  FEvents = events;
  lib::SetEventLink(FEventLink, events);
  if (FHandle == 0) return;  // registered by the next successful Init
  if (events) {
    const intptr_t context = FEventLink;
    RynMessageProc message = &MessageCallback;
    RynStatusProc status = &StatusCallback;
    FEngineSetEvent(FHandle, context, RYN_EVENT_MESSAGE, reinterpret_cast<void*>(message));
    FEngineSetEvent(FHandle, context, RYN_EVENT_STATUS, reinterpret_cast<void*>(status));
  } else {
    FEngineSetEvent(FHandle, 0, RYN_EVENT_MESSAGE, nullptr);
    FEngineSetEvent(FHandle, 0, RYN_EVENT_STATUS, nullptr);
  }
}

bool TLibTransEngine::Init(int32_t engineType) {
  if (!FEngineInit) {
    FActive = false;
    return false;
  }
  // Opening again closes the library's previous engine rather than leaking its handle.
  if (FHandle != 0) Fina();
  RynHandle handle = 0;
  int32_t rc = FEngineInit(engineType, &handle);
  if (rc != 0) {
    SendMessage(3, FormatText(InitFailedText().c_str(), GetName().c_str(), static_cast<unsigned>(rc)));
    FActive = false;
    return false;
  }
  FHandle = handle;
  // A sink given while closed is registered with the library now.
  if (IntfPtr<ITransEvents> sink = std::move(FEvents)) SetEvents(sink.get());

  auto config = std::make_unique<TLibEngineConfig>(Controller(), this, FLib);
  if (config->Bind()) {
    config->SetEngine(FHandle, engineType);
    FConfig = std::move(config);
  }

  std::unique_ptr<TLibTransPort> port;
  if (engineType == kDirectionSource) port = std::make_unique<TLibImport>(Controller(), this, FLib);
  else if (engineType == kDirectionDestination) port = std::make_unique<TLibExport>(Controller(), this, FLib);
  else return false;
  port->SetHandle(FHandle);
  if (!port->Bind()) {
    SendMessage(3, FormatText(InitFailedText().c_str(), GetName().c_str(), static_cast<unsigned>(kPortBindFailed)));
    // Close the library's engine too: nothing could use it without a port.
    Retire();
    FEngineFina(FHandle);
    Ended();
    FHandle = 0;
    FActive = false;
    return false;
  }
  FPort = std::move(port);
  FActive = true;
  return true;
}

void TLibTransEngine::Retire() {
  if (FConfig) {
    FConfig->Retire();
    FRetiredConfigs.push_back(std::move(FConfig));
  }
  RetirePort(FPort, FRetiredPorts);
}

void TLibTransEngine::Ended() {
  for (auto& config : FRetiredConfigs) {
    config->CloseLeftOpen();
    config->GiveRetiredPorts(FRetiredPorts);
  }
  std::unique_ptr<TLibTransPort> none;
  RetirePort(none, FRetiredPorts);
  std::erase_if(FRetiredConfigs, [](const std::unique_ptr<TLibEngineConfig>& c) { return !c->InUse(); });
}

void TLibTransEngine::Fina() {
  if (!FEngineFina || FHandle == 0) return;
  Retire();
  FEngineFina(FHandle);
  Ended();
  FHandle = 0;
  FActive = false;
}

void TLibTransEngine::Abandon() {
  if (!FEngineAbandon) {
    Fina();
    return;
  }
  if (FHandle == 0) return;
  Retire();
  FEngineAbandon(FHandle);
  Ended();
  FHandle = 0;
  FActive = false;
}

std::string TLibTransEngine::GetOptions() {
  if (!FEngineGetOptions) return std::string();
  int32_t len = 0;
  FEngineGetOptions(FHandle, nullptr, &len);
  if (len <= 0) return std::string();
  if (len > lib::kMaxTextLength) {
    SendMessage(18, FormatText(Ansi("%s的选项长度%d超出限度！").c_str(), GetName().c_str(), static_cast<int>(len)));
    return std::string();
  }
  std::string text(static_cast<size_t>(len), '\0');
  int32_t capacity = len;
  if (FEngineGetOptions(FHandle, text.data(), &len) == 0) return std::string();
  text.resize(static_cast<size_t>(len < 0 ? 0 : len < capacity ? len : capacity));
  return text;
}

int32_t TLibTransEngine::SetOptions(std::string_view options) {
  if (!FEngineSetOptions) return kOptionsUnsupported;
  int32_t rc = FEngineSetOptions(FHandle, std::string(options).c_str());
  InvalidatePortTypes();
  return rc;
}

}  // namespace ryn
