#include "boundary/event_adapter.h"

#include <string>

namespace ryn {

void TLibTransLogAdapter::OnMessage(int32_t kind, std::string_view text) {
  if (messageProc) messageProc(user, kind, std::string(text).c_str());
}

void TLibTransLogAdapter::OnStatus(std::string_view caption, std::string_view text) {
  if (statusProc) statusProc(user, std::string(caption).c_str(), std::string(text).c_str());
}

}  // namespace ryn
