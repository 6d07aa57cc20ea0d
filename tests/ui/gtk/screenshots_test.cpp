// Every form of the system on a real display: shown modally, photographed by the backend
// into <build>/screenshots/NAME.png from inside its modal driver, and checked against the
// X server's idea of the window (its title and client size are the form's) and the image
// (the window's size, and not a blank area of one colour). On every page of every form no
// label may cover a control (what is on screen, compared pairwise), no Alt letter may be
// claimed twice, and every control Tab reaches has an accessible name.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config_window.h"
#include "expr/common_functions.h"
#include "expr/expr_editor.h"
#include "libengineport/lib_factory.h"
#include "platform/codepage.h"
#include "rynforms/fields_form.h"
#include "rynengine/rynexport.h"
#include "support/table_ports.h"
#include "transfer/log_form.h"
#include "transfer/trans_frame.h"
#include "transport/registries.h"
#include "ui/backend_loader.h"
#include "ui/pages.h"
#include "support/ui_driver.h"

// Last: Xlib's macros (None, Bool) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace ryn {
namespace {

struct XWindowSeen {
  std::string title;  // UTF-8
  int width = 0, height = 0;
};

XWindowSeen AskX(ui::WindowHandle handle) {
  XWindowSeen seen;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return seen;
  XWindowAttributes attrs{};
  if (XGetWindowAttributes(display, static_cast<Window>(handle), &attrs)) {
    seen.width = attrs.width;
    seen.height = attrs.height;
  }
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, static_cast<Window>(handle), XInternAtom(display, "_NET_WM_NAME", False), 0, 1024, False,
                         XInternAtom(display, "UTF8_STRING", False), &type, &format, &count, &after, &data) == Success &&
      data) {
    seen.title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  XCloseDisplay(display);
  return seen;
}

// Colours of the image, up to a few: one colour is a window that drew nothing.
size_t Colours(GdkPixbuf* image) {
  std::set<uint32_t> colours;
  const int channels = gdk_pixbuf_get_n_channels(image), stride = gdk_pixbuf_get_rowstride(image);
  const guchar* pixels = gdk_pixbuf_get_pixels(image);
  for (int y = 0; y < gdk_pixbuf_get_height(image) && colours.size() < 8; ++y)
    for (int x = 0; x < gdk_pixbuf_get_width(image); ++x) {
      const guchar* p = pixels + y * stride + x * channels;
      colours.insert(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
    }
  return colours.size();
}

// The factor the backend sizes the forms by: text larger than 96 dots per inch
// (GDK_DPI_SCALE=1.5 in the suite's second run) makes every window larger alike.
double TextScale() {
  const double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

int Scaled(int pixels) { return static_cast<int>(pixels * TextScale() + 0.5); }

// The pictures of a larger text scale are kept beside the others: NAME_scale1.5.png.
std::string ScaleSuffix() {
  if (TextScale() == 1.0) return "";
  char text[32];
  std::snprintf(text, sizeof text, "_scale%g", TextScale());
  return text;
}

// A widget of ours on screen (a peer's outer widget, placed in a fixed container), in the
// coordinates of its top-level window.
struct Placed {
  std::string what;
  GdkRectangle box;
};

// Lets the toolkit lay out and allocate what just changed.
void Settle() {
  for (int i = 0; i < 20; ++i) {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    g_usleep(5000);
  }
}

// Every label that covers a control on the form's window as it shows now, every Alt letter
// that two labels or buttons on screen claim (the second would never be reached), and
// every control Tab reaches that a screen reader could not name.
std::vector<std::string> Overlaps(ui::Form& form) {
  std::vector<std::string> found;
  // The form's handle is its X window; the toolkit in this process knows the widget.
  GdkWindow* window = gdk_x11_window_lookup_for_display(gdk_display_get_default(), static_cast<Window>(form.Handle()));
  gpointer user = nullptr;
  if (window) gdk_window_get_user_data(window, &user);
  if (!user) return {"the form has no window of the toolkit"};
  GtkWidget* top = GTK_WIDGET(user);
  std::vector<Placed> labels, controls;
  std::map<guint, std::string> mnemonics;
  std::vector<GtkWidget*> stack{top};
  while (!stack.empty()) {
    GtkWidget* widget = stack.back();
    stack.pop_back();
    if (!gtk_widget_get_mapped(widget)) continue;
    // A screen reader names whatever Tab can reach.
    if (gtk_widget_get_can_focus(widget) && gtk_widget_is_sensitive(widget) && !GTK_IS_WINDOW(widget)) {
      const char* spoken = atk_object_get_name(gtk_widget_get_accessible(widget));
      if (!spoken || !*spoken) found.push_back(std::string("a ") + G_OBJECT_TYPE_NAME(widget) + " has no accessible name");
    }
    if (GTK_IS_LABEL(widget) && gtk_widget_is_sensitive(widget)) {
      const guint key = gdk_keyval_to_lower(gtk_label_get_mnemonic_keyval(GTK_LABEL(widget)));
      const std::string text = gtk_label_get_text(GTK_LABEL(widget));
      if (key != GDK_KEY_VoidSymbol && !mnemonics.emplace(key, text).second)
        found.push_back("Alt+" + std::string(gdk_keyval_name(key)) + " is both \"" + mnemonics[key] + "\" and \"" + text + "\"");
    }
    GtkWidget* parent = gtk_widget_get_parent(widget);
    if (parent && GTK_IS_FIXED(parent) && !GTK_IS_EVENT_BOX(widget)) {
      GtkAllocation a;
      gtk_widget_get_allocation(widget, &a);
      int x = 0, y = 0;
      gtk_widget_translate_coordinates(widget, top, 0, 0, &x, &y);
      Placed placed{G_OBJECT_TYPE_NAME(widget), {x, y, a.width, a.height}};
      if (GTK_IS_LABEL(widget)) {
        // What the user sees of a label is its ink: the box of a CJK font's line has room
        // below the glyphs that may reach into the field under it unseen.
        GtkLabel* label = GTK_LABEL(widget);
        PangoRectangle ink;
        pango_layout_get_pixel_extents(gtk_label_get_layout(label), &ink, nullptr);
        int lx = 0, ly = 0;
        gtk_label_get_layout_offsets(label, &lx, &ly);
        placed.box = {x + lx - a.x + ink.x, y + ly - a.y + ink.y, ink.width, ink.height};
        placed.what += std::string(" \"") + gtk_label_get_text(label) + "\"";
        labels.push_back(placed);
      } else {
        controls.push_back(placed);
      }
    }
    if (GTK_IS_CONTAINER(widget)) {
      GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
      for (GList* c = children; c; c = c->next) stack.push_back(GTK_WIDGET(c->data));
      g_list_free(children);
    }
  }
  for (const Placed& label : labels)
    for (const Placed& control : controls) {
      GdkRectangle common;
      if (gdk_rectangle_intersect(&label.box, &control.box, &common) && common.width > 0 && common.height > 0)
        found.push_back(label.what + " covers " + control.what + " by " + std::to_string(common.width) + "x" +
                        std::to_string(common.height));
    }
  return found;
}

// Each page of each page control on the form, shown in turn and checked; the active pages
// are put back after.
void ExpectNoOverlapsOnAnyPage(ui::Form& form, const std::string& name) {
  std::vector<ui::PageControl*> books;
  std::vector<ui::Control*> stack{&form};
  while (!stack.empty()) {
    ui::Control* c = stack.back();
    stack.pop_back();
    if (c->Kind() == ui::ControlKind::kPageControl) books.push_back(static_cast<ui::PageControl*>(c));
    stack.insert(stack.end(), c->Children().begin(), c->Children().end());
  }
  Settle();
  EXPECT_EQ(Overlaps(form), std::vector<std::string>{}) << name;
  for (ui::PageControl* book : books) {
    const int active = book->ActivePageIndex();
    for (int i = 0; i < book->PageCount(); ++i) {
      book->SetActivePageIndex(i);
      Settle();
      EXPECT_EQ(Overlaps(form), std::vector<std::string>{}) << name << ", page " << book->PageAt(i).Name();
    }
    book->SetActivePageIndex(active);
  }
}

class ScreenshotsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(ui::UseBackend("gtk", &error)) << error;
    std::filesystem::create_directories(RYNFILER_SCREENSHOT_DIR);
  }

  // Shows the form through show (which runs its modal loop), photographs it once it is on
  // screen and checks window and image; the form is then left as the driver leaves it.
  void Photograph(const std::string& name, const std::function<void()>& show) {
    int photographed = 0;
    ui::ScopedModalDriver driver([&](ui::Form& form) {
      if (photographed++) return;  // a nested form of its own is not the one asked for
      const std::string file = std::string(RYNFILER_SCREENSHOT_DIR) + "/" + name + ScaleSuffix() + ".png";
      ASSERT_TRUE(ui::Application::Instance().GetBackend()->Snapshot(form, file)) << name;
      const XWindowSeen x = AskX(form.Handle());
      EXPECT_EQ(x.title, ToUtf8(form.Caption())) << name;
      EXPECT_EQ(x.width, Scaled(form.ClientWidth())) << name;
      EXPECT_EQ(x.height, Scaled(form.ClientHeight())) << name;
      GdkPixbuf* image = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
      ASSERT_NE(image, nullptr) << name;
      EXPECT_EQ(gdk_pixbuf_get_width(image), Scaled(form.ClientWidth())) << name;
      EXPECT_EQ(gdk_pixbuf_get_height(image), Scaled(form.ClientHeight())) << name;
      EXPECT_GT(Colours(image), 2u) << name;
      g_object_unref(image);
      ExpectNoOverlapsOnAnyPage(form, name + ScaleSuffix());
    });
    show();
    EXPECT_EQ(photographed, 1) << name;
  }

  TCommonFunctionsRegistration common;
};

TEST_F(ScreenshotsTest, TheProgressLogAndTheFormulaEditor) {
  using testing::Column;
  auto source = MakeIntf<testing::TableSource>(std::vector<Column>{{"a", 6}}, std::vector<std::vector<std::string>>{{"1"}});
  auto dest = MakeIntf<testing::TableDest>(std::vector<Column>{{"p", 6}});
  TTransFrame frame;
  frame.SetImportEngine(source.get(), true);
  frame.SetExportEngine(dest.get(), true);
  frame.GetScriptHost()->SetScript("Export(0)=Import(");  // stays open with the compiler's message
  auto log = MakeIntf<TLogForm>(&frame);
  Photograph("log_form", [&] { log->ShowModal(); });
  log->Destroy();
  // A run that changed values: its counts, and the window staying open to say it failed.
  frame.GetScriptHost()->SetScript("Export(0)=FillLeft(Import(0)*100000000,\"x\")");
  Photograph("log_form_counts", [&] { frame.Execute(); });

  TExprEdit editor;
  editor.SetScriptHost(frame.GetScriptHost().get());
  editor.SetExpression("Import(0) + 1");
  Photograph("expr_editor", [&] { editor.ShowModal(); });
}

TEST_F(ScreenshotsTest, TheTransferWizardAndTheEnginesConfigurationWizards) {
  FreeTransEngineFactories();
  RegisterLibraryEngines(std::string(RYNFILER_ENGINE_DIR));
  {
    TTransFrame frame;
    Photograph("transfer_wizard", [&] { frame.ShowWizard(); });
  }
  // The Excel and ODBC engines are built only where libzip and unixODBC are.
  const struct {
    const char* engine;
    int32_t direction;
    const char* shot;
    bool built;
  } wizards[] = {{"CSV文件", kDirectionSource, "csv_config", true},
                 {"SQLite数据库", kDirectionSource, "sqlite_config", true},
                 {"Ryn文件", kDirectionDestination, "ryn_config", true},
                 {"Excel文件", kDirectionSource, "xlsx_config", RYNFILER_XLSX_BUILT},
                 {"ODBC数据源", kDirectionSource, "odbc_config", RYNFILER_ODBC_BUILT}};
  for (const auto& w : wizards) {
    if (!w.built) continue;
    IntfPtr<ITransEngineFactory> factory = GetTransEngineFactories().FindByName(Ansi(w.engine));
    ASSERT_NE(factory, nullptr) << w.engine;
    IntfPtr<ITransEngine> e = factory->CreateEngine();
    ASSERT_TRUE(e->Init(w.direction));
    {
      tool::TConfigWindow window(e->GetConfig(), e->GetName());
      Photograph(w.shot, [&] { window.Execute(); });
    }
    e->Fina();
  }
  FreeTransEngineFactories();
}

TEST_F(ScreenshotsTest, TheFieldSettingsDialog) {
  auto engine = MakeIntf<TRynExport>();
  engine->SetReportInfoText("[" + Ansi("固定数据") + "]\r\n" + Ansi("代码=DM\r\n名称=MC\r\n"));
  TFormFileds dialog;
  dialog.LoadFrom(engine.get());
  Photograph("fileds_form", [&] { dialog.ShowModal(); });
}

}  // namespace
}  // namespace ryn
