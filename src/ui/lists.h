// Controls that show lists: drop-down combo box and list box (items carrying an object
// pointer the control does not own), report-style list view, and the name/value list
// editor. Programmatic changes fire no events; the User... methods are the user's path.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"
#include "ui/handler.h"

namespace ryn::ui {

struct ListItem {
  std::string text;
  void* object = nullptr;
};

// Items and a current index, shared by the combo box and the list box.
class RYN_UI_API ItemList : public Control {
 public:
  int ItemCount() const { return static_cast<int>(items_.size()); }
  const std::vector<ListItem>& Items() const { return items_; }
  const std::string& ItemText(int index) const { return items_.at(static_cast<size_t>(index)).text; }
  void* ItemObject(int index) const { return items_.at(static_cast<size_t>(index)).object; }
  // The index the item got (its sorted place when the list is sorted).
  int AddItem(std::string text, void* object = nullptr);
  void DeleteItem(int index);
  void ClearItems();
  // The first item with exactly that text, or -1.
  int IndexOf(std::string_view text) const;
  // -1 when nothing is chosen.
  int ItemIndex() const { return itemIndex_; }
  // An index outside the items chooses nothing.
  void SetItemIndex(int index);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);

 protected:
  explicit ItemList(ControlKind kind) : Control(kind) {}

 private:
  std::vector<ListItem> items_;
  int itemIndex_ = -1;
  bool sorted_ = false;
};

// A drop-down list: the text is always the chosen item's.
class RYN_UI_API ComboBox : public ItemList {
 public:
  ComboBox() : ItemList(ControlKind::kComboBox) {}
  std::string Text() const { return ItemIndex() < 0 ? std::string() : ItemText(ItemIndex()); }
  // The user picks an item: it becomes current and OnChange runs. False for no item.
  bool UserSelect(int index);
  Handler<void()> OnChange;
};

class RYN_UI_API ListBox : public ItemList {
 public:
  ListBox() : ItemList(ControlKind::kListBox) {}
  // The user clicks an item: it becomes current and OnClick runs. False for no item.
  bool UserSelect(int index);
  // Clicks the item, then OnDblClick runs.
  bool UserDoubleClick(int index);
  Handler<void()> OnClick;
  Handler<void()> OnDblClick;
};

struct ListColumn {
  std::string caption;
  int width = 50;
  bool autoSize = false;  // takes the width the other columns leave
};

struct ListViewItem {
  std::string caption;
  std::vector<std::string> subItems;
  bool selected = false;
  void* data = nullptr;
};

enum class ListViewStyle : uint8_t { kIcon, kSmallIcon, kList, kReport };

class RYN_UI_API ListView : public Control {
 public:
  ListView() : Control(ControlKind::kListView) {}
  ListViewStyle ViewStyle() const { return style_; }
  void SetViewStyle(ListViewStyle style);
  const std::vector<ListColumn>& Columns() const { return columns_; }
  void AddColumn(std::string caption, int width, bool autoSize = false);
  // The items stay (a view whose columns change refills its items anyway).
  void ClearColumns();
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  // Sorted: items stand in byte order of their captions, equal captions in insertion order.
  bool SortedByCaption() const { return sorted_; }
  void SetSortedByCaption(bool sorted);

  int ItemCount() const { return static_cast<int>(items_.size()); }
  const ListViewItem& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
  // The index the item got.
  int AddItem(std::string caption, std::vector<std::string> subItems = {}, void* data = nullptr);
  void DeleteItem(int index);
  void ClearItems();
  // The first item whose caption is exactly caption, or -1.
  int FindCaption(std::string_view caption) const;
  bool Selected(int index) const { return Item(index).selected; }
  // Without multiple selection, selecting an item deselects the others.
  void SetSelected(int index, bool selected);
  // The first selected item, or -1.
  int SelectedIndex() const;
  int SelectedCount() const;

  // The user clicks an item (with Ctrl held, extend adds it to a multiple selection).
  bool UserSelect(int index, bool extend = false);
  // Selects the item as a click does, then OnDblClick runs.
  bool UserDoubleClick(int index);
  Handler<void()> OnDblClick;

 private:
  ListViewStyle style_ = ListViewStyle::kReport;
  std::vector<ListColumn> columns_;
  std::vector<ListViewItem> items_;
  bool multiSelect_ = false;
  bool rowSelect_ = false;
  bool readOnly_ = false;
  bool sorted_ = false;
};

struct ValueRow {
  std::string key;
  std::string value;
  bool ellipsis = false;  // the value cell has an ellipsis button
};

// A two-column grid of name/value rows under a title row. Rows count from 0.
class RYN_UI_API ValueListEditor : public Control {
 public:
  ValueListEditor() : Control(ControlKind::kValueListEditor) {}
  const std::string& KeyTitle() const { return keyTitle_; }
  const std::string& ValueTitle() const { return valueTitle_; }
  void SetTitles(std::string keyTitle, std::string valueTitle);
  int KeyWidth() const { return keyWidth_; }
  int ValueWidth() const { return valueWidth_; }
  void SetColumnWidths(int keyWidth, int valueWidth);
  // Without cell editing the user cannot type into the values.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);

  int RowCount() const { return static_cast<int>(rows_.size()); }
  const ValueRow& Row(int index) const { return rows_.at(static_cast<size_t>(index)); }
  int AddRow(std::string key, std::string value, bool ellipsis = false);
  void SetValue(int row, std::string value);
  void ClearRows();
  // The current row, or -1.
  int CurrentRow() const { return currentRow_; }
  void SetCurrentRow(int row);

  // The user types a value into the row's cell; false when cells cannot be edited.
  bool UserEditValue(int row, std::string value);
  // The user presses the row's ellipsis button: the row becomes current, then
  // OnEditButtonClick runs. False for a row without one.
  bool UserClickEllipsis(int row);
  // The row becomes current, then OnDblClick runs.
  bool UserDoubleClick(int row);
  Handler<void()> OnEditButtonClick;
  Handler<void()> OnDblClick;

 private:
  bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
  std::string keyTitle_;
  std::string valueTitle_;
  int keyWidth_ = 64;
  int valueWidth_ = 64;
  bool readOnly_ = false;
  std::vector<ValueRow> rows_;
  int currentRow_ = -1;
};

}  // namespace ryn::ui
