// The 35 exported engine functions. They turn handles back into the framework's objects,
// call their operations and answer with the documented result codes; no exception ever
// leaves them.
#include <cstring>

#include "boundary/event_adapter.h"
#include "boundary/firewall.h"
#include "boundary/registration.h"
#include "boundary/resolve.h"
#include "rynfiler.h"
#include "transport/object.h"

using namespace ryn;

namespace {

constexpr int32_t kTrue = -1;
constexpr int32_t kFalse = 0;
int32_t Truth(bool b) { return b ? kTrue : kFalse; }

}  // namespace

extern "C" {

RYN_API int32_t RYN_CALL EngineGetType(void) {
  return Firewall<int32_t>(0, [] { return Registration().engineTypes; });
}

RYN_API int32_t RYN_CALL EngineGetName(char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&] { return PutBuffer<char>(Registration().name, buffer, length); });
}

RYN_API int32_t RYN_CALL EngineDiscription(char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&] { return PutBuffer<char>(Registration().description, buffer, length); });
}

RYN_API int32_t RYN_CALL EngineInit(int32_t direction, RynHandle* handle) {
  return Firewall<int32_t>(RYN_E_NOTHING, [&]() -> int32_t {
    EngineFactoryFn factory;
    if (direction == RYN_SOURCE) factory = Registration().sourceFactory;
    else if (direction == RYN_DESTINATION) factory = Registration().destinationFactory;
    else return RYN_E_DIRECTION;
    // Without a place for the handle the engine could never be reached or closed.
    if (!factory || !handle) return RYN_E_NOTHING;
    IntfPtr<ITransEngine> engine = factory();
    if (!engine) return RYN_E_NOTHING;
    IntfPtr<TLibTransLogAdapter> adapter = MakeIntf<TLibTransLogAdapter>();
    engine->SetEvents(adapter.get());
    *handle = HandleList().AddEngine(engine.get());
    return RYN_OK;
  });
}

RYN_API void RYN_CALL EngineFina(RynHandle engine) {
  FirewallVoid([&] {
    if (IntfPtr<ITransEngine> e = ResolveEngine(engine)) {
      // The handle ends even when closing fails (the engine reported why).
      try {
        e->Fina();
      } catch (...) {
      }
      HandleList().Remove(engine);
    }
  });
}

RYN_API void RYN_CALL EngineSetEvent(RynHandle engine, intptr_t user, int32_t kind, void* callback) {
  FirewallVoid([&] {
    IntfPtr<ITransEngine> e = ResolveEngine(engine);
    if (!e) return;
    auto adapter = dynamic_cast<TLibTransLogAdapter*>(ImplementorOf(e.Query<ITransEvents>().get()));
    if (!adapter) return;
    adapter->user = user;
    if (kind == RYN_EVENT_MESSAGE) adapter->messageProc = reinterpret_cast<RynMessageProc>(callback);
    else if (kind == RYN_EVENT_STATUS) adapter->statusProc = reinterpret_cast<RynStatusProc>(callback);
  });
}

RYN_API int32_t RYN_CALL EngineGetOptions(RynHandle engine, char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    IntfPtr<ITransEngine> e = ResolveEngine(engine);
    if (!e) return 0;
    return PutBuffer<char>(e->GetOptions(), buffer, length);
  });
}

RYN_API int32_t RYN_CALL EngineSetOptions(RynHandle engine, const char* options) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    IntfPtr<ITransEngine> e = ResolveEngine(engine);
    if (!e) return RYN_E_HANDLE;
    return e->SetOptions(options ? std::string_view(options) : std::string_view());
  });
}

RYN_API int32_t RYN_CALL EngineEstablished(RynHandle engine) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    IntfPtr<ITransEngine> e = ResolveEngine(engine);
    if (!e) return RYN_E_HANDLE;
    return e->Established() ? 1 : 0;
  });
}

RYN_API void RYN_CALL MoveFirst(RynHandle engine) {
  FirewallVoid([&] {
    if (auto port = ResolvePort<IImport>(engine)) port->MoveFirst();
  });
}

RYN_API void RYN_CALL MoveNext(RynHandle engine) {
  FirewallVoid([&] {
    if (auto port = ResolvePort<IImport>(engine)) port->MoveNext();
  });
}

RYN_API int32_t RYN_CALL IsEof(RynHandle engine) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    auto port = ResolvePort<IImport>(engine);
    if (!port) return -1;
    return port->IsEof() ? 1 : 0;
  });
}

RYN_API int32_t RYN_CALL DataCount(RynHandle engine) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    auto port = ResolvePort<IImport>(engine);
    return port ? port->DataCount() : -1;
  });
}

RYN_API void RYN_CALL Append(RynHandle engine) {
  FirewallVoid([&] {
    if (auto port = ResolvePort<IExport>(engine)) port->Append();
  });
}

RYN_API void RYN_CALL Post(RynHandle engine) {
  FirewallVoid([&] {
    if (auto port = ResolvePort<IExport>(engine)) port->Post();
  });
}

RYN_API int32_t RYN_CALL ConfigInit(RynHandle engine, intptr_t parent, int32_t option, RynHandle* config) {
  return Firewall<int32_t>(RYN_E_NOTHING, [&]() -> int32_t {
    IntfPtr<ITransEngine> e = ResolveEngine(engine);
    if (!e) return RYN_E_HANDLE;
    int32_t type = e->GetEngineType();
    if (type != RYN_SOURCE && type != RYN_DESTINATION) return RYN_E_DIRECTION;
    IntfPtr<IEngineConfig> wizard = config ? e->GetConfig() : nullptr;
    if (!wizard) return RYN_E_NOTHING;
    wizard->Init(parent, (option & 0xFF) != 0);
    *config = HandleList().AddConfig(wizard.get());
    return RYN_OK;
  });
}

RYN_API void RYN_CALL ConfigFina(RynHandle config) {
  FirewallVoid([&] {
    if (auto c = HandleList().FindConfig(config)) {
      try {
        c->Fina();
      } catch (...) {
      }
      HandleList().Remove(config);
    }
  });
}

RYN_API RynHandle RYN_CALL ConfigPort(RynHandle config) {
  return Firewall<RynHandle>(0, [&]() -> RynHandle {
    auto c = HandleList().FindConfig(config);
    if (!c) return 0;
    auto engine = c->GetPort().Query<ITransEngine>();
    return reinterpret_cast<RynHandle>(engine.get());
  });
}

RYN_API int32_t RYN_CALL ConfigIsBOF(RynHandle config) {
  return Firewall<int32_t>(RYN_E_WIZARD_HANDLE, [&]() -> int32_t {
    auto c = HandleList().FindConfig(config);
    return c ? Truth(c->IsBOF()) : RYN_E_WIZARD_HANDLE;
  });
}

RYN_API int32_t RYN_CALL ConfigIsEOF(RynHandle config) {
  return Firewall<int32_t>(RYN_E_WIZARD_HANDLE, [&]() -> int32_t {
    auto c = HandleList().FindConfig(config);
    return c ? Truth(c->IsEOF()) : RYN_E_WIZARD_HANDLE;
  });
}

RYN_API int32_t RYN_CALL ConfigCheckSucceed(RynHandle config) {
  return Firewall<int32_t>(RYN_E_WIZARD_HANDLE, [&]() -> int32_t {
    auto c = HandleList().FindConfig(config);
    if (!c) return RYN_E_WIZARD_HANDLE;
    return c->CheckSucceed() ? 0 : -1;
  });
}

#define RYN_CONFIG_STEP(Name, Op)                               \
  RYN_API void RYN_CALL Name(RynHandle config) {                \
    FirewallVoid([&] {                                          \
      if (auto c = HandleList().FindConfig(config)) c->Op();    \
    });                                                         \
  }
RYN_CONFIG_STEP(ConfigFirst, First)
RYN_CONFIG_STEP(ConfigLast, Last)
RYN_CONFIG_STEP(ConfigNext, Next)
RYN_CONFIG_STEP(ConfigPrevious, Previous)
RYN_CONFIG_STEP(ConfigUpdate, Update)
#undef RYN_CONFIG_STEP

RYN_API int32_t RYN_CALL FieldGetCount(RynHandle engine) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    auto port = ResolvePort<ITransPort>(engine);
    return port ? port->GetFieldCount() : 0;
  });
}

RYN_API int32_t RYN_CALL FieldSetCount(RynHandle engine, int32_t count) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    auto port = ResolvePort<IExport>(engine);
    if (!port) return RYN_E_HANDLE;
    port->SetFieldCount(count);
    return RYN_OK;
  });
}

RYN_API int32_t RYN_CALL FieldGetName(RynHandle engine, int32_t index, char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    auto port = ResolvePort<ITransPort>(engine);
    if (!port) return 0;
    auto field = port->GetField(index);
    if (!field) return 0;
    return PutBuffer<char>(field->GetName(), buffer, length);
  });
}

RYN_API void RYN_CALL FieldSetName(RynHandle engine, int32_t index, const char* text, int32_t length) {
  FirewallVoid([&] {
    auto port = ResolvePort<ITransPort>(engine);
    if (!port) return;
    auto field = port->GetField(index);
    if (!field) return;
    field->SetName(text && length > 0 ? std::string_view(text, static_cast<size_t>(length)) : std::string_view());
  });
}

RYN_API int32_t RYN_CALL FieldGetType(RynHandle engine, int32_t index) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    auto port = ResolvePort<ITransPort>(engine);
    if (!port) return 0;
    auto field = port->GetField(index);
    return field ? field->GetDataType() : 0;
  });
}

RYN_API void RYN_CALL FieldSetType(RynHandle engine, int32_t index, int32_t type) {
  FirewallVoid([&] {
    if (auto port = ResolvePort<IExport>(engine)) port->SetFieldType(index, type);
  });
}

RYN_API int32_t RYN_CALL FieldFindbyName(RynHandle engine, const char* name) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    auto port = ResolvePort<ITransPort>(engine);
    if (!port || !name) return -1;
    auto field = port->FindField(name);
    return field ? field->GetIndex() : -1;
  });
}

RYN_API int32_t RYN_CALL FieldIsEmpty(RynHandle engine, int32_t index) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    auto field = ResolveField<IFieldReader>(engine, index);
    if (!field) return -1;
    return field->IsEmpty() ? -1 : 0;
  });
}

}  // extern "C"
