#include "config_window.h"

#include "platform/codepage.h"
#include "ui/application.h"

namespace ryn::tool {

TConfigWindow::TConfigWindow(IntfPtr<IEngineConfig> config, const std::string& engineName) : config_(std::move(config)) {
  SetName("ConfigWindow");
  SetCaption(engineName + Ansi(" - 配置"));
  SetBorderStyle(ui::FormBorder::kDialog);
  SetPosition(ui::FormPosition::kScreenCenter);
  SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault});
  // The wizards are laid out for 500 by 210 pixels; the buttons sit below.
  SetClientSize(500, 251);
  page_ = &Create<ui::Panel>("plPage");
  page_->SetBounds(0, 0, 500, 210);
  auto& bar = Create<ui::Panel>("plButtons");
  bar.SetBounds(0, 210, 500, 41);
  bar.SetBevels(ui::kBevelTop);
  auto button = [&](const char* name, const char* caption, int left) -> ui::Button& {
    auto& b = bar.Create<ui::Button>(name);
    b.SetBounds(left, 9, 75, 23);
    b.SetCaption(Ansi(caption));
    return b;
  };
  backButton_ = &button("btnPre", "< 上一步", 99);
  nextButton_ = &button("btnNxt", "下一步 >", 179);
  okButton_ = &button("btnOk", "确定", 299);
  auto& cancel = button("btnCancel", "取消", 379);
  cancel.SetCancel(true);
  cancel.SetModalResult(ui::kMrCancel);
  nextButton_->SetDefault(true);
  backButton_->SetMnemonic('B');
  nextButton_->SetMnemonic('N');
  backButton_->OnClick = [this] { Step(false); };
  nextButton_->OnClick = [this] { Step(true); };
  okButton_->OnClick = [this] { Finish(); };
  OnShow = [this] {
    if (!started_) started_ = config_->Init(page_->Handle(), true);
    config_->First();
    UpdateButtons();
  };
}

TConfigWindow::~TConfigWindow() {
  if (started_) config_->Fina();
}

bool TConfigWindow::Execute() { return ShowModal() == ui::kMrOk; }

void TConfigWindow::Step(bool forward) {
  if (forward) {
    // A page the wizard refuses keeps the user on it (it says why itself).
    if (config_->CheckSucceed()) config_->Next();
  } else {
    config_->Previous();
  }
  UpdateButtons();
}

void TConfigWindow::Finish() {
  if (!config_->CheckSucceed()) return;
  config_->Update();
  SetModalResult(ui::kMrOk);
}

void TConfigWindow::UpdateButtons() {
  backButton_->SetEnabled(!config_->IsBOF());
  nextButton_->SetEnabled(!config_->IsEOF());
}

}  // namespace ryn::tool
