/* The public header compiles alone in the oldest standards it supports (C99, C++98). */
#include "rynfiler.h"

int rynfiler_header_check(void) {
  RynChar16 unit = 0;
  RynHandle handle = 0;
  return (int)unit + (int)handle;
}
