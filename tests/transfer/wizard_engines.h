// Engines, factories and a configuration wizard for driving the transfer wizard in tests.
// WizEngine serves a given port under a given name and may refuse to open; FakeConfig is
// a two-page configuration wizard that embeds a form in the window it is given, logs the
// calls that move or commit it, and sets the dialog's header through the engine's sink.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "transport/errors.h"
#include "transport/interfaces.h"
#include "transport/object.h"
#include "ui/form.h"

namespace ryn::testing {

class WizEngine;

class FakeConfig final : public TInterfacedObject, public virtual IEngineConfig {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransConfigWise, IEngineConfig>(this, iid, obj);
  }
  bool Init(NativeWindow parent, bool option) override {
    log.push_back(option ? "Init" : "Init(false)");
    if (initThrows) throw ETransConfigError("config failed");
    parentWindow = parent;
    if (!startOk) return false;
    form = std::make_unique<ui::Form>();
    form->SetParentWindow(parent);
    form->Show();
    return true;
  }
  void Fina() override {
    log.push_back("Fina");
    form.reset();
  }
  bool IsBOF() override { return pos <= 0; }
  bool IsEOF() override { return pos >= pages - 1; }
  bool CheckSucceed() override {
    log.push_back(checkOk ? "Check" : "Check(no)");
    return checkOk;
  }
  void Update() override { log.push_back("Update"); }
  void First() override { Go("First", 0); }
  void Last() override { Go("Last", pages - 1); }
  void Next() override { Go("Next", pos + 1); }
  void Previous() override { Go("Previous", pos - 1); }
  IntfPtr<ITransPort> GetPort() override { return port; }

  // The engine's sink hears the page's header, as an engine's wizard tells it.
  ITransEvents* sink = nullptr;
  std::vector<std::string> log;
  int pages = 2;
  int pos = -1;
  bool startOk = true;
  bool initThrows = false;
  bool checkOk = true;
  NativeWindow parentWindow = 0;
  IntfPtr<ITransPort> port;  // the working copy the wizard edits
  std::unique_ptr<ui::Form> form;

 private:
  void Go(const char* what, int to) {
    log.push_back(what);
    pos = to;
    if (sink) sink->OnStatus("page" + std::to_string(pos), "text" + std::to_string(pos));
  }
};

class WizEngine final : public TInterfacedObject, public virtual ITransEngine {
 public:
  WizEngine(std::string name, int32_t types, IntfPtr<ITransPort> port)
      : name_(std::move(name)), types_(types), port_(std::move(port)) {}
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransEngine>(this, iid, obj); }
  std::string GetName() override { return name_; }
  int32_t GetEngineType() override { return types_; }
  IntfPtr<ITransPort> GetPort() override { return port_; }
  void SetEvents(ITransEvents* e) override {
    events = e;
    if (config) config->sink = e;
  }
  bool Init(int32_t direction) override {
    ++inits;
    active = canOpen && (types_ & direction) != 0;
    return active;
  }
  bool IsActive() override { return active; }
  void Fina() override {
    ++finas;
    active = false;
  }
  IntfPtr<IEngineConfig> GetConfig() override { return config; }
  std::string GetOptions() override { return {}; }
  int32_t SetOptions(std::string_view) override { return 0; }
  bool Established() override { return true; }

  IntfPtr<FakeConfig> config;
  IntfPtr<ITransEvents> events;
  bool canOpen = true;
  bool active = false;
  int inits = 0;
  int finas = 0;

 private:
  std::string name_;
  int32_t types_;
  IntfPtr<ITransPort> port_;
};

class WizFactory final : public TInterfacedObject, public virtual ITransEngineFactory {
 public:
  WizFactory(std::string name, int32_t types, std::function<IntfPtr<WizEngine>()> make)
      : name_(std::move(name)), types_(types), make_(std::move(make)) {}
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEngineFactory>(this, iid, obj);
  }
  std::string GetName() override { return name_; }
  int32_t GetEngineTypes() override { return types_; }
  std::string GetDescription() override { return name_ + " description"; }
  IntfPtr<ITransEngine> CreateEngine() override {
    last = make_ ? make_() : nullptr;
    created.push_back(last);
    return last;
  }

  IntfPtr<WizEngine> last;
  std::vector<IntfPtr<WizEngine>> created;

 private:
  std::string name_;
  int32_t types_;
  std::function<IntfPtr<WizEngine>()> make_;
};

}  // namespace ryn::testing
