/* A minimal Windows host: loads rynfiler.dll with LoadLibraryW, resolves every function
   the header declares by its undecorated name, configures the exchange file engine with
   an options text, writes two records through the exported (__stdcall) functions, and
   reads the file back to check its bytes (a new file holds exactly one section).

   Usage: c_host_win32 LIBRARY OUTPUT_FILE */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "rynfiler.h"

/* Every function a library of this package exports (rynfiler.h), each found by name. */
static const char* const kExports[] = {
    "EngineGetType",   "EngineGetName",     "EngineDiscription", "EngineInit",        "EngineFina",
    "EngineSetEvent",  "EngineGetOptions",  "EngineSetOptions",  "EngineEstablished", "MoveFirst",
    "MoveNext",        "IsEof",             "DataCount",         "Append",            "Post",
    "ConfigInit",      "ConfigFina",        "ConfigPort",        "ConfigIsBOF",       "ConfigIsEOF",
    "ConfigCheckSucceed", "ConfigFirst",    "ConfigLast",        "ConfigNext",        "ConfigPrevious",
    "ConfigUpdate",    "FieldGetCount",     "FieldSetCount",     "FieldGetName",      "FieldSetName",
    "FieldGetType",    "FieldSetType",      "FieldFindbyName",   "FieldIsEmpty",      "FieldGetProc",
    "FieldGetValueText", "EngineAbandon",   "EngineGetRecordProblem", "EngineGetRecordTexts",
    "EnginePostRecordTexts", "EngineMoveNextRecord"};

struct Library {
  int32_t(RYN_CALL* EngineGetType)(void);
  int32_t(RYN_CALL* EngineGetName)(char*, int32_t*);
  int32_t(RYN_CALL* EngineInit)(int32_t, RynHandle*);
  void(RYN_CALL* EngineFina)(RynHandle);
  void(RYN_CALL* EngineSetEvent)(RynHandle, intptr_t, int32_t, void*);
  int32_t(RYN_CALL* EngineSetOptions)(RynHandle, const char*);
  int32_t(RYN_CALL* FieldGetCount)(RynHandle);
  void*(RYN_CALL* FieldGetProc)(int32_t, int32_t);
  void(RYN_CALL* Append)(RynHandle);
  void(RYN_CALL* Post)(RynHandle);
  int32_t(RYN_CALL* ConfigInit)(RynHandle, intptr_t, int32_t, RynHandle*);
  void(RYN_CALL* ConfigFina)(RynHandle);
};

static int Bind(HMODULE lib, const char* name, void* slot) {
  FARPROC p = GetProcAddress(lib, name);
  if (!p) {
    fprintf(stderr, "missing function %s\n", name);
    return 0;
  }
  memcpy(slot, &p, sizeof p);
  return 1;
}

static const char kExpected[] =
    "@\r\nItem\tAmount\r\n"
    "110000\t2024\tY\t06\trice\t1200.5\r\n"
    "110000\t2024\tY\t06\t\"wheat flour\"\t830\r\n"
    "@@";

static int Check(const wchar_t* path) {
  char bytes[sizeof kExpected + 64];
  size_t n;
  FILE* in = _wfopen(path, L"rb");
  if (!in) return 0;
  n = fread(bytes, 1, sizeof bytes, in);
  fclose(in);
  return n == sizeof kExpected - 1 && memcmp(bytes, kExpected, n) == 0;
}

static void RYN_CALL OnMessage(intptr_t user, int32_t kind, const char* text) {
  (void)user;
  printf("engine message %d: %s\n", (int)kind, text);
}

int wmain(int argc, wchar_t** argv) {
  struct Library f;
  HMODULE lib;
  void* proc;
  void* callback;
  RynHandle h = 0, config = 0;
  RynSetText setText;
  RynMessageProc onMessage = OnMessage;
  char options[4096], file[MAX_PATH * 2];
  char name[64];
  int32_t len = sizeof name;
  size_t i;
  int ok = 1;
  int32_t rc;

  if (argc != 3) {
    fprintf(stderr, "usage: c_host_win32 LIBRARY OUTPUT_FILE\n");
    return 2;
  }
  lib = LoadLibraryW(argv[1]);
  if (!lib) {
    fprintf(stderr, "cannot load the library: error %lu\n", (unsigned long)GetLastError());
    return 1;
  }
  for (i = 0; i < sizeof kExports / sizeof kExports[0]; ++i)
    if (!GetProcAddress(lib, kExports[i])) {
      fprintf(stderr, "missing function %s\n", kExports[i]);
      ok = 0;
    }
  ok = ok && Bind(lib, "EngineGetType", &f.EngineGetType) && Bind(lib, "EngineGetName", &f.EngineGetName) &&
       Bind(lib, "EngineInit", &f.EngineInit) && Bind(lib, "EngineFina", &f.EngineFina) &&
       Bind(lib, "EngineSetEvent", &f.EngineSetEvent) && Bind(lib, "EngineSetOptions", &f.EngineSetOptions) &&
       Bind(lib, "FieldGetCount", &f.FieldGetCount) && Bind(lib, "FieldGetProc", &f.FieldGetProc) &&
       Bind(lib, "Append", &f.Append) && Bind(lib, "Post", &f.Post) && Bind(lib, "ConfigInit", &f.ConfigInit) &&
       Bind(lib, "ConfigFina", &f.ConfigFina);
  if (!ok) return 1;
  printf("resolved %u functions\n", (unsigned)(sizeof kExports / sizeof kExports[0]));
  if (f.EngineGetType() != RYN_DESTINATION) {
    fprintf(stderr, "EngineGetType: %d\n", (int)f.EngineGetType());
    return 1;
  }
  if (f.EngineGetName(name, &len) == -1) printf("loaded engine (%d bytes of name)\n", (int)len);
  rc = f.EngineInit(RYN_DESTINATION, &h);
  if (rc != RYN_OK) {
    fprintf(stderr, "EngineInit failed: 0x%x\n", (unsigned)rc);
    return 1;
  }
  /* A wizard inside a window of this host: headless for now, it opens and closes all the
     same. */
  rc = f.ConfigInit(h, (intptr_t)GetDesktopWindow(), 1, &config);
  if (rc != RYN_OK || config == 0) {
    fprintf(stderr, "ConfigInit failed: 0x%x\n", (unsigned)rc);
    return 1;
  }
  f.ConfigFina(config);
  memcpy(&callback, &onMessage, sizeof callback);
  f.EngineSetEvent(h, 0, RYN_EVENT_MESSAGE, callback);

  /* The file name in the engine's code page (GBK). */
  if (!WideCharToMultiByte(936, 0, argv[2], -1, file, sizeof file, NULL, NULL)) return 1;
  snprintf(options, sizeof options,
           "\xB5\xA5\xCE\xBB\xB1\xEA\xCA\xB6=110000;\r\n"
           "\xC4\xEA\xB6\xC8=2024;\r\n"
           "\xB1\xA8\xB1\xED\xC0\xE0\xD0\xCD=Y;\r\n"
           "\xCA\xB1\xC6\xDA=06;\r\n"
           "\xCE\xC4\xBC\xFE\xC3\xFB=%s;\r\n"
           "\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD=1;\r\n"
           "\xD1\xA1\xD4\xF1\xC1\xD0={\r\n\tItem=item\r\nAmount=amount}",
           file);
  rc = f.EngineSetOptions(h, options);
  if (rc != 0) {
    fprintf(stderr, "EngineSetOptions failed: 0x%x\n", (unsigned)rc);
    return 1;
  }
  printf("configured %d columns\n", (int)f.FieldGetCount(h));

  proc = f.FieldGetProc(RYN_DESTINATION, RYN_FT_STRING);
  memcpy(&setText, &proc, sizeof setText);
  f.Append(h);
  setText(h, 0, "rice", 4);
  setText(h, 1, "1200.5", 6);
  f.Post(h);
  f.Append(h);
  setText(h, 0, "wheat flour", 11);
  setText(h, 1, "830", 3);
  f.Post(h);
  f.EngineFina(h);
  FreeLibrary(lib);
  if (!Check(argv[2])) {
    fprintf(stderr, "the file does not hold the two records as expected (run on a new file)\n");
    return 1;
  }
  printf("wrote 2 records and read them back\n");
  return 0;
}
