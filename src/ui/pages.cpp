#include "ui/pages.h"

#include <algorithm>

#include "ui/application.h"

namespace ryn::ui {

void Page::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Changed(Change::kCaption);
}

PageControl* Page::Owner() const {
  Control* parent = Parent();
  return parent && parent->Kind() == ControlKind::kPageControl ? static_cast<PageControl*>(parent) : nullptr;
}

int Page::PageIndex() const {
  PageControl* owner = Owner();
  if (!owner) return -1;
  auto it = std::find(owner->pages_.begin(), owner->pages_.end(), this);
  return it == owner->pages_.end() ? -1 : static_cast<int>(it - owner->pages_.begin());
}

Page& PageControl::AddPage(std::string name, std::string caption) {
  Page& page = Create<Page>(std::move(name));
  page.SetCaption(std::move(caption));
  pages_.push_back(&page);
  page.SetVisible(pages_.size() == 1);
  if (active_ < 0) active_ = 0;
  Realign();
  return page;
}

void PageControl::SetActivePageIndex(int index) {
  if (index < 0 || index >= PageCount() || index == active_) return;
  active_ = index;
  for (int i = 0; i < PageCount(); ++i) PageAt(i).SetVisible(i == index);
  Changed(Change::kActivePage);
}

void PageControl::SetTabsVisible(bool visible) {
  tabsVisible_ = visible;
  Changed(Change::kStyle);
}

void PageControl::Realign() {
  // Every page covers the client area; only the active one is visible.
  for (Page* page : pages_) page->SetBounds(0, 0, Width(), Height());
}

void TabControl::AddTab(std::string caption) {
  tabs_.push_back(std::move(caption));
  if (index_ < 0) index_ = 0;
  Changed(Change::kItems);
}

void TabControl::ClearTabs() {
  tabs_.clear();
  index_ = -1;
  Changed(Change::kItems);
}

void TabControl::SetTabIndex(int index) {
  if (index < 0 || index >= static_cast<int>(tabs_.size()) || index == index_) return;
  index_ = index;
  Changed(Change::kItemIndex);
}

bool TabControl::UserSelectTab(int index) {
  if (index < 0 || index >= static_cast<int>(tabs_.size()) || index == index_) return false;
  Application& app = Application::Instance();
  // A handler that fails refuses the change.
  bool allowed = !OnChanging;
  if (OnChanging) app.Guard([&] { allowed = OnChanging(); });
  if (!allowed) return false;
  SetTabIndex(index);
  if (OnChange) app.Guard(OnChange);
  return true;
}

}  // namespace ryn::ui
