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

  std::string Expression() const { return edtExpr_->Text(); }
  void SetExpression(std::string text) { edtExpr_->SetText(std::move(text)); }

  // Shows what host offers; the same host again keeps the lists as they are. The fields
  // come from its source port, the functions from the global listeners and then those of
  // its parser (only a TNamedHost tells them). Null empties the lists.
  void SetScriptHost(ITransScriptHost* host);
  ITransScriptHost* ScriptHost() const { return host_.get(); }

  // OK or Cancel; the expression is not checked here (the host checks it on Compile).
  int ShowModal() { return window_->ShowModal(); }
  ui::Form& Window() { return *window_; }

 private:
  void Build();
  void FillFields(ITransScriptHost* host);
  void FillFunctions(ITransScriptHost* host);
  void ShowSignature();
  void InsertFunction();
  void InsertField();
  void InsertOperator();

  IntfPtr<ITransScriptHost> host_;
  // The listeners whose declarations LsFunc points at, kept alive while they are listed.
  std::vector<IntfPtr<ISyntaxFunctionListener>> listed_;
  std::unique_ptr<ui::Form> window_;
  ui::Edit* edtExpr_ = nullptr;
  ui::ValueListEditor* edtImport_ = nullptr;
  ui::ListBox* LsFunc_ = nullptr;
  ui::RichText* MoFunc_ = nullptr;
  ui::ListView* lvOperater_ = nullptr;
};

}  // namespace ryn
