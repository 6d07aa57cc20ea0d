// Acting as a user on the forms: clicks, typing, choosing items and tabs, menu clicks,
// ellipsis buttons and grid cells, each through the path the toolkit's input takes, and
// each refused (the answer false) when a user could not do it: the control is hidden or
// disabled, the item or cell does not exist, the edit is read-only. Also finding controls by name and installing a
// modal driver for a scope. Used by tests and automation on the UI thread.
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

RYN_UI_API bool Click(Button& button);
// Enter and Escape: click the form's default or cancel button.
RYN_UI_API bool PressEnter(Form& form);
RYN_UI_API bool PressEscape(Form& form);
// The close box of the window's title bar.
RYN_UI_API bool ClickCloseBox(Form& form);
// Types at the caret, replacing the selection.
RYN_UI_API bool TypeText(Edit& edit, std::string_view text);
// Selects the whole text and types over it.
RYN_UI_API bool ReplaceText(Edit& edit, std::string_view text);
// Places the caret (length 0) or selects with the mouse.
RYN_UI_API bool SelectText(Edit& edit, int start, int length);
RYN_UI_API bool ClickEllipsis(ButtonEdit& edit);
RYN_UI_API bool Select(ComboBox& combo, int index);
// Picks the first item with exactly that text.
RYN_UI_API bool Select(ComboBox& combo, std::string_view text);
RYN_UI_API bool Select(ListBox& list, int index);
RYN_UI_API bool DoubleClick(ListBox& list, int index);
RYN_UI_API bool Select(ListView& view, int index, bool extend = false);
RYN_UI_API bool DoubleClick(ListView& view, int index);
RYN_UI_API bool SelectTab(TabControl& tabs, int index);
// Opens the control's context menu and clicks the item of that name or caption.
RYN_UI_API bool ClickMenuItem(Control& control, std::string_view item);
RYN_UI_API bool EditRowValue(ValueListEditor& list, int row, std::string_view value);
RYN_UI_API bool ClickRowEllipsis(ValueListEditor& list, int row);
RYN_UI_API bool DoubleClickRow(ValueListEditor& list, int row);
// Clicks a cell of the grid, making it current.
RYN_UI_API bool SelectCell(GridView& grid, int col, int row);
// Clicks the cell, types the text over its content and leaves it.
RYN_UI_API bool EditCellText(GridView& grid, int col, int row, std::string_view text);
// Drags the right edge of the column's heading to the width.
RYN_UI_API bool ResizeColumn(GridView& grid, int col, int width);
// The insert and delete keys of the grid, at its current row.
RYN_UI_API bool PressInsertRow(GridView& grid);
RYN_UI_API bool PressDeleteRow(GridView& grid);
// The down arrow key of the grid (past the last row it appends one, where allowed).
RYN_UI_API bool PressArrowDown(GridView& grid);

// Installs a modal driver for its lifetime and puts the previous one back after.
class RYN_UI_API ScopedModalDriver {
 public:
  explicit ScopedModalDriver(ModalDriver driver);
  ~ScopedModalDriver();
  ScopedModalDriver(const ScopedModalDriver&) = delete;
  ScopedModalDriver& operator=(const ScopedModalDriver&) = delete;

 private:
  ModalDriver previous_;
};

}  // namespace ryn::ui
