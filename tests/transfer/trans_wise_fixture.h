// The fixture of the transfer wizard's tests: registered test factories, a frame whose
// owner has a sink of its own, and the wizard shown with a driver that acts on it (and on
// the formula editor when that opens).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "expr/common_functions.h"
#include "platform/codepage.h"
#include "support/recording_events.h"
#include "support/table_ports.h"
#include "transfer/trans_frame.h"
#include "transfer/trans_wise.h"
#include "transfer/wizard_engines.h"
#include "transport/registries.h"
#include "ui/dialogs.h"
#include "support/ui_driver.h"

namespace ryn::testing {

inline ui::DialogService& Dialogs() { return ui::Application::Instance().Dialogs(); }

inline IntfPtr<TableSource> SourcePort(std::vector<Column> columns, std::vector<std::vector<std::string>> rows = {}) {
  return MakeIntf<TableSource>(std::move(columns), std::move(rows));
}

inline IntfPtr<WizEngine> SourceEngine(std::string name, std::vector<Column> columns = {{"a", 6}, {"b", 65}},
                                std::vector<std::vector<std::string>> rows = {}) {
  auto port = SourcePort(std::move(columns), std::move(rows));
  return MakeIntf<WizEngine>(std::move(name), kDirectionSource, IntfPtr<ITransPort>(static_cast<IImport*>(port.get())));
}

inline IntfPtr<WizEngine> DestEngine(std::string name, IntfPtr<TableDest> port) {
  return MakeIntf<WizEngine>(std::move(name), kDirectionDestination,
                             IntfPtr<ITransPort>(static_cast<IExport*>(port.get())));
}

inline IntfPtr<TableDest> FiveFields() {
  return MakeIntf<TableDest>(std::vector<Column>{{"p0", 65}, {"p1", 6}, {"p2", 65}, {"p3", 65}, {"p4", 6}});
}

// The kMbIcon... of a message box.
inline uint32_t Icon(const ui::MessageBoxRecord& box) { return box.flags & ui::kMbIconMask; }

class TransWiseTest : public ::testing::Test {
 protected:
  TransWiseTest() {
    FreeTransEngineFactories();
    Dialogs().Reset();
    Frame().SetEvents(owner.get());
  }
  ~TransWiseTest() override {
    if (wizard) wizard->Destroy();
    FreeTransEngineFactories();
    Dialogs().Reset();
  }

  IntfPtr<WizFactory> Factory(std::string name, int32_t types, std::function<IntfPtr<WizEngine>()> make) {
    auto factory = MakeIntf<WizFactory>(std::move(name), types, std::move(make));
    GetTransEngineFactories().Register(factory.get());
    return factory;
  }
  IntfPtr<WizFactory> SourceFactory(const std::string& name, std::vector<Column> columns = {{"a", 6}, {"b", 65}}) {
    return Factory(name, kDirectionSource, [name, columns] { return SourceEngine(name, columns); });
  }
  // Fixed engines without wizards on both sides: the wizard starts on the relations page.
  void FixedEngines(IntfPtr<TableDest> port, const std::string& script) {
    fixedSource = SourceEngine("fixed");
    fixedDest = DestEngine("dest", std::move(port));
    Frame().SetImportEngine(fixedSource.get(), false);
    Frame().SetExportEngine(fixedDest.get(), false);
    Frame().GetScriptHost()->SetScript(script);
  }

  void Start() {
    wizard = MakeIntf<TTransFrom>();
    wizard->SetFrame(&Frame());
  }
  // Shows the wizard: user acts on it, editor on the formula editor when that opens.
  int Show(const std::function<void()>& user, const std::function<void(ui::Form&)>& editor = nullptr) {
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      if (&form == &wizard->Window()) user();
      else if (editor) editor(form);
    });
    return wizard->ShowModal();
  }

  template <class T>
  T& Get(const char* name) {
    return ui::ControlOf<T>(wizard->Window(), name);
  }
  bool Next() { return ui::Click(Get<ui::Button>("btnNxt")); }
  bool Back() { return ui::Click(Get<ui::Button>("btnPre")); }
  bool BackEnabled() { return Get<ui::Button>("btnPre").Enabled(); }
  ui::ValueListEditor& Rows() { return Get<ui::ValueListEditor>("edtRelations"); }
  std::vector<std::pair<std::string, std::string>> RowTexts() {
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < Rows().RowCount(); ++i) rows.emplace_back(Rows().Row(i).key, Rows().Row(i).value);
    return rows;
  }
  std::pair<std::string, std::string> Header() {
    return {Get<ui::Label>("LbCaption").Caption(), Get<ui::Label>("LbText").Caption()};
  }
  std::string FrameScript() { return Frame().GetScriptHost()->GetScript(); }
  ITransEvents* AsSink() { return static_cast<ITransEvents*>(wizard.get()); }

  TCommonFunctionsRegistration common;
  IntfPtr<RecordingEvents> owner = MakeIntf<RecordingEvents>();
  IntfPtr<WizEngine> fixedSource;
  IntfPtr<WizEngine> fixedDest;
  TTransFrame& Frame() { return *frame_; }
  // A new frame for the next case of a table, with the owner's sink.
  void Reset() {
    if (wizard) wizard->Destroy();
    wizard = nullptr;
    frame_ = std::make_unique<TTransFrame>();
    Frame().SetEvents(owner.get());
  }

  std::unique_ptr<TTransFrame> frame_ = std::make_unique<TTransFrame>();
  IntfPtr<TTransFrom> wizard;
};

}  // namespace ryn::testing
