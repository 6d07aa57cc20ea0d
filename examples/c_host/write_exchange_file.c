/* A minimal host: loads librynfiler.so with dlopen, configures its exchange file engine
   with an options text, writes two records through the exported functions, and reads
   the file back to check its bytes (a new file holds exactly one section).

   Usage: write_exchange_file LIBRARY OUTPUT_FILE */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "rynfiler.h"

/* The functions this host uses, looked up by name. */
struct Library {
  int32_t(RYN_CALL* EngineGetName)(char*, int32_t*);
  int32_t(RYN_CALL* EngineInit)(int32_t, RynHandle*);
  void(RYN_CALL* EngineFina)(RynHandle);
  void(RYN_CALL* EngineSetEvent)(RynHandle, intptr_t, int32_t, void*);
  int32_t(RYN_CALL* EngineSetOptions)(RynHandle, const char*);
  int32_t(RYN_CALL* FieldGetCount)(RynHandle);
  void*(RYN_CALL* FieldGetProc)(int32_t, int32_t);
  void(RYN_CALL* Append)(RynHandle);
  void(RYN_CALL* Post)(RynHandle);
};

/* ISO C has no cast from object to function pointers: copy the address. */
static int Bind(void* lib, const char* name, void* slot) {
  void* p = dlsym(lib, name);
  if (!p) {
    fprintf(stderr, "missing function %s\n", name);
    return 0;
  }
  memcpy(slot, &p, sizeof p);
  return 1;
}

/* What the file holds after this program ran once on a new file. */
static const char kExpected[] =
    "@\r\nItem\tAmount\r\n"
    "110000\t2024\tY\t06\trice\t1200.5\r\n"
    "110000\t2024\tY\t06\t\"wheat flour\"\t830\r\n"
    "@@";

/* 1 when the file holds exactly the expected bytes. */
static int Check(const char* path) {
  char bytes[sizeof kExpected + 64];
  size_t n;
  FILE* in = fopen(path, "rb");
  if (!in) return 0;
  n = fread(bytes, 1, sizeof bytes, in);
  fclose(in);
  return n == sizeof kExpected - 1 && memcmp(bytes, kExpected, n) == 0;
}

static void RYN_CALL OnMessage(intptr_t user, int32_t kind, const char* text) {
  (void)user;
  printf("engine message %d: %s\n", (int)kind, text);
}

int main(int argc, char** argv) {
  struct Library f;
  void* lib;
  void* proc;
  void* callback;
  RynHandle h = 0;
  RynSetText setText;
  RynMessageProc onMessage = OnMessage;
  char options[2048];
  char name[64];
  int32_t len = sizeof name;
  int ok;
  int32_t rc;

  if (argc != 3) {
    fprintf(stderr, "usage: %s LIBRARY OUTPUT_FILE\n", argv[0]);
    return 2;
  }
  lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 1;
  }
  ok = Bind(lib, "EngineGetName", &f.EngineGetName) && Bind(lib, "EngineInit", &f.EngineInit) &&
       Bind(lib, "EngineFina", &f.EngineFina) && Bind(lib, "EngineSetEvent", &f.EngineSetEvent) &&
       Bind(lib, "EngineSetOptions", &f.EngineSetOptions) && Bind(lib, "FieldGetCount", &f.FieldGetCount) &&
       Bind(lib, "FieldGetProc", &f.FieldGetProc) && Bind(lib, "Append", &f.Append) && Bind(lib, "Post", &f.Post);
  if (!ok) return 1;

  if (f.EngineGetName(name, &len) == -1) printf("loaded engine \"%.*s\" (%d bytes of name)\n", (int)len, name, (int)len);
  rc = f.EngineInit(RYN_DESTINATION, &h);
  if (rc != RYN_OK) {
    fprintf(stderr, "EngineInit failed: 0x%x\n", (unsigned)rc);
    return 1;
  }
  memcpy(&callback, &onMessage, sizeof callback);
  f.EngineSetEvent(h, 0, RYN_EVENT_MESSAGE, callback);

  /* The option keys are the engine's Chinese key words, here in GBK bytes: unit code,
     year, report type, period, file name, data type, selected columns. */
  snprintf(options, sizeof options,
           "\xB5\xA5\xCE\xBB\xB1\xEA\xCA\xB6=110000;\r\n"
           "\xC4\xEA\xB6\xC8=2024;\r\n"
           "\xB1\xA8\xB1\xED\xC0\xE0\xD0\xCD=Y;\r\n"
           "\xCA\xB1\xC6\xDA=06;\r\n"
           "\xCE\xC4\xBC\xFE\xC3\xFB=%s;\r\n"
           "\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD=1;\r\n"
           "\xD1\xA1\xD4\xF1\xC1\xD0={\r\n\tItem=item\r\nAmount=amount}",
           argv[2]);
  rc = f.EngineSetOptions(h, options);
  if (rc != 0) {
    fprintf(stderr, "EngineSetOptions failed: 0x%x\n", (unsigned)rc);
    return 1;
  }
  printf("configured %d columns, writing to %s\n", (int)f.FieldGetCount(h), argv[2]);

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
  dlclose(lib);
  if (!Check(argv[2])) {
    fprintf(stderr, "%s does not hold the two records as expected (run on a new file)\n", argv[2]);
    return 1;
  }
  printf("wrote 2 records to %s and read them back\n", argv[2]);
  return 0;
}
