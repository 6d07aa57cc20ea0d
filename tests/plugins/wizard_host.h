// A host of an engine library's configuration wizard: an engine of the library opened
// through its exported functions with its messages and status lines recorded, and a form
// of ours whose page the wizard is embedded in by ConfigInit. Everything else goes through
// the exported Config* functions, as a host's own buttons would.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plugins/source_host.h"
#include "ui/dialogs.h"
#include "ui/driver.h"

namespace ryn::testing {

using Statuses = std::vector<std::pair<std::string, std::string>>;

class WizardHost {
 public:
  explicit WizardHost(const std::string& library);
  // Closes a wizard still open, then the engine.
  ~WizardHost();
  WizardHost(const WizardHost&) = delete;
  WizardHost& operator=(const WizardHost&) = delete;

  int32_t SetOptions(const std::string& options) const;
  std::string Options() const;  // EngineGetOptions
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
  // The name of the wizard's page on show.
  std::string ShownPage() const;
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
    return lib.Get<R (*)(RynHandle)>(name)(config);
  }
  size_t boxesSeen_ = 0;
  bool finished_ = true;
};

// An options text as the engines write it.
std::string OptionsText(const std::vector<std::pair<const char*, std::string>>& entries);

}  // namespace ryn::testing
