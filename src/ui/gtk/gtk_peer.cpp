#include "ui/gtk/gtk_peer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/menus.h"

namespace ryn::ui::gtk {
namespace {

const char* CodePageName() {
  // The process code page of the system's texts, named as its platform layer names it.
  static const std::string name = [] {
    const char* env = std::getenv("RYNFILER_CODEPAGE");
    return std::string(env && *env ? env : "GBK");
  }();
  return name.c_str();
}

// What GTK gets must be UTF-8 whatever the bytes: a text joining ours with another
// encoding's (an error text of the system, say) would otherwise reach Pango raw. Bytes
// that are no character become U+FFFD, one each; the rest of the text is kept.
std::string ToUtf8Lenient(const char* text, size_t size) {
  GIConv cd = g_iconv_open("UTF-8", CodePageName());
  if (cd == reinterpret_cast<GIConv>(-1)) {
    gchar* valid = g_utf8_make_valid(text, static_cast<gssize>(size));
    std::string result(valid);
    g_free(valid);
    return result;
  }
  std::string out;
  char buffer[1024];
  gchar* in = const_cast<gchar*>(text);
  gsize inLeft = size;
  while (inLeft > 0) {
    gchar* dst = buffer;
    gsize dstLeft = sizeof buffer;
    const gsize r = g_iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (r != static_cast<gsize>(-1) || errno == E2BIG) continue;
    out += "\xEF\xBF\xBD";
    ++in;
    --inLeft;
    g_iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  g_iconv_close(cd);
  return out;
}

std::string Convert(const char* text, gssize size, const char* to, const char* from) {
  gsize written = 0;
  gchar* out = g_convert_with_fallback(text, size, to, from, "?", nullptr, &written, nullptr);
  if (!out) return std::string(text, size < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(size));
  std::string result(out, written);
  g_free(out);
  return result;
}

// One style class per font and per colour, made once for the process.
GtkCssProvider* Styles() {
  static GtkCssProvider* provider = [] {
    GtkCssProvider* p = gtk_css_provider_new();
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(p),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    return p;
  }();
  return provider;
}

std::string& StyleText() {
  static std::string text;
  return text;
}

std::string StyleClass(const std::string& key, const std::string& rule) {
  static std::map<std::string, std::string> classes;
  auto it = classes.find(key);
  if (it != classes.end()) return it->second;
  std::string name = "ryn-style-" + std::to_string(classes.size());
  classes.emplace(key, name);
  StyleText() += "." + name + ", ." + name + " * { " + rule + " }\n";
  gtk_css_provider_load_from_data(Styles(), StyleText().c_str(), -1, nullptr);
  return name;
}

void SwapClass(GtkWidget* widget, std::string& current, const std::string& next) {
  GtkStyleContext* style = gtk_widget_get_style_context(widget);
  if (!current.empty()) gtk_style_context_remove_class(style, current.c_str());
  current = next;
  if (!current.empty()) gtk_style_context_add_class(style, current.c_str());
}

// The buttons anywhere inside a widget of the toolkit's own making take its name.
void NameInnerButtons(GtkWidget* widget, const char* name) {
  if (GTK_IS_BUTTON(widget)) atk_object_set_name(gtk_widget_get_accessible(widget), name);
  if (GTK_IS_CONTAINER(widget))
    gtk_container_forall(GTK_CONTAINER(widget), [](GtkWidget* child, gpointer text) {
      NameInnerButtons(child, static_cast<const char*>(text));
    }, const_cast<char*>(name));
}

bool CodePageIsUtf8() {
  const char* name = CodePageName();
  return g_ascii_strcasecmp(name, "UTF-8") == 0 || g_ascii_strcasecmp(name, "UTF8") == 0;
}

}  // namespace

std::string ToUtf8(const std::string& narrow) {
  if (CodePageIsUtf8()) {
    if (g_utf8_validate(narrow.data(), static_cast<gssize>(narrow.size()), nullptr)) return narrow;
    gchar* valid = g_utf8_make_valid(narrow.data(), static_cast<gssize>(narrow.size()));
    std::string result(valid);
    g_free(valid);
    return result;
  }
  return ToUtf8Lenient(narrow.data(), narrow.size());
}

std::string FromUtf8(const char* utf8) {
  if (!utf8) return {};
  if (CodePageIsUtf8()) return utf8;
  return Convert(utf8, -1, CodePageName(), "UTF-8");
}

double TextScale() {
  static const double scale = [] {
    const double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
    return dpi > 0 ? dpi / 96.0 : 1.0;
  }();
  return scale;
}

int Scaled(int pixels) { return static_cast<int>(pixels * TextScale() + 0.5); }

std::string MnemonicText(const std::string& utf8, char key) {
  std::string text;
  for (char c : utf8) {
    if (c == '_') text += '_';
    text += c;
  }
  if (!key) return text;
  const char upper = g_ascii_toupper(key);
  // A caption with the letter in a Latin word has it underlined there ("SQLite数据库:" with
  // S), and keeps its width: the forms leave no more room beside their labels.
  for (size_t i = 0; i < text.size(); ++i)
    if (g_ascii_isalpha(text[i]) && g_ascii_toupper(text[i]) == upper) return text.insert(i, 1, '_');
  // The letter goes before what trails the words: a colon (ASCII or full-width), an arrow,
  // an ellipsis, blanks.
  size_t end = text.size();
  for (;;) {
    if (end > 0 && std::string_view(":>. ").find(text[end - 1]) != std::string_view::npos) --end;
    else if (end >= 3 && text.compare(end - 3, 3, "\xEF\xBC\x9A") == 0) end -= 3;
    else break;
  }
  return text.insert(end, std::string("(_") + upper + ")");
}

GtkPeer::GtkPeer(Control& control, GtkWidget* outer) : control_(control), outer_(GTK_WIDGET(g_object_ref_sink(outer))) {}

GtkPeer::~GtkPeer() {
  // The control's children lose their peers after it: their widgets leave ours first, so
  // that destroying ours does not destroy theirs under them.
  for (Control* child : control_.Children())
    if (GtkPeer* peer = Of(child))
      if (GtkWidget* parent = gtk_widget_get_parent(peer->outer_)) gtk_container_remove(GTK_CONTAINER(parent), peer->outer_);
  g_signal_handlers_disconnect_by_data(outer_, this);
  if (GtkWidget* inner = Inner(); inner != outer_) g_signal_handlers_disconnect_by_data(inner, this);
  if (GtkWidget* parent = gtk_widget_get_parent(outer_)) gtk_container_remove(GTK_CONTAINER(parent), outer_);
  gtk_widget_destroy(outer_);
  g_object_unref(outer_);
}

GtkPeer* GtkPeer::Of(const Control* control) { return control ? static_cast<GtkPeer*>(control->Peer()) : nullptr; }

void GtkPeer::Connect(gpointer instance, const char* signal, GCallback callback) {
  g_signal_connect(instance, signal, callback, this);
}

void GtkPeer::Init() {
  updating_ = true;
  Attach();
  for (Change c : {Change::kCaption, Change::kText, Change::kItems, Change::kColumns, Change::kValue, Change::kStyle,
                   Change::kItemIndex, Change::kSelection, Change::kActivePage})
    Update(c);
  ApplyFont();
  ApplyColor();
  gtk_widget_set_sensitive(outer_, control_.Enabled());
  ApplyAccessible();
  updating_ = false;
  gtk_widget_add_events(Inner(), GDK_BUTTON_PRESS_MASK);
  Connect(Inner(), "button-press-event", G_CALLBACK(OnButtonPress));
  Connect(Inner(), "popup-menu", G_CALLBACK(OnPopupMenuKey));
}

void GtkPeer::Attach() {
  GtkPeer* parent = Of(control_.Parent());
  GtkFixed* container = parent ? parent->Container() : nullptr;
  GtkWidget* current = gtk_widget_get_parent(outer_);
  if (current && current != GTK_WIDGET(container)) gtk_container_remove(GTK_CONTAINER(current), outer_);
  const Rect& b = control_.Bounds();
  if (container) {
    if (gtk_widget_get_parent(outer_)) gtk_fixed_move(container, outer_, Scaled(b.left), Scaled(b.top));
    else gtk_fixed_put(container, outer_, Scaled(b.left), Scaled(b.top));
  }
  if (container) parent->OrderFocus(this);
  // A width or height of 0 lets the widget take its natural size (auto-sized labels). The
  // edges are scaled, not the sizes: controls that touch still touch after rounding.
  gtk_widget_set_size_request(outer_, b.width > 0 ? Scaled(b.Right()) - Scaled(b.left) : -1,
                              b.height > 0 ? Scaled(b.Bottom()) - Scaled(b.top) : -1);
  gtk_widget_set_visible(outer_, control_.Visible());
}

void GtkPeer::Changed(Change what) {
  updating_ = true;
  switch (what) {
    case Change::kBounds:
    case Change::kParent:
      Attach();
      break;
    case Change::kVisible:
      gtk_widget_set_visible(outer_, control_.Visible());
      break;
    case Change::kEnabled:
      gtk_widget_set_sensitive(outer_, control_.Enabled());
      break;
    case Change::kFont:
      ApplyFont();
      break;
    case Change::kColor:
      ApplyColor();
      break;
    case Change::kRepaint:
      gtk_widget_queue_draw(outer_);
      break;
    case Change::kFocus:
      gtk_widget_grab_focus(Inner());
      break;
    default:
      break;
  }
  Update(what);
  if (what == Change::kAccessible || what == Change::kCaption) ApplyAccessible();
  updating_ = false;
}

void GtkPeer::ApplyAccessible() {
  const std::string name = ToUtf8(control_.AccessibleName());
  if (!name.empty()) {
    atk_object_set_name(gtk_widget_get_accessible(Inner()), name.c_str());
    // A combo box's focus is on a button inside it, and that is what a screen reader
    // announces on Tab: it carries the name too.
    if (GTK_IS_COMBO_BOX(Inner())) NameInnerButtons(Inner(), name.c_str());
  }
  // A label and the control it names get their peers in either order: the second ties
  // them, which gives the label's mnemonic its target and each of them its relation.
  if (control_.Kind() == ControlKind::kLabel) {
    if (GtkPeer* target = Of(static_cast<Label&>(control_).FocusControl()))
      gtk_label_set_mnemonic_widget(GTK_LABEL(outer_), target->Inner());
  } else if (GtkPeer* label = Of(control_.LabelledBy())) {
    gtk_label_set_mnemonic_widget(GTK_LABEL(label->outer_), Inner());
  }
}

void GtkPeer::ApplyFont() {
  const FontInfo font = control_.Font();
  std::string rule;
  if (!font.name.empty()) rule += "font-family: \"" + ToUtf8(font.name) + "\", sans-serif; ";
  rule += "font-size: " + std::to_string(font.size) + "pt; font-weight: " + (font.bold ? "bold" : "normal") + ";";
  SwapClass(Inner(), fontClass_, StyleClass("font " + rule, rule));
}

void GtkPeer::ApplyColor() {
  const ColorRef color = control_.Color();
  if (color & 0x80000000u) {
    SwapClass(outer_, colorClass_, color == kColorInfo ? StyleClass("info", "background-color: #ffffe1;") : "");
    return;
  }
  char rgb[8];
  std::snprintf(rgb, sizeof rgb, "#%06x", color & 0xFFFFFFu);
  SwapClass(outer_, colorClass_, StyleClass(rgb, std::string("background-color: ") + rgb + ";"));
}

void GtkPeer::Post(std::function<void(Control&)> action, Change resync) {
  const WindowHandle handle = control_.Handle();
  Application::Instance().PostAction([handle, action = std::move(action), resync] {
    Control* control = Application::Instance().FindWindow(handle);
    if (!control) return;
    action(*control);
    if (GtkPeer* peer = Of(Application::Instance().FindWindow(handle))) peer->Changed(resync);
  });
}

gboolean GtkPeer::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self) {
  if (event->button != GDK_BUTTON_SECONDARY) return FALSE;
  return static_cast<GtkPeer*>(self)->PopUpMenu(reinterpret_cast<GdkEvent*>(event));
}

gboolean GtkPeer::OnPopupMenuKey(GtkWidget*, gpointer self) { return static_cast<GtkPeer*>(self)->PopUpMenu(nullptr); }

bool GtkPeer::PopUpMenu(GdkEvent* click) {
  PopupMenu* menu = control_.ContextMenu();
  if (!menu) return false;
  GtkWidget* popup = gtk_menu_new();
  for (int i = 0; i < menu->ItemCount(); ++i) {
    MenuItem& item = menu->ItemAt(i);
    if (!item.visible) continue;
    GtkWidget* entry = item.IsSeparator() ? gtk_separator_menu_item_new()
                                          : gtk_menu_item_new_with_label(ToUtf8(item.caption).c_str());
    gtk_widget_set_sensitive(entry, item.enabled);
    // The item is looked up again when the click is handled: the menu may have changed.
    g_object_set_data_full(G_OBJECT(entry), "ryn-item", g_strdup(item.name.empty() ? item.caption.c_str() : item.name.c_str()), g_free);
    g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem* mi, gpointer p) {
                       std::string name = static_cast<const char*>(g_object_get_data(G_OBJECT(mi), "ryn-item"));
                       static_cast<GtkPeer*>(p)->Post([name](Control& c) {
                         if (PopupMenu* m = c.ContextMenu())
                           if (MenuItem* found = m->FindItem(name)) m->UserClick(*found);
                       });
                     }),
                     this);
    gtk_menu_shell_append(GTK_MENU_SHELL(popup), entry);
  }
  gtk_widget_show_all(popup);
  g_signal_connect(popup, "deactivate", G_CALLBACK(+[](GtkMenuShell* m, gpointer) {
                     g_idle_add(+[](gpointer w) { gtk_widget_destroy(GTK_WIDGET(w)); return G_SOURCE_REMOVE; }, m);
                   }),
                   nullptr);
  if (click) {
    gtk_menu_popup_at_pointer(GTK_MENU(popup), click);
    return true;
  }
  // From the keyboard (Shift+F10, the Menu key): at the focused row of a list, else at the
  // control's corner, with the first item selected so that the arrows and Enter work.
  GtkWidget* anchor = Inner();
  GdkRectangle at{0, 0, 1, 1};
  if (GTK_IS_TREE_VIEW(anchor)) {
    GtkTreePath* path = nullptr;
    GtkTreeViewColumn* column = nullptr;
    gtk_tree_view_get_cursor(GTK_TREE_VIEW(anchor), &path, &column);
    if (path) {
      gtk_tree_view_get_cell_area(GTK_TREE_VIEW(anchor), path, column, &at);
      gtk_tree_view_convert_bin_window_to_widget_coords(GTK_TREE_VIEW(anchor), at.x, at.y, &at.x, &at.y);
      gtk_tree_path_free(path);
    }
  }
  GdkEvent* key = gtk_get_current_event();
  gtk_menu_popup_at_rect(GTK_MENU(popup), gtk_widget_get_window(anchor), &at, GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_NORTH_WEST,
                         key);
  if (key) gdk_event_free(key);
  gtk_menu_shell_select_first(GTK_MENU_SHELL(popup), TRUE);
  return true;
}

void GtkPeer::OrderFocus(GtkPeer* attaching) {
  GtkFixed* container = Container();
  if (!container) return;
  // Tab goes through the controls in the order the form made them, as the form's author
  // ordered them: the toolkit's own order, by the middle of each widget's allocation, put
  // a button before the taller box beside it.
  GList* chain = nullptr;
  // The control being attached does not know its peer yet.
  for (Control* child : control_.Children())
    if (GtkPeer* peer = child == &attaching->control_ ? attaching : Of(child);
        peer && gtk_widget_get_parent(peer->outer_) == GTK_WIDGET(container))
      chain = g_list_prepend(chain, peer->outer_);
  chain = g_list_reverse(chain);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(container), chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(chain);
}

ContainerPeer::ContainerPeer(Control& control) : GtkPeer(control, gtk_event_box_new()), fixed_(GTK_FIXED(gtk_fixed_new())) {
  gtk_container_add(GTK_CONTAINER(Outer()), GTK_WIDGET(fixed_));
  gtk_widget_show(GTK_WIDGET(fixed_));
}

void ContainerPeer::Init() { GtkPeer::Init(); }

}  // namespace ryn::ui::gtk
