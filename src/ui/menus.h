// A popup (context) menu: items with names, captions and click handlers; the caption "-"
// makes a separator. A control shows it through SetContextMenu; the owner keeps it alive.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/handler.h"
#include "ui/ui_api.h"

namespace ryn::ui {

struct MenuItem {
  std::string name;
  std::string caption;
  bool enabled = true;
  bool visible = true;
  Handler<void()> OnClick;
  bool IsSeparator() const { return caption == "-"; }
};

class RYN_UI_API PopupMenu {
 public:
  MenuItem& AddItem(std::string name, std::string caption);
  int ItemCount() const { return static_cast<int>(items_.size()); }
  MenuItem& ItemAt(int index) const { return *items_.at(static_cast<size_t>(index)); }
  // The item with that name, else the first with that caption; null when none.
  MenuItem* FindItem(std::string_view nameOrCaption) const;
  // The user clicks the item: false for a separator, a hidden or a disabled item.
  bool UserClick(MenuItem& item);

 private:
  std::vector<std::unique_ptr<MenuItem>> items_;
};

}  // namespace ryn::ui
