// TFormFileds, the field-settings dialog: edits the field catalogue of an exchange file
// engine (per data type, "column heading=field name" lines) in a grid, one data type per
// tab, on a private copy written back only on OK. Rows are inserted and deleted by hand or
// imported from any other engine by a transfer into the grid.
#pragma once

#include <memory>

#include "grid/grid_data.h"
#include "platform/paths.h"
#include "rynengine/ini_store.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/grid_view.h"
#include "ui/menus.h"
#include "ui/pages.h"

namespace ryn {

class TRynExport;

class TFormFileds {
 public:
  TFormFileds();
  // Frees the script-host and engine-factory registries, which lets go of the engine
  // libraries an import loaded; the built-in script host stays findable.
  ~TFormFileds();
  TFormFileds(const TFormFileds&) = delete;
  TFormFileds& operator=(const TFormFileds&) = delete;

  // Edits Engine's catalogue (a copy of it) from now on; the engine is not counted and
  // must outlive the dialog's use of it. Loading the engine already loaded changes nothing.
  void LoadFrom(TRynExport* Engine);
  int ShowModal() { return FWindow->ShowModal(); }

  // The folder whose engine libraries the import offers; empty (the default) is the
  // engine folder of this library (engine_folder.h).
  void SetEngineFolder(OsPath folder) { FEngineFolder = std::move(folder); }

  ui::Form& Window() { return *FWindow; }
  ui::GridView& Grid() { return *FGrid; }
  const TIniStore& WorkInfo() const { return FWorkInfo; }

 private:
  void Build();
  // Shows the current tab's section of the catalogue copy.
  void WZTabControl1Change();
  // Saves the grid into the current tab's section; the change is always allowed.
  bool WZTabControl1Changing();
  // 确定: saves the current tab, then the engine takes the catalogue copy.
  void WZButton1Click();
  // 插行: inserts an empty row at the grid's current row.
  void N1Click();
  // 删行: deletes the grid's current row.
  void N2Click();
  // 导入...: fills the grid from a source the user picks in the transfer wizard.
  void N4Click();

  // Before the window, which points at it until it goes.
  ui::PopupMenu PopupMenu1;
  std::unique_ptr<ui::Form> FWindow;
  ui::TabControl* WZTabControl1 = nullptr;
  ui::Panel* WZPanel1 = nullptr;
  ui::Panel* WZPanel2 = nullptr;
  ui::Button* WZButton1 = nullptr;
  ui::Button* WZButton2 = nullptr;
  ui::GridView* FGrid = nullptr;
  IntfPtr<TGridData> FGridData;
  TIniStore FWorkInfo;
  TRynExport* FTargetEngine = nullptr;
  OsPath FEngineFolder;
};

}  // namespace ryn
