// Acting as a user on the forms: clicks, typing, choosing items and tabs, menu clicks,
// ellipsis buttons and grid cells, each through the path the toolkit's input takes, and
// each refused (the answer false) when a user could not do it: the control is hidden or
// disabled, the item or cell does not exist, the edit is read-only. Also finding controls by name and installing a
// modal driver for a scope. Used by tests on the UI thread; the windows themselves never
// need it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/grid_view.h"
#include "ui/lists.h"
#include "ui/menus.h"
#include "ui/pages.h"

namespace ryn::ui {

// The control of that name and type below root; null when there is none of that type.
template <class T>
T* FindControl(const Control& root, std::string_view name) {
  return dynamic_cast<T*>(root.FindChild(name));
}

// The same, raising std::out_of_range when it is missing.
template <class T>
T& ControlOf(const Control& root, std::string_view name) {
  if (T* control = FindControl<T>(root, name)) return *control;
  throw std::out_of_range("no control named " + std::string(name));
}

bool Click(Button& button);
// Enter and Escape: click the form's default or cancel button.
bool PressEnter(Form& form);
bool PressEscape(Form& form);
// The close box of the window's title bar.
bool ClickCloseBox(Form& form);
// Types at the caret, replacing the selection.
bool TypeText(Edit& edit, std::string_view text);
// Selects the whole text and types over it.
bool ReplaceText(Edit& edit, std::string_view text);
// Places the caret (length 0) or selects with the mouse.
bool SelectText(Edit& edit, int start, int length);
bool ClickEllipsis(ButtonEdit& edit);
bool Select(ComboBox& combo, int index);
// Picks the first item with exactly that text.
bool Select(ComboBox& combo, std::string_view text);
bool Select(ListBox& list, int index);
bool DoubleClick(ListBox& list, int index);
bool Select(ListView& view, int index, bool extend = false);
bool DoubleClick(ListView& view, int index);
bool SelectTab(TabControl& tabs, int index);
// Opens the control's context menu and clicks the item of that name or caption.
bool ClickMenuItem(Control& control, std::string_view item);
bool EditRowValue(ValueListEditor& list, int row, std::string_view value);
bool ClickRowEllipsis(ValueListEditor& list, int row);
bool DoubleClickRow(ValueListEditor& list, int row);
// Clicks a cell of the grid, making it current.
bool SelectCell(GridView& grid, int col, int row);
// Clicks the cell, types the text over its content and leaves it.
bool EditCellText(GridView& grid, int col, int row, std::string_view text);
// Drags the right edge of the column's heading to the width.
bool ResizeColumn(GridView& grid, int col, int width);
// The insert and delete keys of the grid, at its current row.
bool PressInsertRow(GridView& grid);
bool PressDeleteRow(GridView& grid);
// The down arrow key of the grid (past the last row it appends one, where allowed).
bool PressArrowDown(GridView& grid);

// Installs a modal driver for its lifetime and puts the previous one back after.
class ScopedModalDriver {
 public:
  explicit ScopedModalDriver(ModalDriver driver);
  ~ScopedModalDriver();
  ScopedModalDriver(const ScopedModalDriver&) = delete;
  ScopedModalDriver& operator=(const ScopedModalDriver&) = delete;

 private:
  ModalDriver previous_;
};

}  // namespace ryn::ui
