// TLibTransEngine presents an engine that lives in another library as ITransEngine: each
// operation becomes calls of that library's exported functions with the handle it handed
// out. TLibEngineConfig does the same for the library's configuration wizard.
#pragma once

#include <memory>
#include <vector>

#include "libengineport/lib_api.h"
#include "libengineport/lib_port.h"
#include "platform/thread_mark.h"
#include "transport/collect_object.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn {

class TLibTransEngine;

class TLibEngineConfig final : public TCollectObject, public virtual IEngineConfig {
 public:
  TLibEngineConfig(IInterface* controller, TLibTransEngine* engine, LibHandle lib)
      : TCollectObject(controller), FEngineObj(engine), FLib(lib) {}
  ~TLibEngineConfig() override;

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IEngineConfig>(this, iid, obj); }
  bool Init(NativeWindow parent, bool option) override;
  // The library lets only the thread that opened the wizard close it while that thread
  // runs; asked on another, the wizard stays open and the engine's sink is told so.
  void Fina() override;
  bool IsBOF() override { return FIsBOF ? FIsBOF(FConfig) != 0 : true; }
  bool IsEOF() override { return FIsEOF ? FIsEOF(FConfig) != 0 : true; }
  bool CheckSucceed() override { return FCheckSucceed ? FCheckSucceed(FConfig) == 0 : true; }
  void Update() override;
  void First() override { Call(FFirst); }
  void Last() override { Call(FLast); }
  void Next() override { Call(FNext); }
  void Previous() override { Call(FPrevious); }
  IntfPtr<ITransPort> GetPort() override;

  bool Bind();
  void SetEngine(RynHandle handle, int32_t engineType) {
    FHandle = handle;
    FEngineType = engineType;
  }
  // Closes the wizard and forgets the engine's handle and the library's functions: the
  // engine is closing, and its handle may come back for another engine. A wizard this
  // thread may not close yet stays open until CloseLeftOpen.
  void Retire();
  // Once the engine has ended: closes the wizard Retire left open (the library lets any
  // thread close a wizard of an ended engine) and forgets the wizard's handle.
  void CloseLeftOpen();
  // Moves the ports it retired to the engine's list, which outlives the configuration.
  void GiveRetiredPorts(std::vector<std::unique_ptr<TLibTransPort>>& to) {
    for (auto& p : FRetiredPorts) to.push_back(std::move(p));
    FRetiredPorts.clear();
  }
  bool InUse() const;

 private:
  void Call(lib::ConfigProcFn fn) {
    if (fn) fn(FConfig);
  }
  // Whether the library lets this thread close the open wizard now.
  bool MayClose() const;
  // Closes the wizard where this thread may (any thread once the engine has ended);
  // false when it stays open.
  bool Close(bool engineEnded = false);

  TLibTransEngine* FEngineObj;
  LibHandle FLib;
  RynHandle FHandle = 0;
  int32_t FEngineType = 0;
  NativeWindow FParent = 0;
  RynHandle FConfig = 0;
  ThreadMark FOpener;  // the thread that opened the wizard
  std::unique_ptr<TLibTransPort> FPort;
  std::vector<std::unique_ptr<TLibTransPort>> FRetiredPorts;
  lib::ConfigInitFn FInit = nullptr;
  lib::ConfigProcFn FFina = nullptr, FUpdate = nullptr, FNext = nullptr, FPrevious = nullptr, FFirst = nullptr,
                    FLast = nullptr;
  lib::ConfigQueryFn FIsBOF = nullptr, FIsEOF = nullptr, FCheckSucceed = nullptr;
  lib::ConfigPortFn FConfigPort = nullptr;
};

class TLibTransEngine final : public TInterfacedObject, public virtual ITransEngine, public virtual IEngineAbandon {
 public:
  // factory: kept so that the library stays loaded while the engine lives.
  TLibTransEngine(LibHandle lib, IntfPtr<IInterface> factory);
  ~TLibTransEngine() override;

  // Looks the engine functions up; false (nothing kept) when a required one is missing.
  bool Bind();

  int32_t QueryInterface(const TGUID& iid, void** obj) override;
  std::string GetName() override;
  int32_t GetEngineType() override { return FEngineGetType ? FEngineGetType() : 0; }
  IntfPtr<ITransPort> GetPort() override;
  void SetEvents(ITransEvents* events) override;
  bool Init(int32_t engineType) override;
  bool IsActive() override { return FActive; }
  void Fina() override;
  // The library's optional EngineAbandon; Fina for a library without it.
  void Abandon() override;
  IntfPtr<IEngineConfig> GetConfig() override;
  std::string GetOptions() override;
  int32_t SetOptions(std::string_view options) override;
  // The library answers 1, 0 or its "unknown handle" code; only 1 lets the engine run.
  bool Established() override { return FEngineEstablished ? FEngineEstablished(FHandle) == 1 : true; }

  // The field list may have changed: ports ask the library for field types again.
  void InvalidatePortTypes() {
    if (FPort) FPort->InvalidateTypes();
  }
  // Passes a message to the attached sink, if any.
  void SendMessage(int32_t kind, std::string_view text);

 private:
  static void RYN_CALL MessageCallback(intptr_t context, int32_t kind, const char* text);
  static void RYN_CALL StatusCallback(intptr_t context, const char* caption, const char* text);
  IInterface* Controller() { return static_cast<ITransEngine*>(this); }
  // Takes the port and the configuration out of service. Objects a caller still holds
  // stay alive (inert) until the engine goes, so a held field is never a dangling one.
  void Retire();
  // After the library's engine has ended: closes the wizards Retire had to leave open and
  // frees the configurations nobody holds.
  void Ended();

  LibHandle FLib;
  IntfPtr<IInterface> FFactory;
  lib::EngineGetNameFn FEngineGetName = nullptr;
  lib::EngineGetTypeFn FEngineGetType = nullptr;
  lib::EngineInitFn FEngineInit = nullptr;
  lib::EngineFinaFn FEngineFina = nullptr;
  lib::EngineAbandonFn FEngineAbandon = nullptr;  // optional
  lib::EngineSetEventFn FEngineSetEvent = nullptr;
  lib::EngineGetOptionsFn FEngineGetOptions = nullptr;
  lib::EngineSetOptionsFn FEngineSetOptions = nullptr;
  lib::EngineEstablishedFn FEngineEstablished = nullptr;
  RynHandle FHandle = 0;
  bool FActive = false;
  IntfPtr<ITransEvents> FEvents;
  // The user value of the library's callbacks: it names FEvents, see lib_event_links.h.
  intptr_t FEventLink;
  std::unique_ptr<TLibEngineConfig> FConfig;
  std::unique_ptr<TLibTransPort> FPort;
  std::vector<std::unique_ptr<TLibEngineConfig>> FRetiredConfigs;
  std::vector<std::unique_ptr<TLibTransPort>> FRetiredPorts;
};

}  // namespace ryn
