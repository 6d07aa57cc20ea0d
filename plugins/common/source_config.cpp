#include "common/source_config.h"

#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace ryn {

// Keeps the first problem the working copy reports, so that a page check can tell the
// user the engine's own reason for refusing its input.
class TProblemSink final : public TInterfacedObject, public virtual ITransEvents {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransEvents>(this, iid, obj); }
  void OnMessage(int32_t kind, std::string_view text) override {
    if (firstProblem_.empty() && SeverityOf(kind) >= kSeverityWarning) firstProblem_ = text;
  }
  void OnStatus(std::string_view, std::string_view) override {}
  void OnProgress(uint8_t, int32_t, bool&) override {}
  const std::string& FirstProblem() const { return firstProblem_; }
  void Clear() { firstProblem_.clear(); }

 private:
  std::string firstProblem_;
};

TSourceConfig::TSourceConfig(ITransEngine* target, IntfPtr<ITransEngine> work)
    : targetEngine_(target), workEngine_(std::move(work)), problems_(MakeIntf<TProblemSink>()) {
  workEngine_->SetEvents(problems_.get());
  // Options the engine holds but cannot use are the user's to mend on the pages.
  workEngine_->SetOptions(targetEngine_->GetOptions());
  pageControl_ = &Create<ui::PageControl>("pcWise");
  pageControl_->SetAlign(ui::AlignMode::kClient);
  pageControl_->SetTabsVisible(false);
}

TSourceConfig::~TSourceConfig() {
  workEngine_->Fina();
  workEngine_->SetEvents(nullptr);
}

void TSourceConfig::Update() { targetEngine_->SetOptions(workEngine_->GetOptions()); }

ui::Page& TSourceConfig::NewPage(std::string name) {
  ui::Page& page = pageControl_->AddPage(std::move(name));
  AddPage(page);
  return page;
}

ui::ListView& TSourceConfig::NewPreviewPage(const char* labelName) {
  ui::Page& page = NewPage("tsPreview");
  ui::Label& label = AddLabel(page, labelName, "数据预览:", 16, 8);
  ui::ListView& list = page.Create<ui::ListView>("lvPreview");
  label.LabelFor(list, 'P');
  list.SetBounds(16, 28, 468, 172);
  list.SetViewStyle(ui::ListViewStyle::kReport);
  list.SetReadOnly(true);
  list.SetRowSelect(true);
  return list;
}

void TSourceConfig::ShowPage(int index) {
  pageControl_->SetActivePageIndex(index);
  // The engine's sink is the host's: a transfer wizard shows this in its header.
  if (IntfPtr<ITransEvents> sink = QueryIntf<ITransEvents>(targetEngine_.get())) {
    auto [caption, text] = PageHeader(index);
    sink->OnStatus(caption, text);
  }
  PageShown(index);
}

bool TSourceConfig::ApplyToWork(const std::string& options, std::string& problem) {
  problems_->Clear();
  if (workEngine_->SetOptions(options) == 0) return true;
  problem = problems_->FirstProblem().empty() ? Ansi("设置无效，引擎不能接受！") : problems_->FirstProblem();
  return false;
}

void TSourceConfig::FillPreview(ui::ListView& view) {
  view.ClearItems();
  view.ClearColumns();
  IntfPtr<IImport> source = workEngine_->GetPort().Query<IImport>();
  if (!source) return;
  std::vector<IntfPtr<IFieldReader>> fields;
  for (int32_t i = 0; i < source->GetFieldCount(); ++i) {
    IntfPtr<ITransField> field = source->GetField(i);
    view.AddColumn(field ? field->GetName() : std::string(), 80);
    fields.push_back(field.Query<IFieldReader>());
  }
  if (fields.empty()) return;
  source->MoveFirst();
  for (int n = 0; n < kPreviewRecords && !source->IsEof(); ++n) {
    std::vector<std::string> values;
    for (auto& f : fields) values.push_back(f && !f->IsEmpty() ? f->GetAsString() : std::string());
    std::string caption = std::move(values.front());
    values.erase(values.begin());
    view.AddItem(std::move(caption), std::move(values));
    source->MoveNext();
  }
  // The preview keeps no file open.
  workEngine_->Fina();
}

bool TSourceConfig::TakeExistingFile(ui::Edit& edit, const std::string& emptyText, std::string& path) {
  const std::string typed(TrimBlanks(edit.Text()));
  if (typed.empty()) return Complain(emptyText, ui::kMbIconInformation, &edit);
  path = ExpandFileName(typed);
  if (!FileExists(path)) return Complain(FormatText(Ansi("文件“%s”不存在！").c_str(), path.c_str()), ui::kMbIconWarning, &edit);
  return true;
}

void TSourceConfig::ChooseFile(ui::ButtonEdit& edit, ui::OpenDialog& dialog) {
  dialog.fileName = edit.Text();
  if (dialog.Execute()) edit.SetText(dialog.fileName);
}

bool TSourceConfig::Complain(std::string_view text, uint32_t icon, ui::Control* field) {
  ui::ShowMessageBox(text, Ansi("提示"), ui::kMbOk | icon);
  if (!field) return false;
  // The user mends the field next: the focus goes there, not back to the button pressed.
  field->SetFocus();
  if (field->Kind() == ui::ControlKind::kEdit || field->Kind() == ui::ControlKind::kButtonEdit)
    static_cast<ui::Edit*>(field)->SelectAll();
  return false;
}

}  // namespace ryn
