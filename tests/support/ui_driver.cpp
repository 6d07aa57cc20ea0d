#include "support/ui_driver.h"

namespace ryn::ui {
namespace {

bool Usable(const Control& control) { return control.Showing() && control.EffectivelyEnabled(); }

}  // namespace

bool Click(Button& button) {
  if (!Usable(button)) return false;
  button.UserClick();
  return true;
}

bool PressEnter(Form& form) { return form.UserPressEnter(); }

bool PressEscape(Form& form) { return form.UserPressEscape(); }

bool ClickCloseBox(Form& form) { return form.UserCloseBox(); }

bool TypeText(Edit& edit, std::string_view text) {
  if (!Usable(edit) || edit.ReadOnly()) return false;
  edit.UserType(text);
  return true;
}

bool ReplaceText(Edit& edit, std::string_view text) {
  if (!Usable(edit) || edit.ReadOnly()) return false;
  edit.SelectAll();
  edit.UserType(text);
  return true;
}

bool SelectText(Edit& edit, int start, int length) {
  if (!Usable(edit)) return false;
  edit.SetSelection(start, length);
  return true;
}

bool ClickEllipsis(ButtonEdit& edit) {
  if (!Usable(edit)) return false;
  edit.UserClickButton();
  return true;
}

bool Select(ComboBox& combo, int index) { return Usable(combo) && combo.UserSelect(index); }

bool Select(ComboBox& combo, std::string_view text) { return Select(combo, combo.IndexOf(text)); }

bool Select(ListBox& list, int index) { return Usable(list) && list.UserSelect(index); }

bool DoubleClick(ListBox& list, int index) { return Usable(list) && list.UserDoubleClick(index); }

bool Select(ListView& view, int index, bool extend) { return Usable(view) && view.UserSelect(index, extend); }

bool DoubleClick(ListView& view, int index) { return Usable(view) && view.UserDoubleClick(index); }

bool SelectTab(TabControl& tabs, int index) { return Usable(tabs) && tabs.UserSelectTab(index); }

bool ClickMenuItem(Control& control, std::string_view item) {
  PopupMenu* menu = control.ContextMenu();
  if (!menu || !Usable(control)) return false;
  MenuItem* found = menu->FindItem(item);
  return found && menu->UserClick(*found);
}

bool EditRowValue(ValueListEditor& list, int row, std::string_view value) {
  return Usable(list) && list.UserEditValue(row, std::string(value));
}

bool ClickRowEllipsis(ValueListEditor& list, int row) { return Usable(list) && list.UserClickEllipsis(row); }

bool DoubleClickRow(ValueListEditor& list, int row) { return Usable(list) && list.UserDoubleClick(row); }

bool SelectCell(GridView& grid, int col, int row) { return Usable(grid) && grid.UserSelectCell(col, row); }

bool EditCellText(GridView& grid, int col, int row, std::string_view text) {
  return Usable(grid) && grid.UserEditCell(col, row, text);
}

bool ResizeColumn(GridView& grid, int col, int width) { return Usable(grid) && grid.UserResizeColumn(col, width); }

bool PressInsertRow(GridView& grid) { return Usable(grid) && grid.UserInsertRow(); }

bool PressDeleteRow(GridView& grid) { return Usable(grid) && grid.UserDeleteRow(); }

bool PressArrowDown(GridView& grid) { return Usable(grid) && grid.UserMoveDown(); }

ScopedModalDriver::ScopedModalDriver(ModalDriver driver)
    : previous_(Application::Instance().SetModalDriver(std::move(driver))) {}

ScopedModalDriver::~ScopedModalDriver() { Application::Instance().SetModalDriver(std::move(previous_)); }

}  // namespace ryn::ui
