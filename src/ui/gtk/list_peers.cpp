// Peers of the list controls: combo box, list box (a one-column tree view), list view in
// report style (a tree view with the view's columns), the name/value list editor and the
// grid view (the heading row as the tree's column titles, the other rows below).
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/gtk/peers.h"
#include "ui/grid_view.h"
#include "ui/lists.h"

namespace ryn::ui::gtk {
namespace {

int RowOf(GtkTreePath* path) { return path ? gtk_tree_path_get_indices(path)[0] : -1; }

// A tree view of text columns in a scrolled window, the base of the list peers.
class TreePeer : public GtkPeer {
 public:
  explicit TreePeer(Control& control) : GtkPeer(control, gtk_scrolled_window_new(nullptr, nullptr)) {
    view_ = GTK_TREE_VIEW(gtk_tree_view_new());
    gtk_widget_set_can_focus(Outer(), FALSE);  // the list in it takes the focus, not its frame
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(Outer()), GTK_SHADOW_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(Outer()), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(Outer()), GTK_WIDGET(view_));
    gtk_widget_show(GTK_WIDGET(view_));
    Connect(Selection(), "changed", G_CALLBACK(+[](GtkTreeSelection*, gpointer self) {
              auto* peer = static_cast<TreePeer*>(self);
              if (!peer->updating_) peer->Selected();
            }));
    Connect(GTK_WIDGET(view_), "row-activated",
            G_CALLBACK(+[](GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn* column, gpointer self) {
              auto* peer = static_cast<TreePeer*>(self);
              peer->Activated(RowOf(path), column);
            }));
  }
  ~TreePeer() override { g_signal_handlers_disconnect_by_data(Selection(), this); }

 protected:
  GtkWidget* Inner() override { return GTK_WIDGET(view_); }
  GtkTreeSelection* Selection() const { return gtk_tree_view_get_selection(view_); }
  // The user changed the selection; the rows now selected.
  virtual void Selected() = 0;
  virtual void Activated(int row, GtkTreeViewColumn* column) = 0;
  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    GList* paths = gtk_tree_selection_get_selected_rows(Selection(), nullptr);
    for (GList* p = paths; p; p = p->next) rows.push_back(RowOf(static_cast<GtkTreePath*>(p->data)));
    g_list_free_full(paths, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return rows;
  }
  void SelectRow(int row, bool selected) {
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    if (selected) gtk_tree_selection_select_path(Selection(), path);
    else gtk_tree_selection_unselect_path(Selection(), path);
    gtk_tree_path_free(path);
  }
  // Replaces the columns with text columns of these captions and widths (0: as wide as
  // the rest leaves); the store has one text column per caption.
  void SetColumns(const std::vector<std::pair<std::string, int>>& columns) {
    while (GtkTreeViewColumn* c = gtk_tree_view_get_column(view_, 0)) gtk_tree_view_remove_column(view_, c);
    std::vector<GType> types(columns.empty() ? 1 : columns.size(), G_TYPE_STRING);
    store_ = gtk_list_store_newv(static_cast<gint>(types.size()), types.data());
    gtk_tree_view_set_model(view_, GTK_TREE_MODEL(store_));
    g_object_unref(store_);
    for (size_t i = 0; i < columns.size(); ++i) {
      GtkCellRenderer* cell = gtk_cell_renderer_text_new();
      GtkTreeViewColumn* column = gtk_tree_view_column_new_with_attributes(
          ToUtf8(columns[i].first).c_str(), cell, "text", static_cast<gint>(i), nullptr);
      g_object_set_data(G_OBJECT(column), "ryn-cell", cell);
      if (columns[i].second > 0) {
        gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(column, Scaled(columns[i].second));
        // A text wider than its column ends in an ellipsis, never cut through a character.
        g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
      } else {
        gtk_tree_view_column_set_expand(column, TRUE);
      }
      gtk_tree_view_column_set_resizable(column, TRUE);
      gtk_tree_view_append_column(view_, column);
    }
  }
  void SetRows(const std::vector<std::vector<std::string>>& rows) {
    if (!store_) return;  // the columns come yet
    gtk_list_store_clear(store_);
    for (const auto& row : rows) {
      GtkTreeIter it;
      gtk_list_store_append(store_, &it);
      for (size_t i = 0; i < row.size() && i < static_cast<size_t>(gtk_tree_model_get_n_columns(GTK_TREE_MODEL(store_))); ++i)
        gtk_list_store_set(store_, &it, static_cast<gint>(i), ToUtf8(row[i]).c_str(), -1);
    }
  }

  GtkTreeView* view_;
  GtkListStore* store_ = nullptr;
};

class ListBoxPeer : public TreePeer {
 public:
  explicit ListBoxPeer(ListBox& list) : TreePeer(list), list_(list) {
    gtk_tree_view_set_headers_visible(view_, FALSE);
    SetColumns({{"", 0}});
  }

 protected:
  void Update(Change what) override {
    if (what == Change::kItems) {
      std::vector<std::vector<std::string>> rows;
      for (const ListItem& item : list_.Items()) rows.push_back({item.text});
      SetRows(rows);
    }
    if (what == Change::kItems || what == Change::kItemIndex) {
      gtk_tree_selection_unselect_all(Selection());
      if (list_.ItemIndex() >= 0) SelectRow(list_.ItemIndex(), true);
    }
  }
  void Selected() override {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    Post([row = rows[0]](Control& c) { static_cast<ListBox&>(c).UserSelect(row); }, Change::kItemIndex);
  }
  void Activated(int row, GtkTreeViewColumn*) override {
    Post([row](Control& c) { static_cast<ListBox&>(c).UserDoubleClick(row); }, Change::kItemIndex);
  }

 private:
  ListBox& list_;
};

class ListViewPeer : public TreePeer {
 public:
  explicit ListViewPeer(ListView& view) : TreePeer(view), list_(view) {}

 protected:
  void Update(Change what) override {
    if (what == Change::kColumns || what == Change::kStyle) {
      std::vector<std::pair<std::string, int>> columns;
      for (const ListColumn& c : list_.Columns()) columns.emplace_back(c.caption, c.autoSize ? 0 : c.width);
      if (columns.empty()) columns.emplace_back("", 0);
      SetColumns(columns);
      gtk_tree_view_set_headers_visible(view_, list_.ViewStyle() == ListViewStyle::kReport);
      gtk_tree_selection_set_mode(Selection(), list_.MultiSelect() ? GTK_SELECTION_MULTIPLE : GTK_SELECTION_SINGLE);
      what = Change::kItems;
    }
    if (what == Change::kItems) {
      std::vector<std::vector<std::string>> rows;
      for (int i = 0; i < list_.ItemCount(); ++i) {
        std::vector<std::string> row{list_.Item(i).caption};
        row.insert(row.end(), list_.Item(i).subItems.begin(), list_.Item(i).subItems.end());
        rows.push_back(std::move(row));
      }
      SetRows(rows);
    }
    if (what == Change::kItems || what == Change::kSelection) {
      for (int i = 0; i < list_.ItemCount(); ++i) SelectRow(i, list_.Selected(i));
    }
  }
  void Selected() override {
    std::vector<int> rows = SelectedRows();
    Post(
        [rows](Control& c) {
          auto& view = static_cast<ListView&>(c);
          for (size_t i = 0; i < rows.size(); ++i) view.UserSelect(rows[i], i > 0);
        },
        Change::kSelection);
  }
  void Activated(int row, GtkTreeViewColumn*) override {
    Post([row](Control& c) { static_cast<ListView&>(c).UserDoubleClick(row); }, Change::kSelection);
  }

 private:
  ListView& list_;
};

// Key and value columns, and a third narrow one showing the ellipsis button of the rows
// that have it.
class ValueListPeer : public TreePeer {
 public:
  explicit ValueListPeer(ValueListEditor& list) : TreePeer(list), list_(list) {
    // The ellipsis is a button: one click opens its editor, as a button's does. The click
    // is taken on release, where the row's selection has already followed the press.
    gtk_widget_add_events(GTK_WIDGET(view_), GDK_BUTTON_RELEASE_MASK);
    Connect(GTK_WIDGET(view_), "button-release-event",
            G_CALLBACK(+[](GtkWidget*, GdkEventButton* event, gpointer self) -> gboolean {
              return static_cast<ValueListPeer*>(self)->ClickedAt(event);
            }));
  }

 protected:
  void Update(Change what) override {
    if (what == Change::kColumns || what == Change::kStyle) {
      SetColumns({{list_.KeyTitle(), list_.KeyWidth()}, {list_.ValueTitle(), 0}, {"", 22}});
      auto* cell = static_cast<GtkCellRenderer*>(g_object_get_data(G_OBJECT(gtk_tree_view_get_column(view_, 1)), "ryn-cell"));
      g_object_set(cell, "editable", !list_.ReadOnly(), nullptr);
      g_signal_connect(cell, "edited", G_CALLBACK(+[](GtkCellRendererText*, gchar* path, gchar* text, gpointer self) {
                         const int row = std::atoi(path);
                         std::string value = FromUtf8(text);
                         static_cast<ValueListPeer*>(self)->Post(
                             [row, value](Control& c) { static_cast<ValueListEditor&>(c).UserEditValue(row, value); },
                             Change::kItems);
                       }),
                       this);
      what = Change::kItems;
    }
    if (what == Change::kItems || what == Change::kValue) {
      std::vector<std::vector<std::string>> rows;
      for (int i = 0; i < list_.RowCount(); ++i)
        rows.push_back({list_.Row(i).key, list_.Row(i).value, list_.Row(i).ellipsis ? "..." : ""});
      SetRows(rows);
      what = Change::kItemIndex;
    }
    if (what == Change::kItemIndex || what == Change::kSelection) {
      gtk_tree_selection_unselect_all(Selection());
      if (list_.CurrentRow() >= 0) SelectRow(list_.CurrentRow(), true);
    }
  }
  void Selected() override {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    Post([row = rows[0]](Control& c) { static_cast<ValueListEditor&>(c).SetCurrentRow(row); }, Change::kItemIndex);
  }
  void Activated(int row, GtkTreeViewColumn* column) override {
    const bool ellipsis = column == gtk_tree_view_get_column(view_, 2);
    // A double click on the ellipsis was already its first click's: one editor, not two.
    if (ellipsis && IsMouseEvent(gtk_get_current_event())) return;
    Post(
        [row, ellipsis](Control& c) {
          auto& list = static_cast<ValueListEditor&>(c);
          if (ellipsis) list.UserClickEllipsis(row);
          else list.UserDoubleClick(row);
        },
        Change::kItems);
  }

 private:
  static bool IsMouseEvent(GdkEvent* event) {
    const bool mouse = event && (event->type == GDK_BUTTON_PRESS || event->type == GDK_2BUTTON_PRESS ||
                                 event->type == GDK_3BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE);
    if (event) gdk_event_free(event);
    return mouse;
  }
  gboolean ClickedAt(GdkEventButton* event) {
    if (event->button != GDK_BUTTON_PRIMARY || event->window != gtk_tree_view_get_bin_window(view_)) return FALSE;
    GtkTreePath* path = nullptr;
    GtkTreeViewColumn* column = nullptr;
    if (!gtk_tree_view_get_path_at_pos(view_, static_cast<gint>(event->x), static_cast<gint>(event->y), &path, &column,
                                       nullptr, nullptr))
      return FALSE;
    const int row = RowOf(path);
    gtk_tree_path_free(path);
    if (column != gtk_tree_view_get_column(view_, 2)) return FALSE;
    Post([row](Control& c) { static_cast<ValueListEditor&>(c).UserClickEllipsis(row); }, Change::kItems);
    return FALSE;
  }

  ValueListEditor& list_;
};

// The grid's fixed heading row gives the column titles; every other row is a row of the
// tree. Cells outside the fixed column can be typed into when the grid allows editing.
class GridPeer : public TreePeer {
 public:
  explicit GridPeer(GridView& grid) : TreePeer(grid), grid_(grid) {}

 protected:
  void Update(Change what) override {
    if (what != Change::kItems && what != Change::kText && what != Change::kColumns && what != Change::kStyle &&
        what != Change::kCurrentCell)
      return;
    const int heading = grid_.FixedRows() > 0 ? 0 : -1;
    if (what != Change::kCurrentCell) {
      std::vector<std::pair<std::string, int>> columns;
      for (int c = 0; c < grid_.ColCount(); ++c)
        columns.emplace_back(heading < 0 ? std::string() : grid_.CellText(c, heading), grid_.ColWidth(c));
      SetColumns(columns);
      const bool editable = (grid_.Options() & gaoDataEdit) != 0;
      for (int c = grid_.FixedCols(); c < grid_.ColCount(); ++c) {
        auto* cell = static_cast<GtkCellRenderer*>(g_object_get_data(G_OBJECT(gtk_tree_view_get_column(view_, c)), "ryn-cell"));
        g_object_set(cell, "editable", editable, nullptr);
        g_object_set_data(G_OBJECT(cell), "ryn-col", GINT_TO_POINTER(c));
        g_signal_connect(cell, "edited", G_CALLBACK(+[](GtkCellRendererText* r, gchar* path, gchar* text, gpointer self) {
                           auto* peer = static_cast<GridPeer*>(self);
                           const int col = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(r), "ryn-col"));
                           const int row = std::atoi(path) + peer->grid_.FixedRows();
                           std::string value = FromUtf8(text);
                           peer->Post([col, row, value](Control& c) { static_cast<GridView&>(c).UserEditCell(col, row, value); },
                                      Change::kItems);
                         }),
                         this);
      }
      std::vector<std::vector<std::string>> rows;
      for (int r = grid_.FixedRows(); r < grid_.RowCount(); ++r) {
        rows.emplace_back();
        for (int c = 0; c < grid_.ColCount(); ++c) rows.back().push_back(grid_.CellText(c, r));
      }
      SetRows(rows);
    }
    gtk_tree_selection_unselect_all(Selection());
    if (grid_.CurrentRow() >= grid_.FixedRows()) SelectRow(grid_.CurrentRow() - grid_.FixedRows(), true);
  }
  void Selected() override {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    const int row = rows[0] + grid_.FixedRows();
    const int col = std::max(grid_.CurrentCol(), grid_.FixedCols());
    Post([col, row](Control& c) { static_cast<GridView&>(c).UserSelectCell(col, row); }, Change::kCurrentCell);
  }
  void Activated(int, GtkTreeViewColumn*) override {}

 private:
  GridView& grid_;
};

class ComboPeer : public GtkPeer {
 public:
  explicit ComboPeer(ComboBox& combo) : GtkPeer(combo, gtk_combo_box_text_new()), combo_(combo) {
    Connect(Outer(), "changed", G_CALLBACK(+[](GtkComboBox* box, gpointer self) {
              auto* peer = static_cast<ComboPeer*>(self);
              if (peer->updating_) return;
              const int index = gtk_combo_box_get_active(box);
              peer->Post([index](Control& c) { static_cast<ComboBox&>(c).UserSelect(index); }, Change::kItemIndex);
            }));
  }

 protected:
  void Update(Change what) override {
    GtkComboBoxText* box = GTK_COMBO_BOX_TEXT(Outer());
    if (what == Change::kItems) {
      gtk_combo_box_text_remove_all(box);
      for (const ListItem& item : combo_.Items()) gtk_combo_box_text_append_text(box, ToUtf8(item.text).c_str());
    }
    if (what == Change::kItems || what == Change::kItemIndex) gtk_combo_box_set_active(GTK_COMBO_BOX(box), combo_.ItemIndex());
  }

 private:
  ComboBox& combo_;
};

}  // namespace

std::unique_ptr<GtkPeer> MakeListPeer(Control& c) {
  switch (c.Kind()) {
    case ControlKind::kComboBox: return std::make_unique<ComboPeer>(static_cast<ComboBox&>(c));
    case ControlKind::kListBox: return std::make_unique<ListBoxPeer>(static_cast<ListBox&>(c));
    case ControlKind::kListView: return std::make_unique<ListViewPeer>(static_cast<ListView&>(c));
    case ControlKind::kValueListEditor: return std::make_unique<ValueListPeer>(static_cast<ValueListEditor&>(c));
    case ControlKind::kGridView: return std::make_unique<GridPeer>(static_cast<GridView&>(c));
    default: return nullptr;
  }
}

}  // namespace ryn::ui::gtk
