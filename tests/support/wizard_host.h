// A host of an engine library's configuration wizard: an engine of the library opened
// through its exported functions with its messages and status lines recorded, and a form
// of ours whose page the wizard is embedded in by ConfigInit. Everything else goes through
// the exported Config* functions, as a host's own buttons would. Serves every engine
// library we build: the exchange file engine's and the sources'.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/exported_library.h"
#include "support/ui_driver.h"
#include "ui/dialogs.h"

namespace ryn::testing {

using Statuses = std::vector<std::pair<std::string, std::string>>;

class WizardHost {
 public:
  // An engine of the library at path, of that direction (RYN_SOURCE or RYN_DESTINATION).
  explicit WizardHost(const std::string& library, int32_t direction = RYN_SOURCE);
  // Closes a wizard still open, then the engine.
  ~WizardHost();
  WizardHost(const WizardHost&) = delete;
  WizardHost& operator=(const WizardHost&) = delete;

  int32_t SetOptions(const std::string& options) const;
  std::string Options() const { return OptionsOf(engine); }  // EngineGetOptions
  // EngineGetOptions of any handle of the library (the wizard's port, say); empty for an
  // unknown one.
  std::string OptionsOf(RynHandle h) const;
  // ConfigInit into the page; the result code. The configuration handle is kept, and
  // still asked after Fina.
  int32_t Open();
  void Fina();
  int32_t Check() const { return call<int32_t>("ConfigCheckSucceed"); }
  int32_t IsBOF() const { return call<int32_t>("ConfigIsBOF"); }
  int32_t IsEOF() const { return call<int32_t>("ConfigIsEOF"); }
  void First() const { call<void>("ConfigFirst"); }
  void Last() const { call<void>("ConfigLast"); }
  void Next() const { call<void>("ConfigNext"); }
  void Previous() const { call<void>("ConfigPrevious"); }
  void Update() const { call<void>("ConfigUpdate"); }
  RynHandle Port() const { return call<RynHandle>("ConfigPort"); }
  int32_t FieldCount(RynHandle h) const;
  void CloseEngine();  // EngineFina, as a careless host might do while the wizard is open

  // A control of the embedded wizard.
  template <class T>
  T& Get(const char* name) const {
    return ui::ControlOf<T>(*page, name);
  }
  bool Click(const char* button) const { return ui::Click(Get<ui::Button>(button)); }
  // The name of the wizard's page on show.
  std::string ShownPage() const;
  // The captions of a list view's items, in order.
  std::vector<std::string> Captions(const char* list) const;
  // The message boxes shown since the last call.
  std::vector<ui::MessageBoxRecord> TakeBoxes();

  ExportedLibrary lib;
  RynHandle engine = 0;
  RynHandle config = 0;
  Messages messages;
  Statuses statuses;
  ui::Form form;
  ui::Page* page = nullptr;

 private:
  template <class R>
  R call(const char* name) const {
    return lib.Get<R(RYN_CALL*)(RynHandle)>(name)(config);
  }
  size_t boxesSeen_ = 0;
  bool finished_ = true;
};

// An options text as the engines write it.
std::string OptionsText(const std::vector<std::pair<const char*, std::string>>& entries);

}  // namespace ryn::testing
