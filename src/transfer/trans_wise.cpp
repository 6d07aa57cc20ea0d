#include "transfer/trans_wise.h"

#include "expr/expr_editor.h"
#include "platform/codepage.h"
#include "transfer/relations.h"
#include "transfer/trans_frame.h"
#include "transport/errors.h"
#include "transport/registries.h"
#include "ui/application.h"
#include "ui/dialogs.h"

namespace ryn {
namespace {

struct Header {
  std::string_view caption;  // UTF-8
  std::string_view text;
};

// The header a page shows; the configuration pages leave it to the engine's wizard.
const Header* HeaderOf(int page) {
  static constexpr Header kSelectSource{"选择数据源", "选择您将从那里导入数据。"};
  static constexpr Header kSelectTarget{"选择存储目标", "选择您将把数据导出到那里去。"};
  static constexpr Header kRelations{"设置映射关系", "设定目标数据由源数据如何组织构成。"};
  switch (page) {
    case TTransFrom::kTabSelSrc: return &kSelectSource;
    case TTransFrom::kTabSelTag: return &kSelectTarget;
    case TTransFrom::kTabRelation: return &kRelations;
    default: return nullptr;
  }
}

void Inform(const std::string& text) { ui::ShowMessageBox(text, Ansi("提示"), ui::kMbOk | ui::kMbIconInformation); }

}  // namespace

TTransFrom::TTransFrom() : FWindow(std::make_unique<ui::Form>()) {
  FSource.direction = kDirectionSource;
  FSource.word = "导入";
  FSource.selectPage = kTabSelSrc;
  FSource.configPage = kTabConfSrc;
  FDest.direction = kDirectionDestination;
  FDest.word = "导出";
  FDest.selectPage = kTabSelTag;
  FDest.configPage = kTabConfTag;
  Build();
  FillLists();
}

TTransFrom::~TTransFrom() { Destroy(); }

void TTransFrom::Build() {
  ui::Form& form = *FWindow;
  form.SetName("TransFrom");
  form.SetCaption(Ansi("配置向导"));
  form.SetClientSize(508, 329);
  form.SetBorderStyle(ui::FormBorder::kDialog);
  form.SetPosition(ui::FormPosition::kScreenCenter);
  form.SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault});

  auto& panel1 = form.Create<ui::Panel>("Panel1");
  panel1.SetHeight(56);
  panel1.SetAlign(ui::AlignMode::kTop);
  panel1.SetColor(ui::kColorWhite);
  LbCaption = &panel1.Create<ui::Label>("LbCaption");
  LbCaption->SetBounds(16, 8, 0, 12);
  ui::FontInfo bold = form.Font();
  bold.bold = true;
  LbCaption->SetFont(bold);
  LbText = &panel1.Create<ui::Label>("LbText");
  LbText->SetBounds(34, 28, 455, 25);
  LbText->SetWordWrap(true);

  auto& panel3 = form.Create<ui::Panel>("Panel3");
  panel3.SetHeight(53);
  panel3.SetAlign(ui::AlignMode::kBottom);
  panel3.SetBevels(ui::kBevelTop);  // the line above the buttons
  btnPre = &panel3.Create<ui::Button>("btnPre");
  btnPre->SetCaption(Ansi("上一步"));
  btnPre->SetBounds(234, 16, 75, 25);
  btnPre->SetEnabled(false);
  btnPre->SetMnemonic('B');
  btnPre->OnClick = [this] { Previous(); };
  btnNxt = &panel3.Create<ui::Button>("btnNxt");
  btnNxt->SetCaption(Ansi("下一步"));
  btnNxt->SetBounds(320, 16, 75, 25);
  btnNxt->SetDefault(true);
  btnNxt->SetMnemonic('N');
  btnNxt->OnClick = [this] { Next(); };
  auto& close = panel3.Create<ui::Button>("Button2");
  close.SetCaption(Ansi("关闭"));
  close.SetBounds(421, 16, 75, 25);
  close.SetCancel(true);
  close.SetModalResult(ui::kMrCancel);

  pcWise = &form.Create<ui::PageControl>("pcWise");
  pcWise->SetAlign(ui::AlignMode::kClient);
  pcWise->SetTabsVisible(false);
  pcWise->AddPage("TabFrame");
  BuildSelectPage(FSource, pcWise->AddPage("TabSelSrc"), "cbxImport", "edtImport", 27);
  pcWise->AddPage("TabConfSrc");
  BuildSelectPage(FDest, pcWise->AddPage("TabSelTag"), "cbxExport", "EdtExport", 20);
  pcWise->AddPage("TabConfTag");
  BuildRelationPage(pcWise->AddPage("TabRelation"));
}

void TTransFrom::BuildSelectPage(Side& side, ui::Page& page, const char* listName, const char* boxName, int top) {
  const bool source = side.direction == kDirectionSource;
  side.list = &page.Create<ui::ComboBox>(listName);
  side.list->SetBounds(source ? 25 : 24, top, 328, 20);
  side.list->OnChange = [this, &side] { ChoiceChanged(side); };
  // The page's header says what the list is for; no label stands beside it.
  side.list->SetAccessibleName(Ansi(source ? "数据源" : "存储目标"));
  side.description = &page.Create<ui::RichText>(boxName);
  side.description->SetBounds(source ? 43 : 29, source ? 72 : 65, 432, 123);
  side.description->SetReadOnly(true);
  side.description->SetBorder(false);
  side.description->SetScrollBars(ui::ScrollBars::kVertical);
  side.description->SetColor(ui::kColorDialog);
}

void TTransFrom::BuildRelationPage(ui::Page& page) {
  auto& label1 = page.Create<ui::Label>("Label1");
  label1.SetCaption(Ansi("过滤条件:"));
  // Room for the mnemonic the toolkit shows after the caption, "过滤条件(F):".
  label1.SetBounds(5, 10, 80, 12);
  edtFilter = &page.Create<ui::Edit>("edtFilter");
  edtFilter->SetBounds(87, 6, 351, 20);
  label1.LabelFor(*edtFilter, 'F');
  auto& speed = page.Create<ui::Button>("SpeedButton1");
  speed.SetAccessibleName(Ansi("编辑过滤条件公式"));
  speed.SetCaption("...");
  speed.SetBounds(446, 6, 23, 22);
  speed.OnClick = [this] {
    if (auto text = EditExpression(edtFilter->Text())) edtFilter->SetText(std::move(*text));
  };
  edtRelations = &page.Create<ui::ValueListEditor>("edtRelations");
  edtRelations->SetBounds(0, 0, 500, 174);
  edtRelations->SetAlign(ui::AlignMode::kBottom);
  edtRelations->SetTitles(Ansi("列名"), Ansi("表达式"));
  edtRelations->SetAccessibleName(Ansi("列的取值表达式"));
  edtRelations->SetColumnWidths(83, 411);
  edtRelations->OnEditButtonClick = [this] {
    const int row = edtRelations->CurrentRow();
    if (row < 0) return;
    if (auto text = EditExpression(edtRelations->Row(row).value)) edtRelations->SetValue(row, std::move(*text));
  };
}

void TTransFrom::FillLists() {
  GetTransEngineFactories().Enumerate(0, [&](ITransEngineFactory* factory) { FFactories.emplace_back(factory); });
  for (Side* side : {&FSource, &FDest}) {
    for (const auto& factory : FFactories)
      if (factory->GetEngineTypes() & side->direction) side->list->AddItem(factory->GetName(), factory.get());
    // Chosen without the change event: the description shows only what the user picks.
    if (side->list->ItemCount() > 0) side->list->SetItemIndex(0);
  }
}

ITransEngine* TTransFrom::Engine(const Side& side) const {
  return side.direction == kDirectionSource ? FFrame->ImportEngine() : FFrame->ExportEngine();
}

bool TTransFrom::Replaceable(const Side& side) const {
  return side.direction == kDirectionSource ? FFrame->ImportReplaceable() : FFrame->ExportReplaceable();
}

void TTransFrom::SetEngine(const Side& side, ITransEngine* engine) {
  side.configAsked = nullptr;
  if (side.direction == kDirectionSource) FFrame->SetImportEngine(engine, true);
  else FFrame->SetExportEngine(engine, true);
}

ITransEngineFactory* TTransFrom::FactoryAt(const Side& side, int index) const {
  return static_cast<ITransEngineFactory*>(side.list->ItemObject(index));
}

std::string TTransFrom::InitFailedText(const Side& side) const { return Ansi(side.word) + Ansi("引擎初始化失败！"); }

void TTransFrom::SetFrame(TTransFrame* frame) {
  if (frame == FFrame) return;
  if (FFrame) FFrame->SetEvents(FSavedSink.get());
  FSavedSink = nullptr;
  FFrame = frame;
  if (!FFrame) return;
  FSavedSink = FFrame->Events();
  FFrame->SetEvents(this);
  for (Side* side : {&FSource, &FDest}) {
    ITransEngine* engine = Engine(*side);
    side->preset = engine != nullptr;
    if (engine) side->list->SetItemIndex(side->list->IndexOf(engine->GetName()));
  }
  SideStep(FSource);
  UpdateButtons();
}

void TTransFrom::SideStep(Side& side) {
  if (!Engine(side) && side.list->ItemCount() == 1) {
    if (IntfPtr<ITransEngine> engine = FactoryAt(side, 0)->CreateEngine()) SetEngine(side, engine.get());
  }
  if (ITransEngine* engine = Engine(side)) {
    side.list->SetItemIndex(side.list->IndexOf(engine->GetName()));
    if (engine->IsActive() || engine->Init(side.direction)) {
      engine->SetEvents(this);
      StartConfig(side, engine);
      if (Replaceable(side) && !(side.preset && side.config)) {
        ShowPage(side.selectPage);
      } else if (side.config) {
        side.config->First();
        ShowPage(side.configPage);
      } else {
        AfterSide(side);
      }
      return;
    }
    if (!Replaceable(side)) throw ETransFromError(InitFailedText(side));
    if (ITransEvents* sink = FFrame->Events()) sink->OnMessage(kSeverityError, InitFailedText(side));
    IntfPtr<ITransEngine> dropped(engine);
    SetEngine(side, nullptr);
    dropped->SetEvents(nullptr);
  }
  ShowPage(side.selectPage);
}

void TTransFrom::AfterSide(const Side& side) {
  if (side.direction == kDirectionSource) SideStep(FDest);
  else ShowPage(kTabRelation);
}

void TTransFrom::StartConfig(Side& side, ITransEngine* engine) {
  // A wizard already embedded for this engine stays as the user left it.
  if (side.config || side.configAsked == engine) return;
  side.configAsked = engine;
  IntfPtr<IEngineConfig> config = engine->GetConfig();
  if (!config) return;
  bool started = false;
  try {
    started = config->Init(pcWise->PageAt(side.configPage).Handle(), true);
  } catch (const ETransConfigError& e) {
    // The page is skipped; the user still learns why.
    ui::Application::Instance().HandleException(e);
  }
  if (started) side.config = std::move(config);
}

void TTransFrom::ShowPage(int page) {
  pcWise->SetActivePageIndex(page);
  if (const Header* header = HeaderOf(page)) OnStatus(Ansi(header->caption), Ansi(header->text));
  if (page == kTabRelation) EnterRelations();
}

bool TTransFrom::CanGoBack() const {
  const bool sourceChoice = Replaceable(FSource) && FSource.list->ItemCount() > 1;
  const bool destChoice = Replaceable(FDest) && FDest.list->ItemCount() > 1;
  const bool toSource = FSource.config || sourceChoice;
  switch (CurrentPage()) {
    case kTabConfSrc: return (FSource.config && !FSource.config->IsBOF()) || sourceChoice;
    case kTabSelTag: return toSource;
    case kTabConfTag: return (FDest.config && !FDest.config->IsBOF()) || destChoice || toSource;
    case kTabRelation: return FDest.config || destChoice || toSource;
    default: return false;
  }
}

void TTransFrom::UpdateButtons() {
  if (!FFrame) return;
  btnPre->SetEnabled(CanGoBack());
  btnNxt->SetCaption(Ansi(CurrentPage() == kTabRelation ? "完成" : "下一步"));
}

void TTransFrom::Next() {
  if (!FFrame) return;
  switch (CurrentPage()) {
    case kTabSelSrc: NextFromSelection(FSource); break;
    case kTabConfSrc: NextFromConfig(FSource); break;
    case kTabSelTag: NextFromSelection(FDest); break;
    case kTabConfTag: NextFromConfig(FDest); break;
    case kTabRelation: Finish(); return;
    default: break;
  }
  UpdateButtons();
}

void TTransFrom::NextFromSelection(Side& side) {
  const int index = side.list->ItemIndex();
  if (index < 0) {
    Inform(Ansi("请选择") + Ansi(side.word) + Ansi("引擎！"));
    return;
  }
  ITransEngine* engine = Engine(side);
  if (!engine) {
    IntfPtr<ITransEngine> created = FactoryAt(side, index)->CreateEngine();
    if (!created) throw ETransFromError(InitFailedText(side));
    SetEngine(side, created.get());
    engine = created.get();
  }
  // An engine that failed to open before is tried again rather than passed on closed. An
  // engine may be open from the moment it is made, so its wizard is started here as well;
  // one already embedded stays as the user left it.
  if (!engine->IsActive() && !engine->Init(side.direction)) throw ETransFromError(InitFailedText(side));
  engine->SetEvents(this);
  StartConfig(side, engine);
  if (side.config) {
    ShowPage(side.configPage);
    side.config->First();
  } else {
    AfterSide(side);
  }
}

void TTransFrom::NextFromConfig(Side& side) {
  IEngineConfig* config = side.config.get();
  if (!config) {
    AfterSide(side);
  } else if (config->IsEOF()) {
    if (config->CheckSucceed() && UpdateApplied(side)) AfterSide(side);
  } else if (config->CheckSucceed()) {
    config->Next();
  }
}

void TTransFrom::Previous() {
  if (!FFrame) return;
  switch (CurrentPage()) {
    case kTabConfSrc: BackFromSourceConfig(); break;
    case kTabSelTag: BackToSource(); break;
    case kTabConfTag: BackFromDestinationConfig(); break;
    case kTabRelation:
      // What the user mapped so far comes back when the page is entered again.
      if (FEditHost) FEditHost->SetScript(RelationScript());
      if (FDest.config) {
        ShowPage(kTabConfTag);
        FDest.config->Last();
      } else {
        BackFromDestinationConfig();
      }
      break;
    default: break;
  }
  UpdateButtons();
}

void TTransFrom::BackFromDestinationConfig() {
  if (FDest.config && !FDest.config->IsBOF()) FDest.config->Previous();
  else if (Replaceable(FDest) && FDest.list->ItemCount() > 1) ShowPage(kTabSelTag);
  else BackToSource();
}

void TTransFrom::BackToSource() {
  if (FSource.config) {
    ShowPage(kTabConfSrc);
    FSource.config->Last();
  } else {
    BackFromSourceConfig();
  }
}

void TTransFrom::BackFromSourceConfig() {
  if (FSource.config && !FSource.config->IsBOF()) FSource.config->Previous();
  else if (Replaceable(FSource) && FSource.list->ItemCount() > 1) ShowPage(kTabSelSrc);
}

void TTransFrom::ChoiceChanged(Side& side) {
  if (!FFrame) return;
  side.preset = false;
  if (side.config) {
    IntfPtr<IEngineConfig> config = std::move(side.config);
    config->Fina();
  }
  if (FEditHost) {
    if (side.direction == kDirectionSource) FEditHost->SetSourcePort(nullptr);
    else FEditHost->SetDestinationPort(nullptr);
  }
  if (IntfPtr<ITransEngine> engine = Engine(side)) {
    SetEngine(side, nullptr);
    if (engine->IsActive()) engine->Fina();
    engine->SetEvents(nullptr);
  }
  const int index = side.list->ItemIndex();
  if (index >= 0) side.description->SetText(FactoryAt(side, index)->GetDescription());
}

IntfPtr<ITransPort> TTransFrom::PortOf(const Side& side) const {
  IntfPtr<ITransPort> port = side.config ? side.config->GetPort() : nullptr;
  if (!port) {
    if (ITransEngine* engine = Engine(side)) port = engine->GetPort();
  }
  return port;
}

void TTransFrom::EnterRelations() {
  if (!FEditHost) {
    if (IntfPtr<ITransScriptHost> frameHost = FFrame->GetScriptHost()) {
      FEditHost = GetTransScriptHosts().FindByName(frameHost->GetName());
      if (FEditHost) {
        FEditHost->SetScript(frameHost->GetScript());
        FEditHost->SetEvents(this);
      }
    }
  }
  if (!FEditHost) return;
  IntfPtr<IImport> source = QueryIntf<IImport>(PortOf(FSource).get());
  IntfPtr<IExport> dest = QueryIntf<IExport>(PortOf(FDest).get());
  // The formula editor lists the fields of the source it was filled for.
  if (FEditor && source.get() != FEditHost->GetSourcePort().get()) FEditor->SetScriptHost(nullptr);
  FEditHost->SetSourcePort(source.get());
  FEditHost->SetDestinationPort(dest.get());
  if (FEditHost->IsEmpty()) FEditHost->BuildDefaultScript();
  FillRelations();
}

void TTransFrom::FillRelations() {
  std::vector<TRelationRow> rows;
  if (IntfPtr<IExport> dest = FEditHost->GetDestinationPort()) {
    const int32_t count = dest->GetFieldCount();
    for (int32_t i = 0; i < count; ++i) {
      IntfPtr<ITransField> field = dest->GetField(i);
      rows.push_back(TRelationRow{field ? field->GetName() : std::string(), std::string()});
    }
  }
  std::string filter = edtFilter->Text();
  ReadRelations(FEditHost->GetScript(), rows, filter);
  edtRelations->ClearRows();
  for (TRelationRow& row : rows) edtRelations->AddRow(std::move(row.name), std::move(row.value), true);
  edtFilter->SetText(std::move(filter));
}

std::string TTransFrom::RelationScript() {
  std::vector<TRelationRow> rows;
  for (int i = 0; i < edtRelations->RowCount(); ++i)
    rows.push_back(TRelationRow{edtRelations->Row(i).key, edtRelations->Row(i).value});
  IntfPtr<IExport> dest = FEditHost ? FEditHost->GetDestinationPort() : nullptr;
  TRelationScript out = WriteRelations(edtFilter->Text(), rows, [&](std::string_view name) -> int32_t {
    IntfPtr<ITransField> field = dest ? dest->FindField(name) : nullptr;
    return field ? field->GetIndex() : -1;
  });
  for (const std::string& name : out.unknownRows) Inform(Ansi("列 < ") + name + Ansi(" > 无效！"));
  return out.script;
}

bool TTransFrom::UpdateApplied(Side& side) {
  const int shownBefore = FMessagesShown;
  side.config->Update();
  ITransEngine* engine = Engine(side);
  if (!engine || engine->Established()) return true;
  // The engine says why in a message box as a rule; one that said nothing gets ours.
  if (FMessagesShown == shownBefore)
    Inform(Ansi(side.direction == kDirectionSource ? "导入引擎的设置无法生效，请检查后再试。"
                                                   : "导出引擎的设置无法生效，请检查后再试。"));
  return false;
}

void TTransFrom::Finish() {
  if (FEditHost) {
    // One script for both hosts: an invalid row is reported once.
    const std::string script = RelationScript();
    FEditHost->SetScript(script);
    if (!FEditHost->Compile()) return;  // the host's messages are on the screen already
    // An engine that cannot take its settings now (its file went away meanwhile, say)
    // keeps the wizard open: the run would write nothing, or the wrong thing.
    for (Side* side : {&FSource, &FDest})
      if (side->config && !UpdateApplied(*side)) return;
    if (IntfPtr<ITransScriptHost> frameHost = FFrame->GetScriptHost()) frameHost->SetScript(script);
  }
  FWindow->SetModalResult(ui::kMrOk);
}

std::optional<std::string> TTransFrom::EditExpression(std::string text) {
  if (!FEditor) FEditor = std::make_unique<TExprEdit>();
  FEditor->SetScriptHost(FEditHost.get());
  FEditor->SetExpression(std::move(text));
  if (FEditor->ShowModal() != ui::kMrOk) return std::nullopt;
  return FEditor->Expression();
}

void TTransFrom::Destroy() {
  if (!FWindow) return;
  for (Side* side : {&FSource, &FDest}) {
    if (!side->config) continue;
    IntfPtr<IEngineConfig> config = std::move(side->config);
    config->Fina();
  }
  FEditor.reset();
  if (FEditHost) {
    // The host holds this dialog as its sink: let go of each other.
    FEditHost->SetEvents(nullptr);
    FEditHost->SetSourcePort(nullptr);
    FEditHost->SetDestinationPort(nullptr);
    FEditHost = nullptr;
  }
  if (FFrame) FFrame->SetEvents(FSavedSink.get());
  FFrame = nullptr;
  FSavedSink = nullptr;
  FWindow.reset();
  FFactories.clear();
  FSource.list = FDest.list = nullptr;
  FSource.description = FDest.description = nullptr;
}

void TTransFrom::OnMessage(int32_t kind, std::string_view text) {
  if (!FWindow) return;
  static constexpr struct {
    std::string_view caption;  // UTF-8
    uint32_t icon;
  } kStyles[] = {{"提示", 0}, {"提示", ui::kMbIconInformation}, {"警告", ui::kMbIconWarning}, {"错误", ui::kMbIconError}};
  const auto& style = kStyles[SeverityOf(kind)];
  ++FMessagesShown;
  ui::ShowMessageBox(text, Ansi(style.caption), ui::kMbOk | style.icon);
}

void TTransFrom::OnStatus(std::string_view caption, std::string_view text) {
  if (!FWindow) return;
  LbCaption->SetCaption(std::string(caption));
  LbText->SetCaption(std::string(text));
}

void TTransFrom::OnProgress(uint8_t, int32_t, bool&) {}

}  // namespace ryn
