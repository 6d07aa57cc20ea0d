#include "platform/system_random.h"

#include <sys/random.h>

namespace ryn {

bool SystemRandom(uint32_t& value) {
  uint32_t random = 0;
  if (getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) return false;
  value = random;
  return true;
}

}  // namespace ryn
