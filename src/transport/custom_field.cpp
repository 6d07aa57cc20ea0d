#include "transport/custom_field.h"

#include "platform/codepage.h"

namespace ryn {

std::string TCustomTransField::GetName() {
  if (!name_.empty()) return name_;
  return Ansi("列(") + std::to_string(GetIndex()) + ")";
}

}  // namespace ryn
