// The formula editor driven as a user would: what it lists for a host (fields with their
// Import calls, functions in listener order, the operator table), the signature shown on
// a click, insertion at the caret (replacing a selection), nothing inserted without a
// selection, and when a host's lists are kept or refilled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expr/common_functions.h"
#include "expr/expr_editor.h"
#include "expr/function_signature.h"
#include "expr/named_host.h"
#include "platform/codepage.h"
#include "support/table_ports.h"
#include "support/ui_driver.h"

namespace ryn {
namespace {

using testing::Column;
using testing::TableSource;
using Lines = std::vector<std::string>;
using Rows = std::vector<std::pair<std::string, std::string>>;

IntfPtr<TableSource> Source(std::vector<Column> columns) {
  return MakeIntf<TableSource>(std::move(columns), std::vector<std::vector<std::string>>{});
}

// A host of another kind: it tells neither its implementor nor its functions.
class PlainHost final : public TInterfacedObject, public virtual ITransScriptHost {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransScriptHost>(this, iid, obj); }
  void SetSourcePort(IImport* s) override { source = s; }
  void SetDestinationPort(IExport*) override {}
  void SetEvents(ITransEvents*) override {}
  void SetScript(std::string_view) override {}
  void BuildDefaultScript() override {}
  void Execute() override {}
  IntfPtr<IImport> GetSourcePort() override { return source; }
  IntfPtr<IExport> GetDestinationPort() override { return nullptr; }
  bool IsEmpty() override { return true; }
  std::string GetName() override { return "plain"; }
  std::string GetScript() override { return {}; }
  bool Compile() override { return true; }
  IntfPtr<IInterface> GetConfig() override { return nullptr; }
  IntfPtr<IImport> source;
};

class ExprEditTest : public ::testing::Test {
 protected:
  ui::Form& Form() { return editor.Window(); }
  ui::Edit& Expr() { return ui::ControlOf<ui::Edit>(Form(), "edtExpr"); }
  ui::ValueListEditor& Fields() { return ui::ControlOf<ui::ValueListEditor>(Form(), "edtImport"); }
  ui::ListBox& Functions() { return ui::ControlOf<ui::ListBox>(Form(), "LsFunc"); }
  ui::RichText& Signature() { return ui::ControlOf<ui::RichText>(Form(), "MoFunc"); }
  ui::ListView& Operators() { return ui::ControlOf<ui::ListView>(Form(), "lvOperater"); }

  Rows FieldRows() {
    Rows rows;
    for (int i = 0; i < Fields().RowCount(); ++i) rows.emplace_back(Fields().Row(i).key, Fields().Row(i).value);
    return rows;
  }
  Lines FunctionNames() {
    Lines names;
    for (const auto& item : Functions().Items()) names.push_back(item.text);
    return names;
  }
  // What the host's functions should list as: global listeners first, then the parser's.
  static Lines ExpectedFunctions(TNamedHost& host) {
    Lines names;
    auto add = [&](const SyntaxListenerList& list) {
      for (const auto& l : list)
        for (int i = 0; i < l->GetFunctions().Count(); ++i) names.push_back(l->GetFunctions().Items(i)->Name);
    };
    add(GlobalSyntaxListeners());
    add(host.SyntaxParser().FunctionListeners());
    return names;
  }
  int FunctionIndex(std::string_view name) { return Functions().IndexOf(name); }
  // The user acts while the dialog is shown; it is then cancelled.
  void AsUser(const std::function<void()>& act) {
    ui::ScopedModalDriver driver([&](ui::Form&) { act(); });
    editor.ShowModal();
  }

  TCommonFunctionsRegistration common;
  TExprEdit editor;
};

TEST_F(ExprEditTest, TheFormAndItsOperatorTable) {
  EXPECT_EQ(Form().Caption(), Ansi("公式编辑"));
  EXPECT_EQ(Form().ClientWidth(), 583);
  EXPECT_EQ(Form().ClientHeight(), 397);
  EXPECT_EQ(Form().BorderStyle(), ui::FormBorder::kSingle);
  EXPECT_EQ(Form().Position(), ui::FormPosition::kScreenCenter);
  EXPECT_EQ(Form().Font(), (ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault}));
  struct Caption {
    const char* control;
    std::string text;  // UTF-8
  } captions[] = {{"lbField", "字段取值公式"}, {"Label2", "导入字段"}, {"Label3", "函数"},
                  {"Label1", "函数说明"},     {"Label4", "运算符"}};
  for (const Caption& c : captions) EXPECT_EQ(ui::ControlOf<ui::Label>(Form(), c.control).Caption(), Ansi(c.text));
  EXPECT_EQ(Fields().KeyTitle(), Ansi("字段名称"));
  EXPECT_EQ(Fields().ValueTitle(), Ansi("取值函数"));
  EXPECT_EQ(Fields().KeyWidth(), 86);
  EXPECT_EQ(Fields().ValueWidth(), 88);
  EXPECT_TRUE(Fields().ReadOnly());
  EXPECT_TRUE(Signature().ReadOnly());
  EXPECT_FALSE(Signature().WordWrap());
  EXPECT_EQ(Signature().Scrolling(), ui::ScrollBars::kBoth);
  EXPECT_EQ(Signature().Color(), ui::kColorInfo);

  ASSERT_EQ(Operators().Columns().size(), 2u);
  EXPECT_EQ(Operators().Columns()[0].caption, Ansi("运算符"));
  EXPECT_EQ(Operators().Columns()[1].caption, Ansi("描述"));
  EXPECT_TRUE(Operators().RowSelect());
  EXPECT_TRUE(Operators().ReadOnly());
  const Rows expected = {{"+", "加"},        {"-", "减"},       {"*", "乘"},      {"/", "除"},      {"&", "连加"},
                         {"=", "等于"},      {"==", "模糊等"},  {"<>", "不等于"}, {">", "大于"},    {"<", "小于"},
                         {">=", "大于等于"}, {"<=", "小于等于"}, {"AND", "并且"}, {"OR", "或者"},   {"NOT", "否"},
                         {"IF", "如果"},     {"THEN", "那么"},  {"ELSE", "否则"}};
  ASSERT_EQ(Operators().ItemCount(), static_cast<int>(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    const ui::ListViewItem& item = Operators().Item(static_cast<int>(i));
    EXPECT_EQ(item.caption, expected[i].first);
    EXPECT_EQ(item.subItems, Lines{Ansi(expected[i].second)}) << expected[i].first;
  }

  auto& ok = ui::ControlOf<ui::Button>(Form(), "Button1");
  auto& cancel = ui::ControlOf<ui::Button>(Form(), "Button2");
  EXPECT_EQ(ok.Caption(), Ansi("确定"));
  EXPECT_EQ(cancel.Caption(), Ansi("取消"));
  EXPECT_EQ(Form().DefaultButton(), &ok);
  EXPECT_EQ(Form().CancelButton(), &cancel);
}

TEST_F(ExprEditTest, WhatAHostLists) {
  auto source = Source({{"a", 6}, {"b", 65}, {"a", 8}, {Ansi("金额"), 18}});
  auto withSource = MakeIntf<TNamedHost>();
  withSource->SetSourcePort(source.get());
  auto withoutSource = MakeIntf<TNamedHost>();
  auto plain = MakeIntf<PlainHost>();
  plain->source = source;
  struct Case {
    const char* what;
    ITransScriptHost* host;
    Rows fields;
    Lines functions;
  } cases[] = {
      {"a source port: a repeated name keeps the later index", withSource.get(),
       Rows{{"a", "Import(2)"}, {"b", "Import(1)"}, {Ansi("金额"), "Import(3)"}}, ExpectedFunctions(*withSource)},
      {"no source port: no fields, the functions all the same", withoutSource.get(), Rows{},
       ExpectedFunctions(*withoutSource)},
      {"a host that is no TNamedHost lists no functions", plain.get(),
       Rows{{"a", "Import(2)"}, {"b", "Import(1)"}, {Ansi("金额"), "Import(3)"}}, Lines{}},
      {"no host", nullptr, Rows{}, Lines{}},
  };
  for (const Case& c : cases) {
    editor.SetScriptHost(c.host);
    EXPECT_EQ(FieldRows(), c.fields) << c.what;
    EXPECT_EQ(FunctionNames(), c.functions) << c.what;
    EXPECT_TRUE(Signature().Lines().empty()) << c.what;
  }
  // The common functions come first and the host's own two last.
  Lines names = ExpectedFunctions(*withSource);
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names.front(), common.Listener()->GetFunctions().Items(0)->Name);
  EXPECT_EQ(Lines(names.end() - 2, names.end()), (Lines{"Import", "SetExport"}));
}

TEST_F(ExprEditTest, AClickShowsTheSignatureOfTheFunction) {
  auto host = MakeIntf<TNamedHost>();
  editor.SetScriptHost(host.get());
  for (const char* name : {"Import", "SetExport", "ROUND"}) {
    const int index = FunctionIndex(name);
    ASSERT_GE(index, 0) << name;
    AsUser([&] { EXPECT_TRUE(ui::Select(Functions(), index)); });
    auto* declared = static_cast<TSyntaxFunction*>(Functions().ItemObject(index));
    EXPECT_EQ(Signature().Text(), SignatureText(*declared) + "\r\n") << name;
    EXPECT_EQ(Expr().Text(), "") << "a click inserts nothing";
  }
  EXPECT_EQ(Signature().Lines()[1], Ansi("声明: ") + "double ROUND(double value, double dec)");
}

TEST_F(ExprEditTest, DoubleClicksInsertAtTheCaretReplacingTheSelection) {
  auto source = Source({{"a", 6}, {"b", 65}});
  auto host = MakeIntf<TNamedHost>();
  host->SetSourcePort(source.get());
  editor.SetScriptHost(host.get());
  struct Case {
    const char* what;
    int selStart, selLength;
    std::function<bool()> act;
    std::string text;
    int caret;
  } cases[] = {
      {"field at the end", 5, 0, [&] { return ui::DoubleClickRow(Fields(), 1); }, "x + yImport(1)", 14},
      {"field at the start", 0, 0, [&] { return ui::DoubleClickRow(Fields(), 0); }, "Import(0)x + y", 9},
      {"function over a selection", 4, 1, [&] { return ui::DoubleClick(Functions(), FunctionIndex("ROUND")); },
       "x + ROUND()", 11},
      {"operator == in the middle", 1, 3, [&] { return ui::DoubleClick(Operators(), 6); }, "x==y", 3},
      {"operator & at the caret", 1, 0, [&] { return ui::DoubleClick(Operators(), 4); }, "x& + y", 2},
      {"a word operator", 2, 1, [&] { return ui::DoubleClick(Operators(), 12); }, "x AND y", 5},
  };
  for (const Case& c : cases) {
    editor.SetExpression("x + y");
    AsUser([&] {
      EXPECT_TRUE(ui::SelectText(Expr(), c.selStart, c.selLength)) << c.what;
      EXPECT_TRUE(c.act()) << c.what;
    });
    EXPECT_EQ(editor.Expression(), c.text) << c.what;
    EXPECT_EQ(Expr().SelStart(), c.caret) << c.what;
    EXPECT_EQ(Expr().SelLength(), 0) << c.what;
  }
}

TEST_F(ExprEditTest, NothingIsInsertedWithoutASelection) {
  auto host = MakeIntf<TNamedHost>();  // no source port: no field rows
  editor.SetScriptHost(host.get());
  editor.SetExpression("1+2");
  Expr().SetSelection(1, 0);
  // A double-click on the empty area of a list fires with no current item.
  struct Case {
    const char* what;
    std::function<void()> fire;
  } cases[] = {
      {"functions", [&] { Functions().OnDblClick(); }},
      {"operators", [&] { Operators().OnDblClick(); }},
      {"fields", [&] { Fields().OnDblClick(); }},
      {"function click", [&] { Functions().OnClick(); }},
  };
  ASSERT_EQ(Functions().ItemIndex(), -1);
  ASSERT_EQ(Operators().SelectedIndex(), -1);
  ASSERT_EQ(Fields().CurrentRow(), -1);
  for (const Case& c : cases) {
    AsUser(c.fire);
    EXPECT_EQ(editor.Expression(), "1+2") << c.what;
    EXPECT_EQ(Expr().SelStart(), 1) << c.what;
    EXPECT_TRUE(Signature().Lines().empty()) << c.what;
  }
  AsUser([&] {
    EXPECT_FALSE(ui::DoubleClickRow(Fields(), 0));
    EXPECT_FALSE(ui::DoubleClick(Functions(), -1));
  });
}

TEST_F(ExprEditTest, TheSameHostKeepsItsListsAnotherRefillsThem) {
  auto first = Source({{"a", 6}});
  auto second = Source({{"p", 6}, {"q", 6}});
  auto host = MakeIntf<TNamedHost>();
  host->SetSourcePort(first.get());
  editor.SetScriptHost(host.get());
  const int round = FunctionIndex("ROUND");
  AsUser([&] { ui::Select(Functions(), round); });
  const std::string shown = Signature().Text();

  host->SetSourcePort(second.get());
  editor.SetScriptHost(host.get());
  EXPECT_EQ(FieldRows(), (Rows{{"a", "Import(0)"}}));
  EXPECT_EQ(Functions().ItemIndex(), round);
  EXPECT_EQ(Signature().Text(), shown);

  auto other = MakeIntf<TNamedHost>();
  other->SetSourcePort(second.get());
  editor.SetScriptHost(other.get());
  EXPECT_EQ(FieldRows(), (Rows{{"p", "Import(0)"}, {"q", "Import(1)"}}));
  EXPECT_EQ(Functions().ItemIndex(), -1);
  EXPECT_TRUE(Signature().Lines().empty());
  EXPECT_EQ(FunctionNames(), ExpectedFunctions(*other));
  EXPECT_EQ(editor.ScriptHost(), static_cast<ITransScriptHost*>(other.get()));
}

TEST_F(ExprEditTest, OkAndCancelEndTheDialogWithoutChecking) {
  auto host = MakeIntf<TNamedHost>();
  editor.SetScriptHost(host.get());
  struct Case {
    const char* what;
    const char* button;
    int result;
  } cases[] = {{"OK", "Button1", ui::kMrOk}, {"Cancel", "Button2", ui::kMrCancel}};
  for (const Case& c : cases) {
    editor.SetExpression("Import(");
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      EXPECT_EQ(&form, &Form());
      ui::SelectText(Expr(), 7, 0);
      ui::TypeText(Expr(), ")+");
      ui::DoubleClick(Functions(), FunctionIndex("ABS"));
      ui::Click(ui::ControlOf<ui::Button>(form, c.button));
    });
    EXPECT_EQ(editor.ShowModal(), c.result) << c.what;
    EXPECT_EQ(editor.Expression(), "Import()+ABS()") << c.what;
    EXPECT_EQ(Form().Left(), (ui::Screen::Instance().Width() - 583) / 2) << c.what;
  }
}

}  // namespace
}  // namespace ryn
