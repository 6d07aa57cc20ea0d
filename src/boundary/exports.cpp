// The 35 exported engine functions. They turn handles back into the framework's objects,
// call their operations and answer with the documented result codes; no exception ever
// leaves them.
#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "boundary/event_adapter.h"
#include "boundary/firewall.h"
#include "boundary/registration.h"
#include "boundary/resolve.h"
#include "boundary/wizard_owners.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "rynfiler.h"
#include "transport/object.h"

using namespace ryn;

namespace {

constexpr int32_t kTrue = -1;
constexpr int32_t kFalse = 0;
int32_t Truth(bool b) { return b ? kTrue : kFalse; }

HandleCall EnterOwnedConfig(intptr_t handle) {
  if (!WizardOwners().MayDrive(handle)) return {};
  return EnterConfig(handle);
}

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
    // Texts in an encoding that cannot hold them would turn keys and names into "?".
    if (Registration().startupFailed || !CodePageProblem().empty()) return RYN_E_NOTHING;
    IntfPtr<ITransEngine> engine = factory();
    if (!engine) return RYN_E_NOTHING;
    IntfPtr<TLibTransLogAdapter> adapter = MakeIntf<TLibTransLogAdapter>();
    engine->SetEvents(adapter.get());
    intptr_t h = HandleList().AddEngine(engine.get());
    if (!h) return RYN_E_NOTHING;
    *handle = h;
    return RYN_OK;
  });
}

RYN_API void RYN_CALL EngineFina(RynHandle engine) {
  // The handle ends at once; the engine's Fina runs when no other call is inside it, and
  // the handle ends even when closing fails (the engine reported why). The host learns
  // the end when this returns, unless it ends the handle from inside a callback of ours:
  // that thread may be inside the very call that has to return first.
  FirewallVoid([&] {
    HandleList().Retire(engine, THandleList::Kind::kEngine, THandleList::End::kFina, !InsideHostCallback());
  });
}

RYN_API int32_t RYN_CALL EngineAbandon(RynHandle engine) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    return HandleList().Retire(engine, THandleList::Kind::kEngine, THandleList::End::kAbandon, !InsideHostCallback())
               ? RYN_OK
               : RYN_E_HANDLE;
  });
}

RYN_API void RYN_CALL EngineSetEvent(RynHandle engine, intptr_t user, int32_t kind, void* callback) {
  FirewallVoid([&] {
    HandleCall call = EnterEngine(engine);
    if (!call) return;
    auto adapter = dynamic_cast<TLibTransLogAdapter*>(ImplementorOf(QueryIntf<ITransEvents>(call.Engine()).get()));
    if (!adapter) return;
    adapter->SetUser(user);
    if (kind == RYN_EVENT_MESSAGE) adapter->SetMessageProc(reinterpret_cast<RynMessageProc>(callback));
    else if (kind == RYN_EVENT_STATUS) adapter->SetStatusProc(reinterpret_cast<RynStatusProc>(callback));
  });
}

RYN_API int32_t RYN_CALL EngineGetOptions(RynHandle engine, char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    if (!call) return 0;
    return PutBuffer<char>(call.Engine()->GetOptions(), buffer, length);
  });
}

RYN_API int32_t RYN_CALL EngineSetOptions(RynHandle engine, const char* options) {
  try {
    HandleCall call = EnterEngine(engine);
    if (!call) return RYN_E_HANDLE;
    return call.Engine()->SetOptions(options ? std::string_view(options) : std::string_view());
  } catch (const EStreamError&) {
    return RYN_E_WRITE;
  } catch (...) {
    if (ForeignException()) throw;
    return RYN_E_FAILED;
  }
}

RYN_API int32_t RYN_CALL EngineEstablished(RynHandle engine) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    if (!call) return RYN_E_HANDLE;
    return call.Engine()->Established() ? 1 : 0;
  });
}

RYN_API void RYN_CALL MoveFirst(RynHandle engine) {
  FirewallVoid([&] {
    if (HandleCall call = EnterEngine(engine)) {
      IntfPtr<IImport> hold;
      if (IImport* port = RecordPort(call, hold)) port->MoveFirst();
    }
  });
}

RYN_API void RYN_CALL MoveNext(RynHandle engine) {
  FirewallVoid([&] {
    if (HandleCall call = EnterEngine(engine)) {
      IntfPtr<IImport> hold;
      if (IImport* port = RecordPort(call, hold)) port->MoveNext();
    }
  });
}

RYN_API int32_t RYN_CALL IsEof(RynHandle engine) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    if (!call) return -1;
    IntfPtr<IImport> hold;
    IImport* port = RecordPort(call, hold);
    if (!port) return -1;
    return port->IsEof() ? 1 : 0;
  });
}

RYN_API int32_t RYN_CALL DataCount(RynHandle engine) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    auto port = call ? PortOf<IImport>(call) : nullptr;
    return port ? port->DataCount() : -1;
  });
}

RYN_API int32_t RYN_CALL EngineGetRecordProblem(RynHandle engine, int32_t index, int32_t* field) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    if (!call) return 0;
    IntfPtr<IRecordProblems> held;
    IRecordProblems* problems = call.RecordProblems();
    if (!problems) problems = (held = PortOf<IRecordProblems>(call)).get();
    int32_t at = -1, kind = 0;
    if (!problems || !problems->GetRecordProblem(index, at, kind)) return 0;
    if (field) *field = at;
    return kind;
  });
}

RYN_API void RYN_CALL Append(RynHandle engine) {
  FirewallVoid([&] {
    if (HandleCall call = EnterEngine(engine)) {
      IntfPtr<IExport> hold;
      if (IExport* port = RecordPort(call, hold)) port->Append();
    }
  });
}

RYN_API void RYN_CALL Post(RynHandle engine) {
  FirewallVoid([&] {
    if (HandleCall call = EnterEngine(engine)) {
      IntfPtr<IExport> hold;
      if (IExport* port = RecordPort(call, hold)) port->Post();
    }
  });
}

RYN_API int32_t RYN_CALL ConfigInit(RynHandle engine, intptr_t parent, int32_t option, RynHandle* config) {
  return Firewall<int32_t>(RYN_E_NOTHING, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    if (!call) return RYN_E_HANDLE;
    ITransEngine* e = call.Engine();
    int32_t type = e->GetEngineType();
    if (type != RYN_SOURCE && type != RYN_DESTINATION) return RYN_E_DIRECTION;
    IntfPtr<IEngineConfig> wizard = config ? e->GetConfig() : nullptr;
    if (!wizard) return RYN_E_NOTHING;
    wizard->Init(parent, (option & 0xFF) != 0);
    intptr_t h = HandleList().AddConfig(wizard.get());
    if (!h) {
      wizard->Fina();
      return RYN_E_NOTHING;
    }
    WizardOwners().Own(h, engine);
    *config = h;
    return RYN_OK;
  });
}

RYN_API void RYN_CALL ConfigFina(RynHandle config) {
  FirewallVoid([&] {
    // A wizard of an ended engine is let go by any thread: the engine's end may come from
    // a worker while the opener's window thread runs on, and only closing is left to do.
    // Handles are never issued twice, so an engine handle that no longer enters has ended.
    if (!WizardOwners().MayClose(config) && EnterEngine(WizardOwners().EngineOf(config))) return;
    if (HandleList().Retire(config, THandleList::Kind::kConfig, THandleList::End::kFina)) WizardOwners().Forget(config);
  });
}

RYN_API RynHandle RYN_CALL ConfigPort(RynHandle config) {
  return Firewall<RynHandle>(0, [&]() -> RynHandle {
    HandleCall call = EnterOwnedConfig(config);
    if (!call) return 0;
    // The wizard listed its engine when it opened; the host gets that handle.
    auto engine = call.Config()->GetPort().Query<ITransEngine>();
    return HandleList().HandleOf(engine.get());
  });
}

RYN_API int32_t RYN_CALL ConfigIsBOF(RynHandle config) {
  return Firewall<int32_t>(RYN_E_WIZARD_HANDLE, [&]() -> int32_t {
    HandleCall c = EnterOwnedConfig(config);
    return c ? Truth(c.Config()->IsBOF()) : RYN_E_WIZARD_HANDLE;
  });
}

RYN_API int32_t RYN_CALL ConfigIsEOF(RynHandle config) {
  return Firewall<int32_t>(RYN_E_WIZARD_HANDLE, [&]() -> int32_t {
    HandleCall c = EnterOwnedConfig(config);
    return c ? Truth(c.Config()->IsEOF()) : RYN_E_WIZARD_HANDLE;
  });
}

RYN_API int32_t RYN_CALL ConfigCheckSucceed(RynHandle config) {
  return Firewall<int32_t>(RYN_E_WIZARD_HANDLE, [&]() -> int32_t {
    HandleCall c = EnterOwnedConfig(config);
    if (!c) return RYN_E_WIZARD_HANDLE;
    return c.Config()->CheckSucceed() ? 0 : -1;
  });
}

#define RYN_CONFIG_STEP(Name, Op)                               \
  RYN_API void RYN_CALL Name(RynHandle config) {                \
    FirewallVoid([&] {                                          \
      if (HandleCall c = EnterOwnedConfig(config)) c.Config()->Op();    \
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
    HandleCall call = EnterEngine(engine);
    auto port = call ? PortOf<ITransPort>(call) : nullptr;
    return port ? port->GetFieldCount() : 0;
  });
}

RYN_API int32_t RYN_CALL FieldSetCount(RynHandle engine, int32_t count) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    auto port = call ? PortOf<IExport>(call) : nullptr;
    if (!port) return RYN_E_HANDLE;
    port->SetFieldCount(count);
    return RYN_OK;
  });
}

RYN_API int32_t RYN_CALL FieldGetName(RynHandle engine, int32_t index, char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    auto port = call ? PortOf<ITransPort>(call) : nullptr;
    if (!port) return 0;
    auto field = port->GetField(index);
    if (!field) return 0;
    return PutBuffer<char>(field->GetName(), buffer, length);
  });
}

RYN_API void RYN_CALL FieldSetName(RynHandle engine, int32_t index, const char* text, int32_t length) {
  FirewallVoid([&] {
    HandleCall call = EnterEngine(engine);
    auto port = call ? PortOf<ITransPort>(call) : nullptr;
    if (!port) return;
    auto field = port->GetField(index);
    if (!field) return;
    field->SetName(text && length > 0 ? std::string_view(text, static_cast<size_t>(length)) : std::string_view());
  });
}

RYN_API int32_t RYN_CALL FieldGetType(RynHandle engine, int32_t index) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    auto port = call ? PortOf<ITransPort>(call) : nullptr;
    if (!port) return 0;
    auto field = port->GetField(index);
    return field ? field->GetDataType() : 0;
  });
}

RYN_API void RYN_CALL FieldSetType(RynHandle engine, int32_t index, int32_t type) {
  FirewallVoid([&] {
    if (HandleCall call = EnterEngine(engine))
      if (auto port = PortOf<IExport>(call)) port->SetFieldType(index, type);
  });
}

RYN_API int32_t RYN_CALL FieldFindbyName(RynHandle engine, const char* name) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    auto port = call ? PortOf<ITransPort>(call) : nullptr;
    if (!port || !name) return -1;
    auto field = port->FindField(name);
    return field ? field->GetIndex() : -1;
  });
}

RYN_API int32_t RYN_CALL FieldIsEmpty(RynHandle engine, int32_t index) {
  return Firewall<int32_t>(-1, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    if (!call) return -1;
    IntfPtr<IFieldReader> hold;
    IFieldReader* field = FieldOf(call, index, hold);
    if (!field) return -1;
    return field->IsEmpty() ? -1 : 0;
  });
}

RYN_API int32_t RYN_CALL FieldGetValueText(RynHandle engine, int32_t index, char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    if (length && !buffer) *length = 0;
    HandleCall call = EnterEngine(engine);
    IntfPtr<IFieldReader> hold;
    IFieldReader* field = call ? FieldOf(call, index, hold) : nullptr;
    if (!field) {
      if (length) *length = 0;
      return 0;
    }
    return PutBuffer<char>(field->GetAsString(), buffer, length);
  });
}

namespace {

// The texts of the current record's fields first .. first + count - 1, as
// EngineGetRecordTexts hands them out.
int32_t PlaceRecordTexts(const HandleCall& call, int32_t first, int32_t count, const char** texts, int32_t* lengths) {
  if (count <= 0 || first < 0 || !texts || !lengths) return 0;
  // The engine listed with them (our sources are their own port), else its port.
  IntfPtr<IRecordTexts> held;
  IRecordTexts* source = call.RecordTexts();
  if (!source) source = (held = PortOf<IRecordTexts>(call)).get();
  if (!source) return 0;
  // A host asks for a record's fields at once; a few at a time keeps the views on the
  // stack. (Not a thread_local buffer: one with a destructor keeps a library from being
  // unloaded when its host lets it go.)
  constexpr int32_t kBatch = 16;
  std::string_view views[kBatch];
  int32_t placed = 0;
  while (placed < count) {
    const int32_t want = std::min(count - placed, kBatch);
    const int32_t got =
        source->GetRecordTexts(first + placed, std::span<std::string_view>(views, static_cast<size_t>(want)));
    for (int32_t i = 0; i < got; ++i) {
      // A value longer than a length can tell is cut to what it can.
      const size_t n = std::min<size_t>(views[i].size(), INT32_MAX);
      texts[placed + i] = views[i].data();
      lengths[placed + i] = static_cast<int32_t>(n);
    }
    placed += got;
    if (got < want) break;
  }
  return placed;
}

}  // namespace

RYN_API int32_t RYN_CALL EngineGetRecordTexts(RynHandle engine, int32_t first, int32_t count, const char** texts,
                                              int32_t* lengths) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    if (count <= 0 || first < 0 || !texts || !lengths) return 0;
    HandleCall call = EnterEngine(engine);
    return call ? PlaceRecordTexts(call, first, count, texts, lengths) : 0;
  });
}

RYN_API int32_t RYN_CALL EngineMoveNextRecord(RynHandle engine, int32_t count, const char** texts, int32_t* lengths,
                                              int32_t* placed) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    IntfPtr<IImport> hold;
    IImport* port = call ? RecordPort(call, hold) : nullptr;
    if (!port) return RYN_E_HANDLE;
    if (placed) *placed = 0;
    port->MoveNext();
    if (port->IsEof()) return RYN_RECORD_END;
    int32_t state = 0;
    IntfPtr<IRecordProblems> heldProblems;
    IRecordProblems* problems = call.RecordProblems();
    if (!problems) problems = (heldProblems = PortOf<IRecordProblems>(call)).get();
    int32_t field = -1, kind = 0;
    if (problems && problems->GetRecordProblem(0, field, kind)) state |= RYN_RECORD_PROBLEMS;
    const int32_t n = PlaceRecordTexts(call, 0, count, texts, lengths);
    if (placed) *placed = n;
    return state;
  });
}

RYN_API int32_t RYN_CALL EnginePostRecordTexts(RynHandle engine, int32_t count, const int32_t* fields,
                                               const char* const* texts, const int32_t* lengths) {
  return Firewall<int32_t>(RYN_E_HANDLE, [&]() -> int32_t {
    HandleCall call = EnterEngine(engine);
    IntfPtr<IExport> hold;
    IExport* port = call ? RecordPort(call, hold) : nullptr;
    if (!port) return RYN_E_HANDLE;
    // An engine that takes a record's texts itself is spared the field lookup per value.
    IRecordPost* direct = call.RecordPost();
    if (direct && direct->PostRecordTexts(count, fields, texts, lengths)) return RYN_OK;
    for (int32_t i = 0; i < count && fields && texts && lengths; ++i) {
      // Each value as the text setter sets it: one that fails writes nothing and the
      // others still go.
      FirewallVoid([&] {
        const std::string_view text =
            texts[i] && lengths[i] > 0 ? std::string_view(texts[i], static_cast<size_t>(lengths[i])) : std::string_view();
        if (direct && direct->HoldText(fields[i], text)) return;
        IntfPtr<IFieldWriter> held;
        if (IFieldWriter* f = FieldOf(call, fields[i], held)) f->SetAsString(text);
      });
    }
    port->Post();
    return RYN_OK;
  });
}

}  // extern "C"
