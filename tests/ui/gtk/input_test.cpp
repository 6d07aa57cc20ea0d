// The GTK peers both ways: what program code sets reaches the widgets (texts converted
// from the process code page), and what a user does to the widgets reaches the controls
// through the message queue (in turn, never inside the toolkit's signal), filtered as the
// control's own input path filters it, and dropped when the control is gone by then.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "expr/common_functions.h"
#include "platform/codepage.h"
#include "support/table_ports.h"
#include "transfer/log_form.h"
#include "transfer/trans_frame.h"
#include "ui/backend_loader.h"
#include "ui/controls.h"
#include "support/ui_driver.h"
#include "ui/form.h"
#include "ui/grid_view.h"
#include "ui/menus.h"
#include "transport/registries.h"
#include "window_commands.h"

// Last: Xlib's macros would clash with the headers above.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>

namespace ryn::ui {
namespace {

// The first widget of that type below widget, depth first.
GtkWidget* Find(GtkWidget* widget, GType type) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* c = children; c && !found; c = c->next) found = Find(GTK_WIDGET(c->data), type);
  g_list_free(children);
  return found;
}

// Every label widget below widget with its text, depth first.
void Labels(GtkWidget* widget, std::vector<GtkWidget*>& found) {
  if (GTK_IS_LABEL(widget)) found.push_back(widget);
  if (!GTK_IS_CONTAINER(widget)) return;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* c = children; c; c = c->next) Labels(GTK_WIDGET(c->data), found);
  g_list_free(children);
}

// The toolkit's window of a form, found by the form's handle as any X11 client would.
GtkWidget* WindowOf(const Form& form) {
  GdkWindow* window = gdk_x11_window_lookup_for_display(gdk_display_get_default(), static_cast<Window>(form.Handle()));
  gpointer widget = nullptr;
  if (window) gdk_window_get_user_data(window, &widget);
  return static_cast<GtkWidget*>(widget);
}

class GtkInputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(UseBackend("gtk", &error)) << error;
  }
  GtkInputTest() {
    form.SetClientSize(300, 100);
    label.SetBounds(8, 8, 100, 16);
    edit.SetBounds(8, 30, 120, 21);
    button.SetBounds(140, 30, 75, 23);
    button.SetCaption("Go");
    button.OnClick = [this] { ++clicks; };
    edit.OnChange = [this] { ++changes; };
    form.Show();
  }
  GtkWidget* Widget(GType type) { return Find(WindowOf(form), type); }

  Form form;
  Label& label = form.Create<Label>("label");
  Edit& edit = form.Create<Edit>("edit");
  Button& button = form.Create<Button>("button");
  int clicks = 0, changes = 0;
};

TEST_F(GtkInputTest, WhatProgramCodeSetsReachesTheWidgets) {
  ASSERT_NE(WindowOf(form), nullptr);
  label.SetCaption(Ansi("传输数据"));
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(Widget(GTK_TYPE_LABEL))), "传输数据");
  // A byte that is no character of the code page (a text joined with another encoding's)
  // costs that byte only: the toolkit always gets UTF-8, and the rest stays readable.
  label.SetCaption(Ansi("传输") + "\xFF" + Ansi("数据"));
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(Widget(GTK_TYPE_LABEL))), "传输\uFFFD数据");
  edit.SetText(Ansi("文本"));
  EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(Widget(GTK_TYPE_ENTRY))), "文本");
  EXPECT_EQ(changes, 1);  // the entry's echo of the program's text is no user input
  form.SetCaption(Ansi("窗口"));
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(WindowOf(form))), "窗口");
  button.SetEnabled(false);
  EXPECT_FALSE(gtk_widget_get_sensitive(Widget(GTK_TYPE_BUTTON)));
  edit.Hide();
  EXPECT_FALSE(gtk_widget_get_visible(Widget(GTK_TYPE_ENTRY)));
}

TEST_F(GtkInputTest, UserInputArrivesInTurnThroughTheControlsOwnPath) {
  gtk_button_clicked(GTK_BUTTON(Widget(GTK_TYPE_BUTTON)));
  EXPECT_EQ(clicks, 0);  // queued, not handled inside the toolkit's signal
  ProcessMessages();
  EXPECT_EQ(clicks, 1);

  struct Case {
    const char* what;
    bool numberMode, readOnly;
    const char* typed;     // UTF-8, as the entry holds it
    std::string expected;  // the control's text, process code page
  } cases[] = {
      {"plain text", false, false, "甲乙", Ansi("甲乙")},
      {"number mode drops the letters", true, false, "12a3", "123"},
      {"read-only keeps its text", false, true, "typed", "kept"},
  };
  for (const Case& c : cases) {
    edit.SetReadOnly(false);
    edit.SetText(c.readOnly ? "kept" : "");
    edit.SetNumberMode(c.numberMode);
    edit.SetReadOnly(c.readOnly);
    gtk_entry_set_text(GTK_ENTRY(Widget(GTK_TYPE_ENTRY)), c.typed);
    ProcessMessages();
    EXPECT_EQ(edit.Text(), c.expected) << c.what;
    // The entry shows what the control made of the input.
    EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(Widget(GTK_TYPE_ENTRY))), ToUtf8(c.expected)) << c.what;
  }
}

// A key as the entry takes it: the selection goes, the text lands at the caret and the caret
// moves after it; "\b" is Backspace.
void Key(GtkEditable* entry, const char* utf8) {
  if (gtk_editable_get_selection_bounds(entry, nullptr, nullptr)) {
    gtk_editable_delete_selection(entry);
    if (std::string(utf8) == "\b") return;
  }
  gint at = gtk_editable_get_position(entry);
  if (std::string(utf8) == "\b") {
    if (at > 0) gtk_editable_delete_text(entry, at - 1, at);
    return;
  }
  gtk_editable_insert_text(entry, utf8, -1, &at);
  gtk_editable_set_position(entry, at);
}

// The entry owns the editing: keys typed slowly (each handled before the next) or fast (all
// before the control hears of any) leave the same text in the entry and in the control, and
// the caret where the last key put it.
TEST_F(GtkInputTest, KeysTypedIntoTheEntryStayAsTyped) {
  struct Case {
    const char* what;
    bool numberMode;
    const char* start;  // UTF-8
    int caret;          // characters
    std::vector<const char*> keys;
    const char* result;  // UTF-8
    int resultCaret;
  } cases[] = {
      {"letters", false, "", 0, {"a", "b", "c", "d"}, "abcd", 4},
      {"a file name", false, "", 0, {"o", "u", "t", ".", "r", "y", "n"}, "out.ryn", 7},
      {"Chinese among letters", false, "D", 1, {"0", "年", "度"}, "D0年度", 4},
      {"after the caret moved back", false, "ad", 1, {"b", "c"}, "abcd", 3},
      {"backspace", false, "2025", 4, {"\b", "4"}, "2024", 4},
      {"over a selection", false, "abcd", -1, {"x"}, "x", 1},
      {"number mode, a paste with letters", true, "1", 1, {"2a3"}, "123", 3},
      {"number mode, a letter alone", true, "12", 2, {"x", "3"}, "123", 3},
  };
  GtkEditable* entry = GTK_EDITABLE(Widget(GTK_TYPE_ENTRY));
  for (bool slow : {true, false}) {
    for (const Case& c : cases) {
      const std::string what = std::string(c.what) + (slow ? ", slowly" : ", fast");
      edit.SetNumberMode(c.numberMode);
      edit.SetText(FromUtf8(c.start));
      ProcessMessages();
      if (c.caret < 0) gtk_editable_select_region(entry, 0, -1);
      else gtk_editable_set_position(entry, c.caret);
      changes = 0;
      for (const char* key : c.keys) {
        Key(entry, key);
        if (slow) ProcessMessages();
      }
      ProcessMessages();
      EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), c.result) << what;
      EXPECT_EQ(edit.Text(), FromUtf8(c.result)) << what;
      EXPECT_EQ(gtk_editable_get_position(entry), c.resultCaret) << what;
      EXPECT_GE(changes, 1) << what;
    }
  }
}

// An editable memo follows its view the same way; a line break typed at the end stays in the
// view although the control counts no line for it until something follows.
TEST(GtkMemoTest, TypingIntoAMemo) {
  std::string error;
  ASSERT_TRUE(UseBackend("gtk", &error)) << error;
  for (bool slow : {true, false}) {
    Form form;
    form.SetClientSize(200, 100);
    RichText& memo = form.Create<RichText>("memo");
    memo.SetBounds(0, 0, 200, 100);
    memo.SetReadOnly(false);
    int changes = 0;
    memo.OnChange = [&] { ++changes; };
    form.Show();
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(Find(WindowOf(form), GTK_TYPE_TEXT_VIEW)));
    auto text = [&] {
      GtkTextIter start, end;
      gtk_text_buffer_get_bounds(buffer, &start, &end);
      gchar* all = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
      std::string result = all;
      g_free(all);
      return result;
    };
    for (const char* key : {"年", "\n", "b"}) {
      gtk_text_buffer_insert_at_cursor(buffer, key, -1);
      if (slow) ProcessMessages();
    }
    ProcessMessages();
    EXPECT_EQ(text(), "年\nb") << slow;
    EXPECT_EQ(memo.Lines(), (std::vector<std::string>{Ansi("年"), "b"})) << slow;
    EXPECT_EQ(changes, 2) << slow;  // the line break alone changes no line
    memo.SetText("x");
    EXPECT_EQ(text(), "x") << slow;
  }
}

TEST_F(GtkInputTest, InputForAControlThatIsGoneIsDropped) {
  auto gone = std::make_unique<Form>();
  auto& b = gone->Create<Button>("b");
  b.SetBounds(0, 0, 50, 20);
  int goneClicks = 0;
  b.OnClick = [&] { ++goneClicks; };
  gone->Show();
  gtk_button_clicked(GTK_BUTTON(Find(WindowOf(*gone), GTK_TYPE_BUTTON)));
  gone.reset();
  ProcessMessages();
  EXPECT_EQ(goneClicks, 0);
}

TEST_F(GtkInputTest, TheCloseBoxAsksTheForm) {
  int asked = 0;
  bool allow = false;
  form.OnCloseQuery = [&] { return ++asked, allow; };
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(WindowOf(form))));
  gtk_main_do_event(event);
  ProcessMessages();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(form.Visible());
  allow = true;
  gtk_main_do_event(event);
  ProcessMessages();
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(gtk_widget_get_visible(WindowOf(form)));
  gdk_event_free(event);
}

// The counts of a run reach the screen: a label of the progress log window, on screen with
// room to show, holds them once the run has ended (a warning keeps the window open).
TEST(GtkLogWindowTest, TheCountsOfTheRunAreOnScreenAtItsEnd) {
  std::string error;
  ASSERT_TRUE(UseBackend("gtk", &error)) << error;
  TCommonFunctionsRegistration common;
  auto source = MakeIntf<testing::TableSource>(std::vector<testing::Column>{{"a", 6}},
                                               std::vector<std::vector<std::string>>{{"1"}, {"2"}, {"3"}});
  auto dest = MakeIntf<testing::TableDest>(std::vector<testing::Column>{{"p", 6}});
  dest->onPost = [&] { dest->events->OnMessage(2, "w"); };
  TTransFrame frame;
  frame.SetImportEngine(source.get(), true);
  frame.SetExportEngine(dest.get(), true);
  frame.GetScriptHost()->SetScript("Filter=Import(0)<>2\r\nExport(0)=Import(0)");
  int shown = 0;
  ScopedModalDriver driver([&](Form& form) {
    std::vector<GtkWidget*> labels;
    Labels(WindowOf(form), labels);
    for (GtkWidget* label : labels) {
      if (std::string(gtk_label_get_text(GTK_LABEL(label))) != "读取3条，写入2条，筛除1条，拒绝0条，0个值有变化") continue;
      GtkAllocation at;
      gtk_widget_get_allocation(label, &at);
      if (gtk_widget_is_visible(label) && gtk_widget_get_mapped(label) && at.width > 0 && at.height > 0) ++shown;
    }
    Click(ControlOf<Button>(form, "btnClose"));
  });
  frame.Execute();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(dest->records.size(), 2u);
}

// Every entry below widget, depth first.
void Entries(GtkWidget* widget, std::vector<GtkWidget*>& found) {
  if (GTK_IS_ENTRY(widget)) found.push_back(widget);
  if (!GTK_IS_CONTAINER(widget)) return;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* c = children; c; c = c->next) Entries(GTK_WIDGET(c->data), found);
  g_list_free(children);
}

// The wizard of an engine named with --from is started before the transfer wizard's window
// exists; it must still be on screen on the page the window opens on, with the options.
TEST(GtkWizardTest, TheWizardOfTheSourceNamedOnTheCommandLineIsOnScreen) {
  std::string error;
  ASSERT_TRUE(UseBackend("gtk", &error)) << error;
  const std::string csv = std::filesystem::temp_directory_path() / "rynfiler-gtk-wizard.csv";
  {
    std::ofstream(csv, std::ios::binary) << "a,b\r\n1,2\r\n";
  }
  int shown = -1;
  ScopedModalDriver driver([&](Form& form) {
    std::vector<GtkWidget*> entries;
    Entries(WindowOf(form), entries);
    shown = 0;
    for (GtkWidget* entry : entries) {
      if (gtk_entry_get_text(GTK_ENTRY(entry)) != csv) continue;
      GtkAllocation at;
      gtk_widget_get_allocation(entry, &at);
      if (gtk_widget_is_visible(entry) && gtk_widget_get_mapped(entry) && at.width > 1 && at.height > 1) ++shown;
    }
  });
  const std::string args[] = {"--from", "CSV文件", "--from-options", "文件名=" + csv, "--dir", RYNFILER_ENGINE_DIR};
  std::vector<std::string_view> views(std::begin(args), std::end(args));
  std::ostringstream out, err;
  EXPECT_EQ(tool::RunWizard(views, out, err), 1) << err.str();
  FreeTransEngineFactories();
  std::remove(csv.c_str());
  EXPECT_EQ(shown, 1);
}

// A window opened over another of ours names it as its parent, and a modal one says so,
// before it maps: a window manager places and stacks a window by the hints it finds then.
struct MapHints {
  GtkWindow* window;
  GtkWindow* parent;
  bool modal;
};

gboolean RecordMap(GSignalInvocationHint*, guint, const GValue* params, gpointer seen) {
  GObject* object = G_OBJECT(g_value_get_object(params));
  if (GTK_IS_WINDOW(object) && !GTK_IS_PLUG(object)) {
    GtkWindow* window = GTK_WINDOW(object);
    static_cast<std::vector<MapHints>*>(seen)->push_back(
        {window, gtk_window_get_transient_for(window), gtk_window_get_modal(window) != FALSE});
  }
  return TRUE;
}

TEST(GtkStackingTest, AModalWindowNamesTheWindowBelowItBeforeItMaps) {
  std::string error;
  ASSERT_TRUE(UseBackend("gtk", &error)) << error;
  Form outer, inner;
  outer.SetClientSize(200, 100);
  inner.SetClientSize(100, 50);
  std::vector<MapHints> seen;
  const guint mapSignal = g_signal_lookup("map", GTK_TYPE_WIDGET);
  const gulong hook = g_signal_add_emission_hook(mapSignal, 0, RecordMap, &seen, nullptr);
  ScopedModalDriver driver([&](Form& form) {
    if (&form == &outer) {
      inner.ShowModal();
      outer.SetModalResult(kMrOk);
    } else {
      inner.SetModalResult(kMrCancel);
    }
  });
  EXPECT_EQ(outer.ShowModal(), kMrOk);
  g_signal_remove_emission_hook(mapSignal, hook);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].window, GTK_WINDOW(WindowOf(outer)));
  EXPECT_EQ(seen[0].parent, nullptr);  // nothing of ours below it
  EXPECT_TRUE(seen[0].modal);
  EXPECT_EQ(seen[1].window, GTK_WINDOW(WindowOf(inner)));
  EXPECT_EQ(seen[1].parent, GTK_WINDOW(WindowOf(outer)));
  EXPECT_TRUE(seen[1].modal);
}

// The context menu is reachable from the keyboard (Shift+F10 and the Menu key send the
// focused widget popup-menu): it comes up with its first item selected, and Enter there
// clicks that item as a right click's menu would.
TEST(GtkContextMenuTest, TheKeyboardOpensTheContextMenuOfTheFocusedList) {
  std::string error;
  ASSERT_TRUE(UseBackend("gtk", &error)) << error;
  Form form;
  form.SetClientSize(200, 120);
  GridView& grid = form.Create<GridView>("grid");
  grid.SetBounds(0, 0, 200, 120);
  grid.SetSize(2, 4);
  PopupMenu menu;
  int inserted = 0;
  menu.AddItem("N1", Ansi("插行")).OnClick = [&] { ++inserted; };
  menu.AddItem("N2", Ansi("删行"));
  grid.SetContextMenu(&menu);
  form.Show();
  GtkWidget* view = Find(WindowOf(form), GTK_TYPE_TREE_VIEW);
  ASSERT_NE(view, nullptr);
  gtk_widget_grab_focus(view);
  gboolean handled = FALSE;
  g_signal_emit_by_name(view, "popup-menu", &handled);
  EXPECT_TRUE(handled);
  GtkMenuShell* shown = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next)
    if (GtkWidget* m = Find(GTK_WIDGET(w->data), GTK_TYPE_MENU); m && gtk_widget_get_visible(m)) shown = GTK_MENU_SHELL(m);
  g_list_free(windows);
  ASSERT_NE(shown, nullptr);
  GtkWidget* selected = gtk_menu_shell_get_selected_item(shown);
  ASSERT_NE(selected, nullptr);
  EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(selected)), "插行");
  gtk_menu_shell_activate_item(shown, selected, TRUE);
  ProcessMessages();
  EXPECT_EQ(inserted, 1);
}

// Tab visits the controls in the order the form made them, whatever their places (the
// toolkit's own order goes by where each widget's middle is); a read-only text, which
// shows no caret, is no stop on the way.
TEST(GtkFocusTest, TabFollowsTheFormsOrderAndSkipsReadOnlyText) {
  std::string error;
  ASSERT_TRUE(UseBackend("gtk", &error)) << error;
  Form form;
  form.SetClientSize(300, 200);
  Edit& first = form.Create<Edit>("first");
  first.SetBounds(8, 120, 100, 21);
  RichText& note = form.Create<RichText>("note");
  note.SetBounds(8, 60, 200, 40);
  note.SetReadOnly(true);
  Button& second = form.Create<Button>("second");
  second.SetBounds(164, 10, 60, 23);
  form.Show();
  ProcessMessages();
  GtkWindow* window = GTK_WINDOW(WindowOf(form));
  auto step = [&](GtkWidget* from, GtkDirectionType direction) -> std::string {
    gtk_widget_grab_focus(from);
    gtk_widget_child_focus(GTK_WIDGET(window), direction);
    GtkWidget* focus = gtk_window_get_focus(window);
    return focus ? G_OBJECT_TYPE_NAME(focus) : "none";
  };
  GtkWidget* entry = Find(GTK_WIDGET(window), GTK_TYPE_ENTRY);
  EXPECT_EQ(step(entry, GTK_DIR_TAB_FORWARD), "GtkButton");
}

}  // namespace
}  // namespace ryn::ui
