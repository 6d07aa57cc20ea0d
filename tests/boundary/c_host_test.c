/* A plain C host: writes an exchange file through the exported functions and checks its
   bytes. Usage: c_host_test DIRECTORY */
#include <stdio.h>
#include <string.h>

#include "rynfiler.h"

static int messages = 0;

static void RYN_CALL OnMessage(intptr_t user, int32_t kind, const char* text) {
  (void)kind;
  (void)text;
  if (user == 42) ++messages;
}

int main(int argc, char** argv) {
  char options[1024];
  char path[512];
  char bytes[256];
  const char* expected = "@\r\nA\tB\r\n0001\t2023\tY\t12\tx\t\"y z\"\r\n@@";
  RynHandle h = 0;
  /* ISO C has no cast between object and function pointers; a union carries the value. */
  union {
    void* p;
    RynSetText f;
  } setter;
  union {
    void* p;
    RynMessageProc f;
  } callback;
  RynSetText setText;
  FILE* f;
  size_t n;
  int32_t len = 0;

  if (argc < 2) return 2;
  snprintf(path, sizeof path, "%s/c_host.ryn", argv[1]);
  remove(path);
  if (EngineGetType() != RYN_DESTINATION) return 1;
  if (EngineGetName(NULL, &len) != 0 || len <= 0) return 1;
  if (EngineInit(RYN_DESTINATION, &h) != RYN_OK || h == 0) return 1;
  callback.f = OnMessage;
  EngineSetEvent(h, 42, RYN_EVENT_MESSAGE, callback.p);
  Append(h); /* no file yet: a message */
  if (messages != 1) return 1;

  snprintf(options, sizeof options,
           "\xB5\xA5\xCE\xBB\xB1\xEA\xCA\xB6=0001;\r\n" /* unit code key in GBK */
           "\xC4\xEA\xB6\xC8=2023;\r\n"                 /* year */
           "\xB1\xA8\xB1\xED\xC0\xE0\xD0\xCD=Y;\r\n"     /* report type */
           "\xCA\xB1\xC6\xDA=12;\r\n"                     /* period */
           "\xCE\xC4\xBC\xFE\xC3\xFB=%s;\r\n"             /* file name */
           "\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD=1;\r\n"     /* data type */
           "\xD1\xA1\xD4\xF1\xC1\xD0={\r\n\tA=a\r\nB=b}", /* selected columns */
           path);
  if (EngineSetOptions(h, options) != 0) return 1;
  if (EngineEstablished(h) != 1) return 1;
  if (FieldGetCount(h) != 2 || FieldFindbyName(h, "B") != 1) return 1;

  setter.p = FieldGetProc(RYN_DESTINATION, RYN_FT_STRING);
  setText = setter.f;
  if (!setText) return 1;
  Append(h);
  setText(h, 0, "x", 1);
  setText(h, 1, "y z", 3);
  Post(h);
  EngineFina(h);
  if (EngineEstablished(h) != RYN_E_HANDLE) return 1;

  f = fopen(path, "rb");
  if (!f) return 1;
  n = fread(bytes, 1, sizeof bytes, f);
  fclose(f);
  if (n != strlen(expected) || memcmp(bytes, expected, n) != 0) {
    fprintf(stderr, "unexpected file content\n");
    return 1;
  }
  return 0;
}
