// TExprEdit, the formula editor: the modal dialog in which a user writes the expression
// that fills one destination field. It lists the source fields of a script host as
// ready-made Import calls, every function its parser knows with the signature text, and
// the operators; a double-click inserts the item at the caret of the expression box.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "expr/syntax_listener.h"
#include "transport/interfaces.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/lists.h"

namespace ryn {

class TExprEdit {
 public:
  TExprEdit();
  ~TExprEdit();
  TExprEdit(const TExprEdit&) = delete;
  TExprEdit& operator=(const TExprEdit&) = delete;

  std::string Expression() const { return edtExpr->Text(); }
  void SetExpression(std::string text) { edtExpr->SetText(std::move(text)); }

  // Shows what host offers; the same host again keeps the lists as they are. The fields
  // come from its source port, the functions from the global listeners and then those of
  // its parser (only a TNamedHost tells them). Null empties the lists.
  void SetScriptHost(ITransScriptHost* host);
  ITransScriptHost* ScriptHost() const { return FHost.get(); }

  // OK or Cancel; the expression is not checked here (the host checks it on Compile).
  int ShowModal() { return FWindow->ShowModal(); }
  ui::Form& Window() { return *FWindow; }

 private:
  void Build();
  void FillFields(ITransScriptHost* host);
  void FillFunctions(ITransScriptHost* host);
  void ShowSignature();
  void InsertFunction();
  void InsertField();
  void InsertOperator();

  IntfPtr<ITransScriptHost> FHost;
  // The listeners whose declarations LsFunc points at, kept alive while they are listed.
  std::vector<IntfPtr<ISyntaxFunctionListener>> FListed;
  std::unique_ptr<ui::Form> FWindow;
  ui::Edit* edtExpr = nullptr;
  ui::ValueListEditor* edtImport = nullptr;
  ui::ListBox* LsFunc = nullptr;
  ui::RichText* MoFunc = nullptr;
  ui::ListView* lvOperater = nullptr;
};

}  // namespace ryn
