#include "xlsx/xlsx_config.h"

#include <vector>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/options_text.h"
#include "xlsx/xlsx_engine.h"

namespace ryn {
IntfPtr<IEngineConfig> TXlsxSource::GetConfig() { return MakeConfig<TXlsxConfig>(this); }

TXlsxConfig::TXlsxConfig(TXlsxSource* target) : TSourceConfig(target, MakeIntf<TXlsxSource>()) {
  Build();
  LoadFrom(target->GetOptions());
}

void TXlsxConfig::Build() {
  SetName("XlsxConfig");
  ui::Page& file = NewPage("tsFile");
  ui::Label& label1 = AddLabel(file, "Label1", "Excel文件:", 16, 20);
  fileEdit_ = &file.Create<ui::ButtonEdit>("edtFile");
  label1.LabelFor(*fileEdit_, 'E');
  fileEdit_->SetBounds(110, 16, 370, 21);
  fileEdit_->OnButtonClick = [this] { ChooseFile(*fileEdit_, openDialog_); };
  AddLabel(file, "Label2", "请指定要导入的Excel工作簿（.xlsx）", 110, 46);

  ui::Page& sheet = NewPage("tsSheet");
  ui::Label& label3 = AddLabel(sheet, "Label3", "工作表:", 16, 8);
  sheetList_ = &sheet.Create<ui::ListBox>("lbSheets");
  label3.LabelFor(*sheetList_, 'S');
  sheetList_->SetBounds(16, 28, 220, 172);
  ui::Label& label4 = AddLabel(sheet, "Label4", "列名行(0表示没有):", 250, 8);
  headingEdit_ = &sheet.Create<ui::Edit>("edtHeadingRow");
  label4.LabelFor(*headingEdit_, 'H');
  headingEdit_->SetBounds(250, 28, 234, 21);
  ui::Label& label5 = AddLabel(sheet, "Label5", "数据起始行:", 250, 58);
  firstDataEdit_ = &sheet.Create<ui::Edit>("edtFirstDataRow");
  label5.LabelFor(*firstDataEdit_, 'D');
  firstDataEdit_->SetBounds(250, 78, 234, 21);
  ui::Label& label6 = AddLabel(sheet, "Label6", "单元格区域(如B2:F100):", 250, 108);
  rangeEdit_ = &sheet.Create<ui::Edit>("edtRange");
  label6.LabelFor(*rangeEdit_, 'R');
  rangeEdit_->SetBounds(250, 128, 234, 21);
  ui::Label& hint = AddLabel(sheet, "Label7", "留空时按工作表的已用区域读取", 250, 160);
  hint.SetBounds(250, 160, 234, 40);
  hint.SetWordWrap(true);

  preview_ = &NewPreviewPage("Label8");

  openDialog_.title = Ansi("选择Excel文件");
  openDialog_.filter = Ansi("Excel工作簿(*.xlsx)|*.xlsx|所有文件(*.*)|*.*");
}

void TXlsxConfig::LoadFrom(const std::string& options) {
  TMemoryStream stream{options};
  TOPtionsReader reader(&stream);
  std::string sheet;
  reader.RegisterHandler(XlsxKeyFile(), [this](const std::string& v) { file_ = v; });
  reader.RegisterHandler(XlsxKeySheet(), [&sheet](const std::string& v) { sheet = v; });
  reader.RegisterHandler(XlsxKeyHeadingRow(), [this](const std::string& v) { headingEdit_->SetText(v); });
  reader.RegisterHandler(XlsxKeyFirstDataRow(), [this](const std::string& v) { firstDataEdit_->SetText(v); });
  reader.RegisterHandler(XlsxKeyRange(), [this](const std::string& v) { rangeEdit_->SetText(v); });
  reader.Parse();
  fileEdit_->SetText(file_);
  // A workbook that cannot be read now is reported when its page is checked.
  std::string error;
  if (!file_.empty()) FillSheets(file_, sheet, error);
}

bool TXlsxConfig::FillSheets(const std::string& file, const std::string& chosen, std::string& error) {
  std::vector<std::string> names;
  if (!XlsxSheetNames(file, names, error)) return false;
  sheetList_->ClearItems();
  for (auto& name : names) sheetList_->AddItem(std::move(name));
  int index = sheetList_->IndexOf(chosen);
  // A sheet chosen by its number is shown by its name.
  if (index < 0 && !chosen.empty() && chosen.find_first_not_of("0123456789") == std::string::npos &&
      chosen.size() < 6) {
    const int n = std::stoi(chosen);
    if (n >= 1 && n <= sheetList_->ItemCount()) index = n - 1;
  }
  sheetList_->SetItemIndex(index < 0 && sheetList_->ItemCount() > 0 ? 0 : index);
  return true;
}

bool TXlsxConfig::CheckSucceed() {
  switch (PageIndex()) {
    case 0: return CheckFile();
    case 1: return CheckSheet();
    default: return true;
  }
}

bool TXlsxConfig::CheckFile() {
  std::string path, error;
  if (!TakeExistingFile(*fileEdit_, Ansi("请指定要导入的Excel文件！"), path)) return false;
  const std::string chosen = sheetList_->ItemIndex() < 0 ? std::string() : sheetList_->ItemText(sheetList_->ItemIndex());
  if (!FillSheets(path, chosen, error))
    return Complain(FormatText(Ansi("文件“%s”不是Excel工作簿，或者无法读取：%s").c_str(), path.c_str(), error.c_str()),
                    ui::kMbIconWarning, fileEdit_);
  if (sheetList_->ItemCount() == 0)
    return Complain(FormatText(Ansi("Excel文件“%s”中没有工作表！").c_str(), path.c_str()), ui::kMbIconWarning, fileEdit_);
  file_ = path;
  return true;
}

bool TXlsxConfig::CheckSheet() {
  const int chosen = sheetList_->ItemIndex();
  if (chosen < 0) return Complain(Ansi("请选择要导入的工作表！"), ui::kMbIconInformation, sheetList_);
  // Every key, the blank ones too: the copy keeps what a text leaves out.
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  w.WriteOption(XlsxKeyFile(), file_);
  w.WriteOption(XlsxKeySheet(), sheetList_->ItemText(chosen));
  w.WriteOption(XlsxKeyHeadingRow(), std::string(TrimBlanks(headingEdit_->Text())));
  w.WriteOption(XlsxKeyFirstDataRow(), std::string(TrimBlanks(firstDataEdit_->Text())));
  w.WriteOption(XlsxKeyRange(), std::string(TrimBlanks(rangeEdit_->Text())));
  std::string problem;
  if (ApplyToWork(stream.TakeData(), problem)) return true;
  // A value the engine refuses is named by its key: the focus goes to the field holding it
  // (anything else about the sheet, to the list of sheets).
  ui::Control* field = sheetList_;
  const std::pair<const std::string&, ui::Edit*> fields[] = {
      {XlsxKeyHeadingRow(), headingEdit_}, {XlsxKeyFirstDataRow(), firstDataEdit_}, {XlsxKeyRange(), rangeEdit_}};
  for (const auto& [key, edit] : fields)
    if (problem.find(Ansi("“") + key + Ansi("”")) != std::string::npos) field = edit;
  return Complain(problem, ui::kMbIconWarning, field);
}

std::pair<std::string, std::string> TXlsxConfig::PageHeader(int index) {
  switch (index) {
    case 0: return {XlsxEngineName(), Ansi("选择要导入的Excel工作簿")};
    case 1: return {XlsxEngineName(), Ansi("选择要导入的工作表，以及列名所在的行和数据的范围")};
    default:
      return {XlsxEngineName(), FormatText(Ansi("数据预览：工作表的前%d条记录").c_str(), kPreviewRecords)};
  }
}

void TXlsxConfig::PageShown(int index) {
  if (index == 2) FillPreview(*preview_);
}

}  // namespace ryn
