/* A GTK host of another toolkit's kind: it knows nothing of our window table, only an X11
   window id. It makes a GtkSocket, opens a source engine of the engine library given
   (through dlopen and the exported functions, as any host does), passes the socket's id
   to ConfigInit and checks that the wizard's window became the socket's child (plug-added
   and the X11 tree) and that ConfigNext / ConfigCheckSucceed act on the embedded wizard;
   then the same inside a plain X11 window of a host that speaks no embedding protocol.
   Usage: embed_host ENGINE_LIBRARY CSV_FILE. Exit status 0 when every check holds. */
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>
#include <stdio.h>
#include <string.h>

#include <rynfiler.h>

#define CHECK(cond)                                              \
  do {                                                           \
    if (!(cond)) {                                               \
      fprintf(stderr, "embed_host: failed: %s\n", #cond);        \
      return 1;                                                  \
    }                                                            \
  } while (0)

static int gPlugged = 0;

static void OnPlugAdded(GtkSocket* socket, gpointer data) {
  (void)socket;
  (void)data;
  gPlugged = 1;
}

/* Runs the main loop until the condition holds or a generous number of rounds passed. */
static void Pump(const int* flag) {
  for (int i = 0; i < 2000 && !(flag && *flag); ++i) {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    if (!flag) return;
    g_usleep(1000);
  }
}

/* The parent of an X11 window. */
static Window ParentOf(Display* display, Window window) {
  Window root = 0, parent = 0, *children = NULL;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
  if (children) XFree(children);
  return parent;
}

/* The first child window of the socket's window, or 0. */
static Window ChildOf(Display* display, Window socketWindow) {
  Window root = 0, parent = 0, *children = NULL;
  unsigned int count = 0;
  Window first = 0;
  if (XQueryTree(display, socketWindow, &root, &parent, &children, &count) && count > 0) first = children[0];
  if (children) XFree(children);
  return first;
}

typedef int32_t(RYN_CALL* EngineInitFn)(int32_t, RynHandle*);
typedef void(RYN_CALL* EngineFinaFn)(RynHandle);
typedef int32_t(RYN_CALL* SetOptionsFn)(RynHandle, const char*);
typedef int32_t(RYN_CALL* ConfigInitFn)(RynHandle, intptr_t, int32_t, RynHandle*);
typedef int32_t(RYN_CALL* ConfigQueryFn)(RynHandle);
typedef void(RYN_CALL* ConfigStepFn)(RynHandle);

int main(int argc, char** argv) {
  /* library, file name, and "destination" for a destination engine (a source by default) */
  if (argc != 3 && argc != 4) return 2;
  const int32_t direction = argc == 4 && strcmp(argv[3], "destination") == 0 ? RYN_DESTINATION : RYN_SOURCE;
  gtk_init(&argc, &argv);
  void* library = dlopen(argv[1], RTLD_NOW);
  CHECK(library != NULL);
  EngineInitFn engineInit = (EngineInitFn)dlsym(library, "EngineInit");
  EngineFinaFn engineFina = (EngineFinaFn)dlsym(library, "EngineFina");
  SetOptionsFn setOptions = (SetOptionsFn)dlsym(library, "EngineSetOptions");
  ConfigInitFn configInit = (ConfigInitFn)dlsym(library, "ConfigInit");
  ConfigQueryFn isBof = (ConfigQueryFn)dlsym(library, "ConfigIsBOF");
  ConfigQueryFn checkSucceed = (ConfigQueryFn)dlsym(library, "ConfigCheckSucceed");
  ConfigStepFn next = (ConfigStepFn)dlsym(library, "ConfigNext");
  ConfigStepFn first = (ConfigStepFn)dlsym(library, "ConfigFirst");
  ConfigStepFn fina = (ConfigStepFn)dlsym(library, "ConfigFina");
  CHECK(engineInit && engineFina && setOptions && configInit && isBof && checkSucceed && next && first && fina);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "embedding host");
  GtkWidget* socket = gtk_socket_new();
  gtk_widget_set_size_request(socket, 500, 210);
  gtk_container_add(GTK_CONTAINER(window), socket);
  g_signal_connect(socket, "plug-added", G_CALLBACK(OnPlugAdded), NULL);
  /* The socket stays for the next wizard when one goes. */
  g_signal_connect(socket, "plug-removed", G_CALLBACK(gtk_true), NULL);
  gtk_widget_show_all(window);
  Pump(NULL);
  const Window socketId = gtk_socket_get_id(GTK_SOCKET(socket));
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());

  RynHandle engine = 0, config = 0;
  CHECK(engineInit(direction, &engine) == RYN_OK && engine != 0);
  CHECK(configInit(engine, (intptr_t)socketId, 1, &config) == RYN_OK && config != 0);
  first(config);
  Pump(&gPlugged);
  CHECK(gPlugged);
  const Window plug = ChildOf(display, socketId);
  CHECK(plug != 0);
  CHECK(ParentOf(display, plug) == socketId);
  XWindowAttributes attrs;
  CHECK(XGetWindowAttributes(display, plug, &attrs) && attrs.map_state == IsViewable);

  /* The first page wants a file: refused; with one named it passes and Next moves on. */
  CHECK(isBof(config) == -1);
  CHECK(checkSucceed(config) != 0);
  fina(config);
  char options[512];
  snprintf(options, sizeof options, "\xCE\xC4\xBC\xFE\xC3\xFB=%s", argv[2]); /* 文件名= in GBK */
  CHECK(setOptions(engine, options) == 0);
  gPlugged = 0;
  CHECK(configInit(engine, (intptr_t)socketId, 1, &config) == RYN_OK && config != 0);
  first(config);
  Pump(&gPlugged);
  CHECK(gPlugged && ParentOf(display, ChildOf(display, socketId)) == socketId);
  CHECK(checkSucceed(config) == 0);
  next(config);
  Pump(NULL);
  CHECK(isBof(config) == 0);
  fina(config);

  /* A host of another toolkit: a plain X11 window that speaks no embedding protocol. The
     wizard's window becomes its child all the same, and the wizard answers as before. */
  Window plain = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 500, 210, 0, 0, 0xFFFFFF);
  XMapWindow(display, plain);
  XSync(display, False);
  CHECK(configInit(engine, (intptr_t)plain, 1, &config) == RYN_OK && config != 0);
  first(config);
  Window child = 0;
  for (int i = 0; i < 2000 && !child; ++i) {
    Pump(NULL);
    XSync(display, False);
    child = ChildOf(display, plain);
    if (!child) g_usleep(1000);
  }
  CHECK(child != 0 && ParentOf(display, child) == plain);
  CHECK(checkSucceed(config) == 0);
  next(config);
  Pump(NULL);
  CHECK(isBof(config) == 0);
  fina(config);
  Pump(NULL);
  XDestroyWindow(display, plain);

  engineFina(engine);
  gtk_widget_destroy(window);
  printf("embedded\n");
  return 0;
}
