// TWriteConfigWise, the exchange file engine's configuration wizard: three pages (the
// target file, the report identity, the data type with the fields to export) whose checks
// write into a working copy of the engine; Update copies that copy into the engine, which
// is untouched until then. "维护" edits the copy's field catalogue in TFormFileds.
#pragma once

#include <string>
#include <string_view>

#include "wizard/form_config_base.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/lists.h"
#include "ui/pages.h"

namespace ryn {

class TRynExport;

class TWriteConfigWise final : public TCustomConfig {
 public:
  // The page indexes of pcWise.
  enum { kPageFile = 0, kPageIdentity = 1, kPageFields = 2 };

  TWriteConfigWise();
  ~TWriteConfigWise() override;

  // A wizard loaded from Engine: the maker TRynExport::GetConfig calls.
  static IntfPtr<IEngineConfig> MakeFor(TRynExport& Engine);

  // Shows Engine's settings and edits a copy of them; loading the engine already loaded
  // changes nothing. The wizard keeps a reference on Engine, so a host that ends the
  // engine while the wizard is open leaves nothing dangling.
  void LoadFrom(TRynExport* Engine);

  // Validates the current page and moves its input into the working copy.
  bool CheckSucceed() override;
  // The engine takes the working copy's settings.
  void Update() override;
  IntfPtr<ITransEngine> GetEngine() override;

  // Page 0 to 2, no further; navigation never checks. A wizard not yet moved shows the
  // fields page.
  bool IsBOF() override { return CurrentPage() == kPageFile; }
  bool IsEOF() override { return CurrentPage() == kPageFields; }
  void First() override { ShowPage(kPageFile); }
  void Last() override { ShowPage(kPageFields); }
  void Next() override;
  void Previous() override;
  int CurrentPage() const { return pcWise->ActivePageIndex(); }

  // The first lvList item captioned exactly Name goes to the end of lvSel; nothing when
  // there is none. MoveToList is the way back.
  void MoveToSelected(std::string_view Name);
  void MoveToList(std::string_view Name);
  // Both lists cleared, lvList filled from the catalogue section of cbPartType's text.
  void FillFieldLists();

 protected:
  // The page, and its header sent to the engine's sink: a transfer wizard embedding this
  // one shows it in place of the header of the page before.
  void ShowPage(int index) override;

 private:
  void Build();
  void BuildFilePage(ui::Page& page);
  void BuildIdentityPage(ui::Page& page);
  void BuildFieldsPage(ui::Page& page);
  bool CheckFile();
  // Refuses a blank value, naming its field.
  bool CheckIdentity();
  bool CheckFields();
  // lvSel filled from the copy's selected columns, in their order.
  void ShowSelectedColumns();

  // The edit's ellipsis: the save dialog chooses the exchange file.
  void edtpathButtonClick();
  // Double-click on lvList: its selected field moves to lvSel.
  void lvListDblClick();
  // Double-click on lvSel: its selected field moves back to lvList.
  void lvSelDblClick();
  // >>: moves every field of lvList to lvSel.
  void WZButton1Click();
  // <<: moves every field of lvSel back to lvList.
  void WZButton2Click();
  // >|: moves the selected fields of lvList to lvSel.
  void WZButton3Click();
  // |<: moves the selected fields of lvSel back to lvList.
  void WZButton4Click();
  // 维护: edits the catalogue in the field-settings dialog; on OK the lists show it anew,
  // the fields chosen before staying chosen.
  void WZButton5Click();

  IntfPtr<TRynExport> FWorkEngine;
  IntfPtr<TRynExport> FTargetEngine;

  ui::PageControl* pcWise = nullptr;
  ui::ButtonEdit* edtpath = nullptr;
  ui::Edit* edtCode = nullptr;
  ui::Edit* edtyear = nullptr;
  ui::ComboBox* cbRepType = nullptr;
  ui::Edit* edtPeriod = nullptr;
  ui::ComboBox* cbPartType = nullptr;
  ui::ListView* lvList = nullptr;
  ui::ListView* lvSel = nullptr;
  ui::SaveDialog SaveDialog;
};

// Lets TRynExport::GetConfig answer with TWriteConfigWise; the library's start-up and
// in-process hosts that want the wizard call it once.
void InstallRynConfigWizard();

}  // namespace ryn
