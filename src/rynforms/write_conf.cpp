#include "rynforms/write_conf.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/error.h"
#include "platform/text.h"
#include "rynforms/fields_form.h"
#include "rynengine/ini_store.h"
#include "rynengine/report_types.h"
#include "rynengine/rynexport.h"
#include "transport/field_values.h"

namespace ryn {
namespace {

ui::Button& AddButton(ui::Page& page, const char* name, const char* caption, int left, int top,
                      std::function<void()> onClick) {
  auto& button = page.Create<ui::Button>(name);
  button.SetCaption(Ansi(caption));
  button.SetBounds(left, top, 30, 22);
  button.OnClick = std::move(onClick);
  return button;
}

// Both lists show a catalogue line as its heading with the field name beside it.
void SetUpFieldList(ui::ListView& view, bool multiSelect, bool sorted) {
  view.SetViewStyle(ui::ListViewStyle::kReport);
  view.AddColumn(Ansi("名称"), 0, true);
  view.AddColumn(Ansi("标识"), 100);
  view.SetMultiSelect(multiSelect);
  view.SetReadOnly(true);
  view.SetRowSelect(true);
  view.SetSortedByCaption(sorted);
}

// Moves the first item of from captioned exactly name to the end of to.
void MoveItem(ui::ListView& from, ui::ListView& to, std::string_view name) {
  const int index = from.FindCaption(name);
  if (index < 0) return;
  const ui::ListViewItem item = from.Item(index);
  to.AddItem(item.caption, item.subItems);
  from.DeleteItem(index);
}

// The header of each page: what the user decides there (UTF-8).
constexpr std::string_view kPageHeaders[] = {
    "指定要写入的网络报表Ryn文件",
    "填写报表标识：单位代码、年度、报表类型和时期，它们写在每条记录的前面",
    "选择报表数据类型及要导出的字段",
};

// A path names no file when it ends at a separator or at a folder that exists.
bool NamesFolder(const std::string& path) {
  return ExtractFileName(path).empty() || DirectoryExists(path);
}

}  // namespace

TWriteConfigWise::TWriteConfigWise() : FWorkEngine(MakeIntf<TRynExport>()) {
  Build();
  EnumReportTypes([this](const std::string& code) { cbRepType->AddItem(ReportTypeName(code)); });
}

TWriteConfigWise::~TWriteConfigWise() = default;

IntfPtr<IEngineConfig> TWriteConfigWise::MakeFor(TRynExport& engine) {
  auto* wizard = new TWriteConfigWise();
  IntfPtr<IEngineConfig> config(static_cast<IEngineConfig*>(wizard));
  wizard->LoadFrom(&engine);
  return config;
}

void InstallRynConfigWizard() { SetRynConfigMaker(&TWriteConfigWise::MakeFor); }

void TWriteConfigWise::Build() {
  SetName("WriteConfigWise");
  pcWise = &Create<ui::PageControl>("pcWise");
  pcWise->SetAlign(ui::AlignMode::kClient);
  pcWise->SetTabsVisible(false);
  BuildFilePage(pcWise->AddPage("WZTabSheet1"));      // page 0: the target file
  BuildIdentityPage(pcWise->AddPage("WZTabSheet3"));  // page 1: the report identity
  BuildFieldsPage(pcWise->AddPage("WZTabSheet2"));    // page 2: data type and fields
  // The page active in the form's design, until the host moves.
  pcWise->SetActivePageIndex(kPageFields);

  SaveDialog.defaultExt = ".Ryn";
  SaveDialog.filter = Ansi("网络报表Ryn文件(*.Ryn)|*.Ryn|所有文件(*.*)|*.*");
}

void TWriteConfigWise::BuildFilePage(ui::Page& page) {
  ui::Label& label1 = AddLabel(page, "Label1", "导出文件:", 24, 40);
  edtpath = &page.Create<ui::ButtonEdit>("edtpath");
  label1.LabelFor(*edtpath, 'F');
  edtpath->SetBounds(24, 60, 450, 21);
  edtpath->OnButtonClick = [this] { edtpathButtonClick(); };
  AddLabel(page, "Label2", "请指定导出文件的路径及文件名", 24, 92);
}

void TWriteConfigWise::BuildIdentityPage(ui::Page& page) {
  ui::Label& label3 = AddLabel(page, "Label3", "单位代码:", 40, 30);
  edtCode = &page.Create<ui::Edit>("edtCode");
  edtCode->SetBounds(120, 26, 200, 21);
  label3.LabelFor(*edtCode, 'U');
  ui::Label& label4 = AddLabel(page, "Label4", "年度:", 40, 66);
  edtyear = &page.Create<ui::Edit>("edtyear");
  label4.LabelFor(*edtyear, 'Y');
  edtyear->SetBounds(120, 62, 200, 21);
  edtyear->SetNumberMode(true);
  ui::Label& label5 = AddLabel(page, "Label5", "报表类型:", 40, 102);
  cbRepType = &page.Create<ui::ComboBox>("cbRepType");
  label5.LabelFor(*cbRepType, 'T');
  cbRepType->SetBounds(120, 98, 200, 20);
  ui::Label& label6 = AddLabel(page, "Label6", "时期:", 40, 138);
  edtPeriod = &page.Create<ui::Edit>("edtPeriod");
  label6.LabelFor(*edtPeriod, 'P');
  edtPeriod->SetBounds(120, 134, 200, 21);
  edtPeriod->SetNumberMode(true);
}

void TWriteConfigWise::BuildFieldsPage(ui::Page& page) {
  ui::Label& label7 = AddLabel(page, "Label7", "报表数据类型及字段:", 8, 8);
  cbPartType = &page.Create<ui::ComboBox>("cbPartType");
  label7.LabelFor(*cbPartType, 'D');
  cbPartType->SetBounds(8, 24, 150, 20);
  for (int dataType = 0; dataType < kDataTypeCount; ++dataType) cbPartType->AddItem(DataTypeCaption(dataType));
  cbPartType->SetItemIndex(1);
  cbPartType->OnChange = [this] { FillFieldLists(); };
  ui::Button& maintain = AddButton(page, "WZButton5", "维护", 164, 23, [this] { WZButton5Click(); });
  maintain.SetWidth(60);
  maintain.SetMnemonic('M');
  lvList = &page.Create<ui::ListView>("lvList");
  lvList->SetAccessibleName(Ansi("可选字段"));
  lvList->SetBounds(8, 48, 210, 154);
  SetUpFieldList(*lvList, true, true);
  lvList->OnDblClick = [this] { lvListDblClick(); };

  // The arrows say nothing to a screen reader: their names say what they move.
  AddButton(page, "WZButton3", ">|", 230, 60, [this] { WZButton3Click(); }).SetAccessibleName(Ansi("导出所选字段"));
  AddButton(page, "WZButton4", "|<", 230, 95, [this] { WZButton4Click(); }).SetAccessibleName(Ansi("取消所选字段"));
  AddButton(page, "WZButton1", ">>", 230, 130, [this] { WZButton1Click(); }).SetAccessibleName(Ansi("导出全部字段"));
  AddButton(page, "WZButton2", "<<", 230, 165, [this] { WZButton2Click(); }).SetAccessibleName(Ansi("取消全部字段"));

  ui::Label& label8 = AddLabel(page, "Label8", "导出字段:", 272, 30);
  lvSel = &page.Create<ui::ListView>("lvSel");
  label8.LabelFor(*lvSel, 'S');
  lvSel->SetBounds(272, 48, 220, 154);
  SetUpFieldList(*lvSel, false, false);
  lvSel->OnDblClick = [this] { lvSelDblClick(); };
}

void TWriteConfigWise::LoadFrom(TRynExport* Engine) {
  if (!Engine || Engine == FTargetEngine.get()) return;
  FTargetEngine = Engine;
  FWorkEngine->Assign(*Engine);
  edtpath->SetText(FWorkEngine->FileName());
  cbPartType->SetItemIndex(FWorkEngine->DataType());
  FillFieldLists();
  ShowSelectedColumns();
  edtCode->SetText(FWorkEngine->UnitCode());
  edtyear->SetText(FWorkEngine->Year());
  edtPeriod->SetText(FWorkEngine->Period());
  cbRepType->SetItemIndex(cbRepType->IndexOf(ReportTypeName(FWorkEngine->ReportType())));
}

IntfPtr<ITransEngine> TWriteConfigWise::GetEngine() { return static_cast<ITransEngine*>(FWorkEngine.get()); }

void TWriteConfigWise::ShowPage(int index) {
  pcWise->SetActivePageIndex(index);
  if (IntfPtr<ITransEvents> sink = QueryIntf<ITransEvents>(FTargetEngine.get()))
    sink->OnStatus(RynEngineName(), Ansi(kPageHeaders[CurrentPage()]));
}

void TWriteConfigWise::Next() {
  if (CurrentPage() == kPageFile || CurrentPage() == kPageIdentity) ShowPage(CurrentPage() + 1);
}

void TWriteConfigWise::Previous() {
  if (CurrentPage() > kPageFile) ShowPage(CurrentPage() - 1);
}

void TWriteConfigWise::Update() {
  if (!FTargetEngine) return;
  // A file the engine holds open under its old name would keep taking the records: it is
  // let go (without end marker, as a new name in the options does), and the new file
  // opens when the first record arrives.
  if (FTargetEngine->FileOpen() &&
      ExpandFileName(FTargetEngine->FileName()) != ExpandFileName(FWorkEngine->FileName())) {
    try {
      FTargetEngine->SetFileName("");
    } catch (const EStreamError&) {
      // What the old file could not take was reported to the engine's sink.
    }
  }
  FTargetEngine->Assign(*FWorkEngine);
}

bool TWriteConfigWise::CheckSucceed() {
  switch (CurrentPage()) {
    case kPageFile: return CheckFile();
    case kPageIdentity: return CheckIdentity();
    case kPageFields: return CheckFields();
    default: return true;
  }
}

bool TWriteConfigWise::CheckFile() {
  std::string path = edtpath->Text();
  // Blank, or a folder, names no file the engine could write.
  if (!TrimBlanks(path).empty() && IsValidFilePath(path) && !NamesFolder(path)) {
    // Only the name: the engine opens the file when the first record arrives.
    FWorkEngine->SetFileNameOnly(path);
    return true;
  }
  ui::ShowMessageBox(Ansi("无效的文件名!"), Ansi("提示"), ui::kMbOk | ui::kMbIconWarning);
  edtpath->SetFocus();
  edtpath->SelectAll();
  return false;
}

bool TWriteConfigWise::CheckIdentity() {
  // Every record carries the four values ahead of its columns: a blank one makes records
  // no reader can place.
  const struct {
    const char* name;  // UTF-8, as the page's label says
    std::string text;
    ui::Control* control;
  } fields[] = {{"单位代码", edtCode->Text(), edtCode},
                {"年度", edtyear->Text(), edtyear},
                {"报表类型", cbRepType->Text(), cbRepType},
                {"时期", edtPeriod->Text(), edtPeriod}};
  for (const auto& field : fields) {
    if (!TrimBlanks(field.text).empty()) continue;
    ui::ShowMessageBox(Ansi("请填写") + Ansi(field.name) + Ansi("！"), Ansi("提示"), ui::kMbOk | ui::kMbIconWarning);
    // The user mends it next: the focus goes there, not back to the button pressed.
    field.control->SetFocus();
    return false;
  }
  FWorkEngine->SetUnitCode(edtCode->Text());
  FWorkEngine->SetYear(edtyear->Text());
  FWorkEngine->SetReportType(ReportTypeCode(cbRepType->Text()));
  FWorkEngine->SetPeriod(edtPeriod->Text());
  return true;
}

bool TWriteConfigWise::CheckFields() {
  // Built aside: a refused page leaves the copy's columns as they were, so that leaving
  // the wizard from another page keeps them.
  std::vector<std::string> columns;
  for (int i = 0; i < lvSel->ItemCount(); ++i) {
    const ui::ListViewItem& item = lvSel->Item(i);
    const std::string value = item.subItems.empty() ? std::string() : item.subItems.front();
    auto it = std::find_if(columns.begin(), columns.end(),
                           [&](const std::string& c) { return SameTextAscii(LineName(c), item.caption); });
    // As the heading's value is set: a repeated heading keeps its place and the later field.
    if (value.empty()) {
      if (it != columns.end()) columns.erase(it);
    } else if (it != columns.end()) {
      *it = item.caption + "=" + value;
    } else {
      columns.push_back(item.caption + "=" + value);
    }
  }
  if (!columns.empty()) {
    FWorkEngine->SetDataType(static_cast<uint8_t>(std::max(cbPartType->ItemIndex(), 0)));
    FWorkEngine->SelectedColumns() = std::move(columns);
    return true;
  }
  ui::ShowMessageBox(Ansi("请选择要导出的字段"), Ansi("提示"), ui::kMbOk | ui::kMbIconInformation);
  return false;
}

void TWriteConfigWise::ShowSelectedColumns() {
  for (const std::string& column : FWorkEngine->SelectedColumns()) {
    const std::string_view name = LineName(column);
    if (lvList->FindCaption(name) >= 0) {
      MoveToSelected(name);
    } else {
      // A column the catalogue lacks (options written by hand, or a catalogue edited since)
      // is still what the engine exports: shown as chosen, so that the check keeps it.
      lvSel->AddItem(std::string(name), {std::string(LineValue(column))});
    }
  }
}

void TWriteConfigWise::MoveToSelected(std::string_view Name) { MoveItem(*lvList, *lvSel, Name); }

void TWriteConfigWise::MoveToList(std::string_view Name) { MoveItem(*lvSel, *lvList, Name); }

void TWriteConfigWise::FillFieldLists() {
  lvList->ClearItems();
  lvSel->ClearItems();
  for (const std::string& line : FWorkEngine->ReportInfo().ReadSection(cbPartType->Text()))
    lvList->AddItem(std::string(LineName(line)), {std::string(LineValue(line))});
}

void TWriteConfigWise::edtpathButtonClick() {
  SaveDialog.fileName = edtpath->Text();
  if (SaveDialog.Execute()) edtpath->SetText(SaveDialog.fileName);
}

void TWriteConfigWise::lvListDblClick() {
  const int index = lvList->SelectedIndex();
  if (index >= 0) MoveToSelected(std::string(lvList->Item(index).caption));
}

void TWriteConfigWise::lvSelDblClick() {
  const int index = lvSel->SelectedIndex();
  if (index >= 0) MoveToList(std::string(lvSel->Item(index).caption));
}

void TWriteConfigWise::WZButton1Click() {
  while (lvList->ItemCount() > 0) MoveToSelected(std::string(lvList->Item(0).caption));
}

void TWriteConfigWise::WZButton2Click() {
  while (lvSel->ItemCount() > 0) MoveToList(std::string(lvSel->Item(0).caption));
}

void TWriteConfigWise::WZButton3Click() {
  for (int i = lvList->ItemCount() - 1; i >= 0; --i) {
    if (i < lvList->ItemCount() && lvList->Selected(i)) MoveToSelected(std::string(lvList->Item(i).caption));
  }
}

void TWriteConfigWise::WZButton4Click() {
  for (int i = lvSel->ItemCount() - 1; i >= 0; --i) {
    if (i < lvSel->ItemCount() && lvSel->Selected(i)) MoveToList(std::string(lvSel->Item(i).caption));
  }
}

void TWriteConfigWise::WZButton5Click() {
  // What the user chose so far, checked or not, stays chosen where the catalogue still
  // has it.
  std::vector<std::string> chosen;
  for (int i = 0; i < lvSel->ItemCount(); ++i) chosen.push_back(lvSel->Item(i).caption);
  auto dialog = std::make_unique<TFormFileds>();
  dialog->LoadFrom(FWorkEngine.get());
  if (dialog->ShowModal() != ui::kMrOk) return;
  FillFieldLists();
  for (const std::string& name : chosen) MoveToSelected(name);
}

}  // namespace ryn
