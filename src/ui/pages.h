// Page control (pages that serve as parent windows, tabs optionally hidden, one active
// page shown at a time), and tab control (a strip of tabs whose change may be refused).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/control.h"
#include "ui/handler.h"

namespace ryn::ui {

class PageControl;

class RYN_UI_API Page : public Control {
 public:
  Page() : Control(ControlKind::kPage) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  PageControl* Owner() const;
  int PageIndex() const;

 private:
  std::string caption_;
};

class RYN_UI_API PageControl : public Control {
 public:
  PageControl() : Control(ControlKind::kPageControl) {}
  // A new page at the end; the first page becomes the active one.
  Page& AddPage(std::string name, std::string caption = {});
  int PageCount() const { return static_cast<int>(pages_.size()); }
  Page& PageAt(int index) const { return *pages_.at(static_cast<size_t>(index)); }
  // -1 before any page exists.
  int ActivePageIndex() const { return active_; }
  Page* ActivePage() const { return active_ < 0 ? nullptr : pages_[static_cast<size_t>(active_)]; }
  // Shows the page and hides the others; an index outside the pages changes nothing.
  void SetActivePageIndex(int index);
  void SetActivePage(const Page& page) { SetActivePageIndex(page.PageIndex()); }
  bool TabsVisible() const { return tabsVisible_; }
  void SetTabsVisible(bool visible);

 private:
  friend class Page;
  void Realign() override;
  std::vector<Page*> pages_;
  int active_ = -1;
  bool tabsVisible_ = true;
};

class RYN_UI_API TabControl : public Control {
 public:
  TabControl() : Control(ControlKind::kTabControl) {}
  const std::vector<std::string>& Tabs() const { return tabs_; }
  // The first tab added becomes current.
  void AddTab(std::string caption);
  void ClearTabs();
  int TabIndex() const { return index_; }
  // Program code chooses a tab: no events.
  void SetTabIndex(int index);
  // The user clicks a tab: OnChanging may refuse; otherwise it becomes current and
  // OnChange runs. False when nothing changed.
  bool UserSelectTab(int index);

  // False refuses the change; TabIndex is still the old tab while it runs.
  Handler<bool()> OnChanging;
  Handler<void()> OnChange;

 private:
  std::vector<std::string> tabs_;
  int index_ = -1;
};

}  // namespace ryn::ui
