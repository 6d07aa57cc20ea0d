#include "ui/menus.h"

#include "ui/application.h"

namespace ryn::ui {

MenuItem& PopupMenu::AddItem(std::string name, std::string caption) {
  items_.push_back(std::make_unique<MenuItem>());
  MenuItem& item = *items_.back();
  item.name = std::move(name);
  item.caption = std::move(caption);
  return item;
}

MenuItem* PopupMenu::FindItem(std::string_view nameOrCaption) const {
  for (const auto& item : items_)
    if (item->name == nameOrCaption) return item.get();
  for (const auto& item : items_)
    if (item->caption == nameOrCaption) return item.get();
  return nullptr;
}

bool PopupMenu::UserClick(MenuItem& item) {
  if (item.IsSeparator() || !item.visible || !item.enabled) return false;
  if (item.OnClick) Application::Instance().Guard(item.OnClick);
  return true;
}

}  // namespace ryn::ui
