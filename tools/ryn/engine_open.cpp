#include "engine_open.h"

#include <cstdio>

#include "platform/codepage.h"
#include "transport/registries.h"

namespace ryn::tool {

IntfPtr<ITransEngine> OpenEngine(std::string_view nameUtf8, int32_t direction, const OsPath& folder,
                                 ITransEvents* events, const std::optional<std::string>& options) {
  const std::string name(nameUtf8);
  IntfPtr<ITransEngineFactory> factory = GetTransEngineFactories().FindByName(FromUtf8(nameUtf8));
  if (!factory) throw Failure{"no engine named " + name + " in " + folder.bytes};
  const int32_t types = factory->GetEngineTypes();
  if (direction == 0) direction = (types & kDirectionSource) ? kDirectionSource : kDirectionDestination;
  const char* role = direction == kDirectionSource ? "source" : "destination";
  if ((types & direction) == 0) throw Failure{"engine " + name + " cannot be a " + role};
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  if (engine && events) engine->SetEvents(events);
  if (!engine || !engine->Init(direction)) throw Failure{"engine " + name + " does not open as a " + role};
  if (options) {
    if (int32_t code = engine->SetOptions(*options)) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
      engine->Fina();
      throw Failure{"engine " + name + " refused its options (code " + hex + ")"};
    }
  }
  return engine;
}

}  // namespace ryn::tool
