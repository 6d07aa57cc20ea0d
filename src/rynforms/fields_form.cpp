#include "rynforms/fields_form.h"

#include <algorithm>
#include <string>
#include <vector>

#include "expr/named_host.h"
#include "grid/grid_cells.h"
#include "libengineport/engine_folder.h"
#include "platform/codepage.h"
#include "platform/dynlib.h"
#include "platform/text.h"
#include "rynengine/report_types.h"
#include "rynengine/rynexport.h"
#include "transfer/grid_export.h"
#include "transfer/trans_frame.h"
#include "transport/registries.h"

namespace ryn {
namespace {

// Column 0 is left unused; row 0 holds the headings, every further row one line.
constexpr int kNameCol = 1;
constexpr int kValueCol = 2;
constexpr int kGridCols = 3;
constexpr int kInitialRows = 51;

// A text as one line of the catalogue: a line break would split the row into two lines
// (or forge a section heading) the next time the catalogue is read as text.
std::string OneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

// Resizing empties every cell: the headings go back in each time. A catalogue line is
// "column heading=field name": the heading the exchange file writes (名称) and the field's
// identifier the mapping names (标识), as the wizard's column lists call them.
void SizeWithHeadings(ui::GridView& grid, int rows) {
  grid.SetSize(kGridCols, rows);
  grid.SetCellText(kNameCol, 0, Ansi("名称"));
  grid.SetCellText(kValueCol, 0, Ansi("标识"));
}

}  // namespace

TFormFileds::TFormFileds() : FWindow(std::make_unique<ui::Form>()) { Build(); }

TFormFileds::~TFormFileds() {
  FWindow.reset();
  // Every import starts from a fresh scan, and the libraries it loaded go now.
  FreeTransScriptHosts();
  FreeTransEngineFactories();
  // A registry made again holds the built-in host: transfers set up later still find it.
  RegisterNamedHostFactory();
}

void TFormFileds::Build() {
  ui::Form& form = *FWindow;
  form.SetName("FormFileds");
  form.SetCaption(Ansi("导出字段设置"));
  form.SetClientSize(508, 350);
  form.SetBorderStyle(ui::FormBorder::kDialog);
  form.SetPosition(ui::FormPosition::kScreenCenter);
  form.SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault});

  WZTabControl1 = &form.Create<ui::TabControl>("WZTabControl1");
  WZTabControl1->SetHeight(19);
  WZTabControl1->SetAlign(ui::AlignMode::kTop);
  for (int dataType = 0; dataType < kDataTypeCount; ++dataType) WZTabControl1->AddTab(DataTypeCaption(dataType));
  WZTabControl1->OnChanging = [this] { return WZTabControl1Changing(); };
  WZTabControl1->OnChange = [this] { WZTabControl1Change(); };
  WZTabControl1->SetAccessibleName(Ansi("报表数据类型"));

  WZPanel1 = &form.Create<ui::Panel>("WZPanel1");
  WZPanel1->SetHeight(41);
  WZPanel1->SetAlign(ui::AlignMode::kBottom);
  WZPanel1->SetBevels(ui::kBevelLeft | ui::kBevelRight | ui::kBevelBottom);
  WZButton1 = &WZPanel1->Create<ui::Button>("WZButton1");
  WZButton1->SetBounds(336, 9, 75, 23);
  WZButton1->SetCaption(Ansi("确定"));
  WZButton1->SetModalResult(ui::kMrOk);
  WZButton1->OnClick = [this] { WZButton1Click(); };
  WZButton2 = &WZPanel1->Create<ui::Button>("WZButton2");
  WZButton2->SetBounds(421, 9, 75, 23);
  WZButton2->SetCaption(Ansi("取消"));
  WZButton2->SetModalResult(ui::kMrCancel);
  WZButton2->SetCancel(true);

  WZPanel2 = &form.Create<ui::Panel>("WZPanel2");
  WZPanel2->SetAlign(ui::AlignMode::kClient);

  PopupMenu1.AddItem("N1", Ansi("插行")).OnClick = [this] { N1Click(); };
  PopupMenu1.AddItem("N2", Ansi("删行")).OnClick = [this] { N2Click(); };
  PopupMenu1.AddItem("N3", "-");
  PopupMenu1.AddItem("N4", Ansi("导入...")).OnClick = [this] { N4Click(); };

  FGrid = &WZPanel2->Create<ui::GridView>("FGrid");
  FGrid->SetAlign(ui::AlignMode::kClient);
  FGrid->SetBorder(false);
  FGridData = BindGridData(*FGrid);
  SizeWithHeadings(*FGrid, kInitialRows);
  FGrid->SetOptions(FGrid->Options() | ui::gaoDataEdit | ui::gaoColReSize | ui::gaoRowInsDel);
  FGrid->SetContextMenu(&PopupMenu1);
  FGrid->SetAccessibleName(Ansi("字段目录"));
}

void TFormFileds::LoadFrom(TRynExport* Engine) {
  if (Engine == FTargetEngine) return;
  FTargetEngine = Engine;
  if (Engine) FWorkInfo.SetText(Engine->GetReportInfoText());
  else FWorkInfo.Clear();
  WZTabControl1Change();
}

void TFormFileds::WZTabControl1Change() {
  if (!FTargetEngine) return;
  const std::vector<std::string> lines = FWorkInfo.ReadSection(DataTypeCaption(WZTabControl1->TabIndex()));
  const int n = static_cast<int>(lines.size());
  // Rows past the section's lines show nothing.
  SizeWithHeadings(*FGrid, std::max(n + 1, 2));
  for (int i = 0; i < n; ++i) {
    FGrid->SetCellText(kNameCol, i + 1, LineName(lines[static_cast<size_t>(i)]));
    FGrid->SetCellText(kValueCol, i + 1, LineValue(lines[static_cast<size_t>(i)]));
  }
}

bool TFormFileds::WZTabControl1Changing() {
  const std::string section = DataTypeCaption(WZTabControl1->TabIndex());
  std::vector<std::pair<std::string, std::string>> values;
  values.reserve(static_cast<size_t>(std::max(FGrid->RowCount(), 1)));
  for (int r = 1; r < FGrid->RowCount(); ++r) {
    std::string key(TrimBlanks(OneLine(FGrid->CellText(kNameCol, r))));
    if (!key.empty()) values.emplace_back(std::move(key), OneLine(FGrid->CellText(kValueCol, r)));
  }
  // In one pass, however many rows an import brought: a repeated key keeps its first place
  // and takes the later value.
  FWorkInfo.ReplaceSection(section, values);
  return true;
}

void TFormFileds::WZButton1Click() {
  WZTabControl1Changing();
  // The selected columns are the wizard's business and stay as they are.
  if (FTargetEngine) FTargetEngine->SetReportInfoText(FWorkInfo.GetText());
}

void TFormFileds::N1Click() { FGrid->InsertRow(FGrid->CurrentRow()); }

void TFormFileds::N2Click() { FGrid->DeleteRow(FGrid->CurrentRow()); }

void TFormFileds::N4Click() {
  IntfPtr<TGridExport> destination = MakeIntf<TGridExport>();
  destination->SetGridData(FGridData.get());
  const OsPath module = OwnModuleOsPath();
  RegisterEngineFolder(FEngineFolder.empty() ? EngineFolderOf(module) : FEngineFolder, module);
  // Whatever the transfer wrote before it ended, or failed, shows in the grid.
  struct Refresher {
    ui::GridView* grid;
    ~Refresher() { grid->Refresh(); }
  } refresher{FGrid};
  TTransFrame frame;  // closes the destination when it goes, which trims the rows left over
  frame.SetExportEngine(destination.get(), false);
  if (frame.ShowWizard()) frame.Execute();
}

}  // namespace ryn
