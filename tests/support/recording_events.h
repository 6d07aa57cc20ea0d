// An event sink that records what it is told.
#pragma once

#include <string>
#include <vector>

#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn::testing {

class RecordingEvents : public TInterfacedObject, public virtual ITransEvents {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransEvents>(this, iid, obj); }
  void OnMessage(int32_t kind, std::string_view text) override { messages.emplace_back(kind, std::string(text)); }
  void OnStatus(std::string_view caption, std::string_view text) override {
    statuses.emplace_back(std::string(caption), std::string(text));
  }
  void OnProgress(uint8_t kind, int32_t value, bool& cont) override {
    progress.emplace_back(kind, value);
    if (kind == kProgressStart ? stopAtStart : kind == kProgressStep && stopAt >= 0 && value >= stopAt) cont = false;
  }

  std::vector<std::pair<int32_t, std::string>> messages;
  std::vector<std::pair<std::string, std::string>> statuses;
  std::vector<std::pair<int, int32_t>> progress;
  int32_t stopAt = -1;      // asks to stop at this position or later
  bool stopAtStart = false;  // asks to stop when the total is announced
};

}  // namespace ryn::testing
