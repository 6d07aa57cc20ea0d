// rand_s: the C runtime's door to the system's generator (RtlGenRandom), which never waits.
#define _CRT_RAND_S
#include <stdlib.h>

#include "platform/system_random.h"

namespace ryn {

bool SystemRandom(uint32_t& value) {
  unsigned int random = 0;
  if (rand_s(&random) != 0) return false;
  value = random;
  return true;
}

}  // namespace ryn
