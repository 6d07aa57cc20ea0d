#include "expr/expr_editor.h"

#include <cstdio>
#include <string_view>

#include "expr/function_signature.h"
#include "expr/named_host.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

struct OperatorRow {
  std::string_view op;
  std::string_view description;  // UTF-8
};

constexpr OperatorRow kOperators[] = {
    {"+", "加"},        {"-", "减"},      {"*", "乘"},      {"/", "除"},          {"&", "连加"},
    {"=", "等于"},      {"==", "模糊等"}, {"<>", "不等于"}, {">", "大于"},        {"<", "小于"},
    {">=", "大于等于"}, {"<=", "小于等于"}, {"AND", "并且"}, {"OR", "或者"},       {"NOT", "否"},
    {"IF", "如果"},     {"THEN", "那么"}, {"ELSE", "否则"},
};

std::string ImportCall(int32_t index) {
  char text[32];
  std::snprintf(text, sizeof text, "Import(%d)", index);
  return text;
}

}  // namespace

TExprEdit::TExprEdit() : FWindow(std::make_unique<ui::Form>()) { Build(); }

TExprEdit::~TExprEdit() = default;

void TExprEdit::Build() {
  ui::Form& form = *FWindow;
  form.SetName("ExprEdit");
  form.SetCaption(Ansi("公式编辑"));
  form.SetClientSize(583, 397);
  form.SetBorderStyle(ui::FormBorder::kSingle);
  form.SetPosition(ui::FormPosition::kScreenCenter);
  form.SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault});

  auto& lbField = form.Create<ui::Label>("lbField");
  lbField.SetCaption(Ansi("字段取值公式"));
  lbField.SetBounds(8, 8, 72, 12);
  edtExpr = &form.Create<ui::Edit>("edtExpr");
  edtExpr->SetBounds(8, 24, form.ClientWidth() - 16, 20);
  lbField.LabelFor(*edtExpr, 'E');

  auto& label2 = form.Create<ui::Label>("Label2");
  label2.SetCaption(Ansi("导入字段"));
  label2.SetBounds(8, 54, 48, 12);
  edtImport = &form.Create<ui::ValueListEditor>("edtImport");
  edtImport->SetBounds(8, 70, 180, 286);
  edtImport->SetTitles(Ansi("字段名称"), Ansi("取值函数"));
  label2.LabelFor(*edtImport, 'I');
  edtImport->SetColumnWidths(86, 88);
  edtImport->SetReadOnly(true);
  edtImport->OnDblClick = [this] { InsertField(); };

  auto& label3 = form.Create<ui::Label>("Label3");
  label3.SetCaption(Ansi("函数"));
  label3.SetBounds(196, 54, 24, 12);
  LsFunc = &form.Create<ui::ListBox>("LsFunc");
  LsFunc->SetBounds(196, 70, 180, 286);
  label3.LabelFor(*LsFunc, 'U');
  LsFunc->OnClick = [this] { ShowSignature(); };
  LsFunc->OnDblClick = [this] { InsertFunction(); };

  auto& label1 = form.Create<ui::Label>("Label1");
  label1.SetCaption(Ansi("函数说明"));
  label1.SetBounds(384, 54, 48, 12);
  MoFunc = &form.Create<ui::RichText>("MoFunc");
  MoFunc->SetBounds(384, 70, 191, 120);
  label1.SetFocusControl(MoFunc);  // read only: named, but no key takes the focus there
  MoFunc->SetReadOnly(true);
  MoFunc->SetColor(ui::kColorInfo);
  MoFunc->SetScrollBars(ui::ScrollBars::kBoth);
  MoFunc->SetWordWrap(false);

  auto& label4 = form.Create<ui::Label>("Label4");
  label4.SetCaption(Ansi("运算符"));
  label4.SetBounds(384, 198, 36, 12);
  lvOperater = &form.Create<ui::ListView>("lvOperater");
  lvOperater->SetBounds(384, 214, 191, 142);
  label4.LabelFor(*lvOperater, 'O');
  lvOperater->SetViewStyle(ui::ListViewStyle::kReport);
  lvOperater->SetRowSelect(true);
  lvOperater->SetReadOnly(true);
  lvOperater->AddColumn(Ansi("运算符"), 60);
  lvOperater->AddColumn(Ansi("描述"), 110);
  for (const OperatorRow& row : kOperators) lvOperater->AddItem(std::string(row.op), {Ansi(row.description)});
  lvOperater->OnDblClick = [this] { InsertOperator(); };

  auto& ok = form.Create<ui::Button>("Button1");
  ok.SetCaption(Ansi("确定"));
  ok.SetBounds(412, 364, 75, 25);
  ok.SetDefault(true);
  ok.SetModalResult(ui::kMrOk);
  auto& cancel = form.Create<ui::Button>("Button2");
  cancel.SetCaption(Ansi("取消"));
  cancel.SetBounds(500, 364, 75, 25);
  cancel.SetCancel(true);
  cancel.SetModalResult(ui::kMrCancel);
}

void TExprEdit::SetScriptHost(ITransScriptHost* host) {
  if (host == FHost.get()) return;
  FHost = host;
  edtImport->ClearRows();
  LsFunc->ClearItems();
  MoFunc->ClearLines();
  FListed.clear();
  if (!host) return;
  FillFields(host);
  FillFunctions(host);
}

void TExprEdit::FillFields(ITransScriptHost* host) {
  IntfPtr<IImport> source = host->GetSourcePort();
  if (!source) return;
  const int32_t count = source->GetFieldCount();
  for (int32_t i = 0; i < count; ++i) {
    IntfPtr<ITransField> field = source->GetField(i);
    if (!field) continue;
    std::string name = field->GetName();
    // A name that occurs twice keeps one row, holding the later index.
    int row = 0;
    while (row < edtImport->RowCount() && edtImport->Row(row).key != name) ++row;
    if (row < edtImport->RowCount()) edtImport->SetValue(row, ImportCall(i));
    else edtImport->AddRow(std::move(name), ImportCall(i));
  }
}

void TExprEdit::FillFunctions(ITransScriptHost* host) {
  auto* named = dynamic_cast<TNamedHost*>(ImplementorOf(host));
  if (!named) return;
  for (const auto& listener : GlobalSyntaxListeners()) FListed.push_back(listener);
  for (const auto& listener : named->SyntaxParser().FunctionListeners()) FListed.push_back(listener);
  for (const auto& listener : FListed) {
    TSyntaxFunctions& functions = listener->GetFunctions();
    for (int i = 0; i < functions.Count(); ++i) {
      TSyntaxFunction* function = functions.Items(i);
      LsFunc->AddItem(function->Name, function);
    }
  }
}

void TExprEdit::ShowSignature() {
  const int index = LsFunc->ItemIndex();
  if (index < 0) return;
  MoFunc->SetText(SignatureText(*static_cast<TSyntaxFunction*>(LsFunc->ItemObject(index))));
}

void TExprEdit::InsertFunction() {
  const int index = LsFunc->ItemIndex();
  if (index < 0) return;
  edtExpr->SetSelText(LsFunc->ItemText(index) + "()");
}

void TExprEdit::InsertField() {
  const int row = edtImport->CurrentRow();
  if (row < 0) return;
  edtExpr->SetSelText(edtImport->Row(row).value);
}

void TExprEdit::InsertOperator() {
  const int index = lvOperater->SelectedIndex();
  if (index < 0) return;
  edtExpr->SetSelText(lvOperater->Item(index).caption);
}

}  // namespace ryn
