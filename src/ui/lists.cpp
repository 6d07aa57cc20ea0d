#include "ui/lists.h"

#include <algorithm>

#include "ui/application.h"

namespace ryn::ui {
namespace {

void Fire(const std::function<void()>& handler) {
  if (handler) Application::Instance().Guard(handler);
}

}  // namespace

int ItemList::AddItem(std::string text, void* object) {
  auto at = items_.end();
  if (sorted_) at = std::upper_bound(items_.begin(), items_.end(), text, [](const std::string& t, const ListItem& i) { return t < i.text; });
  const int index = static_cast<int>(at - items_.begin());
  items_.insert(at, ListItem{std::move(text), object});
  if (itemIndex_ >= index) ++itemIndex_;
  Changed(Change::kItems);
  return index;
}

void ItemList::DeleteItem(int index) {
  if (index < 0 || index >= ItemCount()) return;
  items_.erase(items_.begin() + index);
  if (itemIndex_ == index) itemIndex_ = -1;
  else if (itemIndex_ > index) --itemIndex_;
  Changed(Change::kItems);
}

void ItemList::ClearItems() {
  items_.clear();
  itemIndex_ = -1;
  Changed(Change::kItems);
}

int ItemList::IndexOf(std::string_view text) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].text == text) return static_cast<int>(i);
  return -1;
}

void ItemList::SetItemIndex(int index) {
  if (index < 0 || index >= ItemCount()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Changed(Change::kItemIndex);
}

void ItemList::SetSorted(bool sorted) {
  sorted_ = sorted;
  if (!sorted) return;
  // The chosen item stays chosen at its new place.
  std::vector<size_t> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return items_[a].text < items_[b].text; });
  std::vector<ListItem> sortedItems;
  int chosen = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    if (static_cast<int>(order[i]) == itemIndex_) chosen = static_cast<int>(i);
    sortedItems.push_back(std::move(items_[order[i]]));
  }
  items_ = std::move(sortedItems);
  itemIndex_ = chosen;
  Changed(Change::kItems);
}

bool ComboBox::UserSelect(int index) {
  if (index < 0 || index >= ItemCount()) return false;
  SetItemIndex(index);
  Fire(OnChange);
  return true;
}

bool ListBox::UserSelect(int index) {
  if (index < 0 || index >= ItemCount()) return false;
  SetItemIndex(index);
  Fire(OnClick);
  return true;
}

bool ListBox::UserDoubleClick(int index) {
  if (!UserSelect(index)) return false;
  Fire(OnDblClick);
  return true;
}

void ListView::SetViewStyle(ListViewStyle style) {
  style_ = style;
  Changed(Change::kStyle);
}

void ListView::AddColumn(std::string caption, int width, bool autoSize) {
  columns_.push_back(ListColumn{std::move(caption), width, autoSize});
  Changed(Change::kColumns);
}

void ListView::ClearColumns() {
  if (columns_.empty()) return;
  columns_.clear();
  Changed(Change::kColumns);
}

void ListView::SetMultiSelect(bool value) {
  multiSelect_ = value;
  if (!value) {
    const int first = SelectedIndex();
    for (int i = 0; i < ItemCount(); ++i) items_[static_cast<size_t>(i)].selected = i == first;
  }
  Changed(Change::kStyle);
}

void ListView::SetRowSelect(bool value) {
  rowSelect_ = value;
  Changed(Change::kStyle);
}

void ListView::SetReadOnly(bool value) {
  readOnly_ = value;
  Changed(Change::kStyle);
}

void ListView::SetSortedByCaption(bool sorted) {
  sorted_ = sorted;
  if (sorted)
    std::stable_sort(items_.begin(), items_.end(), [](const ListViewItem& a, const ListViewItem& b) { return a.caption < b.caption; });
  Changed(Change::kItems);
}

int ListView::AddItem(std::string caption, std::vector<std::string> subItems, void* data) {
  auto at = items_.end();
  if (sorted_)
    at = std::upper_bound(items_.begin(), items_.end(), caption, [](const std::string& c, const ListViewItem& i) { return c < i.caption; });
  const int index = static_cast<int>(at - items_.begin());
  items_.insert(at, ListViewItem{std::move(caption), std::move(subItems), false, data});
  Changed(Change::kItems);
  return index;
}

void ListView::DeleteItem(int index) {
  if (index < 0 || index >= ItemCount()) return;
  items_.erase(items_.begin() + index);
  Changed(Change::kItems);
}

void ListView::ClearItems() {
  items_.clear();
  Changed(Change::kItems);
}

int ListView::FindCaption(std::string_view caption) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].caption == caption) return static_cast<int>(i);
  return -1;
}

void ListView::SetSelected(int index, bool selected) {
  if (index < 0 || index >= ItemCount()) return;
  if (selected && !multiSelect_)
    for (ListViewItem& item : items_) item.selected = false;
  items_[static_cast<size_t>(index)].selected = selected;
  Changed(Change::kSelection);
}

int ListView::SelectedIndex() const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].selected) return static_cast<int>(i);
  return -1;
}

int ListView::SelectedCount() const {
  return static_cast<int>(std::count_if(items_.begin(), items_.end(), [](const ListViewItem& i) { return i.selected; }));
}

bool ListView::UserSelect(int index, bool extend) {
  if (index < 0 || index >= ItemCount()) return false;
  if (extend && multiSelect_) {
    SetSelected(index, !Selected(index));
    return true;
  }
  for (ListViewItem& item : items_) item.selected = false;
  SetSelected(index, true);
  return true;
}

bool ListView::UserDoubleClick(int index) {
  if (!UserSelect(index)) return false;
  Fire(OnDblClick);
  return true;
}

void ValueListEditor::SetTitles(std::string keyTitle, std::string valueTitle) {
  keyTitle_ = std::move(keyTitle);
  valueTitle_ = std::move(valueTitle);
  Changed(Change::kColumns);
}

void ValueListEditor::SetColumnWidths(int keyWidth, int valueWidth) {
  keyWidth_ = keyWidth;
  valueWidth_ = valueWidth;
  Changed(Change::kColumns);
}

void ValueListEditor::SetReadOnly(bool value) {
  readOnly_ = value;
  Changed(Change::kStyle);
}

int ValueListEditor::AddRow(std::string key, std::string value, bool ellipsis) {
  rows_.push_back(ValueRow{std::move(key), std::move(value), ellipsis});
  if (currentRow_ < 0) currentRow_ = 0;
  Changed(Change::kItems);
  return RowCount() - 1;
}

void ValueListEditor::SetValue(int row, std::string value) {
  if (!ValidRow(row)) return;
  rows_[static_cast<size_t>(row)].value = std::move(value);
  Changed(Change::kItems);
}

void ValueListEditor::ClearRows() {
  rows_.clear();
  currentRow_ = -1;
  Changed(Change::kItems);
}

void ValueListEditor::SetCurrentRow(int row) {
  if (!ValidRow(row) || row == currentRow_) return;
  currentRow_ = row;
  Changed(Change::kItemIndex);
}

bool ValueListEditor::UserEditValue(int row, std::string value) {
  if (readOnly_ || !ValidRow(row)) return false;
  SetCurrentRow(row);
  SetValue(row, std::move(value));
  return true;
}

bool ValueListEditor::UserClickEllipsis(int row) {
  if (!ValidRow(row) || !rows_[static_cast<size_t>(row)].ellipsis) return false;
  SetCurrentRow(row);
  Fire(OnEditButtonClick);
  return true;
}

bool ValueListEditor::UserDoubleClick(int row) {
  if (!ValidRow(row)) return false;
  SetCurrentRow(row);
  Fire(OnDblClick);
  return true;
}

}  // namespace ryn::ui
