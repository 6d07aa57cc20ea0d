// Peers of the page control (a plain container: the adapter lays out its pages and shows
// only the active one; every form of the system hides the tabs), its pages, and the tab
// control (a notebook whose pages are empty: only the strip of tabs is used).
#include <string>

#include "ui/gtk/peers.h"
#include "ui/pages.h"

namespace ryn::ui::gtk {
namespace {

class PageControlPeer : public ContainerPeer {
 public:
  explicit PageControlPeer(PageControl& pages) : ContainerPeer(pages) {}
};

class PagePeer : public ContainerPeer {
 public:
  explicit PagePeer(Page& page) : ContainerPeer(page) {}
};

class TabControlPeer : public GtkPeer {
 public:
  explicit TabControlPeer(TabControl& tabs) : GtkPeer(tabs, gtk_notebook_new()), tabs_(tabs) {
    gtk_notebook_set_scrollable(GTK_NOTEBOOK(Outer()), TRUE);
    Connect(Outer(), "switch-page", G_CALLBACK(+[](GtkNotebook*, GtkWidget*, guint index, gpointer self) {
              auto* peer = static_cast<TabControlPeer*>(self);
              if (peer->updating_) return;
              // A refused change puts the old tab back when the click is handled.
              peer->Post([index](Control& c) { static_cast<TabControl&>(c).UserSelectTab(static_cast<int>(index)); },
                         Change::kItemIndex);
            }));
  }

 protected:
  void Update(Change what) override {
    GtkNotebook* book = GTK_NOTEBOOK(Outer());
    if (what == Change::kItems) {
      while (gtk_notebook_get_n_pages(book) > 0) gtk_notebook_remove_page(book, -1);
      for (const std::string& tab : tabs_.Tabs()) {
        GtkWidget* empty = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_widget_show(empty);
        gtk_notebook_append_page(book, empty, gtk_label_new(ToUtf8(tab).c_str()));
      }
    }
    if ((what == Change::kItems || what == Change::kItemIndex) && tabs_.TabIndex() >= 0)
      gtk_notebook_set_current_page(book, tabs_.TabIndex());
  }

 private:
  TabControl& tabs_;
};

}  // namespace

std::unique_ptr<GtkPeer> MakePagePeer(Control& c) {
  switch (c.Kind()) {
    case ControlKind::kPageControl: return std::make_unique<PageControlPeer>(static_cast<PageControl&>(c));
    case ControlKind::kPage: return std::make_unique<PagePeer>(static_cast<Page&>(c));
    case ControlKind::kTabControl: return std::make_unique<TabControlPeer>(static_cast<TabControl&>(c));
    default: return nullptr;
  }
}

}  // namespace ryn::ui::gtk
