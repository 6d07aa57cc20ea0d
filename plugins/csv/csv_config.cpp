#include "csv/csv_config.h"

#include <initializer_list>

#include "csv/csv_engine.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

// The encodings offered besides automatic detection; an engine set to another one gets
// it added to the list.
constexpr const char* kEncodings[] = {"UTF-8", "GBK", "GB18030", "BIG5"};

ui::ComboBox& AddCombo(ui::Page& page, const char* name, int top, int width, std::initializer_list<const char*> items) {
  auto& combo = page.Create<ui::ComboBox>(name);
  combo.SetBounds(110, top, width, 20);
  for (const char* item : items) combo.AddItem(Ansi(item));
  combo.SetItemIndex(0);
  return combo;
}

}  // namespace

TCsvConfig::TCsvConfig(TCsvSource* target) : TSourceConfig(target, MakeIntf<TCsvSource>()) {
  Build();
  LoadFrom(target->GetOptions());
}

IntfPtr<IEngineConfig> TCsvSource::GetConfig() { return MakeConfig<TCsvConfig>(this); }

void TCsvConfig::Build() {
  SetName("CsvConfig");
  ui::Page& file = NewPage("tsFile");
  ui::Label& label1 = AddLabel(file, "Label1", "CSV文件:", 16, 20);
  fileEdit_ = &file.Create<ui::ButtonEdit>("edtFile");
  label1.LabelFor(*fileEdit_, 'C');
  fileEdit_->SetBounds(110, 16, 370, 21);
  fileEdit_->OnButtonClick = [this] { ChooseFile(*fileEdit_, openDialog_); };
  ui::Label& label2 = AddLabel(file, "Label2", "分隔符:", 16, 50);
  delimiterEdit_ = &file.Create<ui::Edit>("edtDelimiter");
  label2.LabelFor(*delimiterEdit_, 'D');
  delimiterEdit_->SetBounds(110, 46, 60, 21);
  AddLabel(file, "Label3", "（一个字符；制表符写作TAB）", 180, 50);
  ui::Label& label4 = AddLabel(file, "Label4", "首行为列名:", 16, 80);
  headerRowBox_ = &AddCombo(file, "cbHeaderRow", 76, 120, {"是", "否"});
  label4.LabelFor(*headerRowBox_, 'H');
  ui::Label& label5 = AddLabel(file, "Label5", "文件编码:", 16, 110);
  encodingBox_ = &AddCombo(file, "cbEncoding", 106, 120, {"自动"});
  label5.LabelFor(*encodingBox_, 'E');
  for (const char* e : kEncodings) encodingBox_->AddItem(e);
  ui::Label& label6 = AddLabel(file, "Label6", "列的类型:", 16, 140);
  inferTypesBox_ = &AddCombo(file, "cbInferTypes", 136, 200, {"全部作为文本", "按前1000条记录的内容推断"});
  label6.LabelFor(*inferTypesBox_, 'T');

  preview_ = &NewPreviewPage("Label7");

  openDialog_.title = Ansi("选择CSV文件");
  openDialog_.filter = Ansi("CSV文件(*.csv)|*.csv|文本文件(*.txt)|*.txt|所有文件(*.*)|*.*");
}

void TCsvConfig::LoadFrom(const std::string& options) {
  TMemoryStream stream{options};
  TOPtionsReader reader(&stream);
  delimiterEdit_->SetText(",");
  reader.RegisterHandler(CsvKeyFileName(), [this](const std::string& v) { fileEdit_->SetText(v); });
  reader.RegisterHandler(CsvKeyDelimiter(), [this](const std::string& v) { delimiterEdit_->SetText(v.empty() ? "," : v); });
  reader.RegisterHandler(CsvKeyHeaderRow(), [this](const std::string& v) { headerRowBox_->SetItemIndex(v == "0" ? 1 : 0); });
  reader.RegisterHandler(CsvKeyEncoding(), [this](const std::string& v) {
    int index = v.empty() || v == CsvAutomaticEncoding() ? 0 : encodingBox_->IndexOf(v);
    if (index < 0) index = encodingBox_->AddItem(v);
    encodingBox_->SetItemIndex(index);
  });
  reader.RegisterHandler(CsvKeyInferTypes(), [this](const std::string& v) { inferTypesBox_->SetItemIndex(v == "1" ? 1 : 0); });
  reader.Parse();
}

bool TCsvConfig::CheckSucceed() { return PageIndex() == 0 ? CheckFile() : true; }

bool TCsvConfig::CheckFile() {
  std::string path;
  if (!TakeExistingFile(*fileEdit_, Ansi("请指定要导入的CSV文件！"), path)) return false;
  const std::string delimiter = delimiterEdit_->Text();
  if (!IsCsvDelimiter(delimiter))
    return Complain(Ansi("分隔符无效！分隔符只能是一个英文字符（引号除外），制表符请写作TAB。"), ui::kMbIconWarning,
                    delimiterEdit_);
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  w.WriteOption(CsvKeyFileName(), path);
  w.WriteOption(CsvKeyDelimiter(), delimiter);
  w.WriteOption(CsvKeyHeaderRow(), headerRowBox_->ItemIndex() == 1 ? "0" : "1");
  w.WriteOption(CsvKeyEncoding(), encodingBox_->ItemIndex() <= 0 ? CsvAutomaticEncoding() : encodingBox_->Text());
  w.WriteOption(CsvKeyInferTypes(), inferTypesBox_->ItemIndex() == 1 ? "1" : "0");
  std::string problem;
  if (!ApplyToWork(stream.TakeData(), problem)) return Complain(problem, ui::kMbIconWarning, fileEdit_);
  return true;
}

std::pair<std::string, std::string> TCsvConfig::PageHeader(int index) {
  if (index == 0) return {CsvEngineName(), Ansi("选择要导入的CSV文件，并说明它的格式")};
  return {CsvEngineName(), FormatText(Ansi("数据预览：文件的前%d条记录").c_str(), kPreviewRecords)};
}

void TCsvConfig::PageShown(int index) {
  if (index == 1) FillPreview(*preview_);
}

}  // namespace ryn
