// A user at the field-settings dialog: typing rows into its grid, the popup menu, the tabs
// and the buttons, each through the adapter's drivers; and the rows as the grid shows them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "support/ui_driver.h"

namespace ryn::testing {

using Lines = std::vector<std::string>;
using Row = std::pair<std::string, std::string>;

struct FieldsUser {
  explicit FieldsUser(ui::Form& f)
      : form(f), grid(ui::ControlOf<ui::GridView>(f, "FGrid")), tabs(ui::ControlOf<ui::TabControl>(f, "WZTabControl1")) {}

  // "heading=field" for every row below the headings, as the grid shows them.
  Lines Rows() const {
    Lines rows;
    for (int r = 1; r < grid.RowCount(); ++r) rows.push_back(grid.CellText(1, r) + "=" + grid.CellText(2, r));
    return rows;
  }
  bool HeadingsShown() const { return grid.CellText(1, 0) == Ansi("名称") && grid.CellText(2, 0) == Ansi("标识"); }

  bool Menu(const char* utf8Caption) { return ui::ClickMenuItem(grid, Ansi(utf8Caption)); }
  bool MenuAt(int row, const char* utf8Caption) { return ui::SelectCell(grid, 1, row) && Menu(utf8Caption); }
  // Inserts empty rows at the top until there is room for count rows, then types them.
  void Type(const std::vector<Row>& rows) {
    while (grid.RowCount() < static_cast<int>(rows.size()) + 1) ASSERT_TRUE(MenuAt(1, "插行"));
    for (size_t i = 0; i < rows.size(); ++i) {
      const int r = static_cast<int>(i) + 1;
      ASSERT_TRUE(ui::EditCellText(grid, 1, r, rows[i].first));
      ASSERT_TRUE(ui::EditCellText(grid, 2, r, rows[i].second));
    }
  }
  bool Tab(int index) { return ui::SelectTab(tabs, index); }
  bool Ok() { return ui::Click(ui::ControlOf<ui::Button>(form, "WZButton1")); }
  bool Cancel() { return ui::Click(ui::ControlOf<ui::Button>(form, "WZButton2")); }

  ui::Form& form;
  ui::GridView& grid;
  ui::TabControl& tabs;
};

}  // namespace ryn::testing
