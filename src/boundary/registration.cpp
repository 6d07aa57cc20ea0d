#include "boundary/registration.h"

namespace ryn {

LibraryRegistration& Registration() {
  static LibraryRegistration registration;
  return registration;
}

}  // namespace ryn
