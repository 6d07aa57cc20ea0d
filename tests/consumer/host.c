/* A host built against an installed RynFiler: linked with -lrynfiler, it writes one record
   through the exported functions and checks the file's bytes.
   Usage: consumer_host OUTPUT_FILE */
#include <stdio.h>
#include <string.h>

#include <rynfiler.h>

int main(int argc, char** argv) {
  static const char kExpected[] = "A\r\n1\t2\tY\t3\tv\r\n@@";
  char options[1024];
  char bytes[64];
  RynHandle h = 0;
  void* proc;
  RynSetText setText;
  FILE* in;
  size_t n;
  if (argc != 2) return 2;
  if (EngineInit(RYN_DESTINATION, &h) != RYN_OK) return 3;
  /* File name, data type and selected columns, keyed in GBK. */
  snprintf(options, sizeof options,
           "\xB5\xA5\xCE\xBB\xB1\xEA\xCA\xB6=1;\xC4\xEA\xB6\xC8=2;\xB1\xA8\xB1\xED\xC0\xE0\xD0\xCD=Y;"
           "\xCA\xB1\xC6\xDA=3;\xCE\xC4\xBC\xFE\xC3\xFB=%s;\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD=0;"
           "\xD1\xA1\xD4\xF1\xC1\xD0={A=a}",
           argv[1]);
  if (EngineSetOptions(h, options) != 0) return 4;
  proc = FieldGetProc(RYN_DESTINATION, RYN_FT_STRING);
  memcpy(&setText, &proc, sizeof setText);
  Append(h);
  setText(h, 0, "v", 1);
  Post(h);
  EngineFina(h);
  in = fopen(argv[1], "rb");
  if (!in) return 5;
  n = fread(bytes, 1, sizeof bytes, in);
  fclose(in);
  if (n != sizeof kExpected - 1 || memcmp(bytes, kExpected, n) != 0) return 6;
  printf("ok\n");
  return 0;
}
