// Wizards of this library list the engine copy they edit in the library's live-handle
// list while they are open, so that ConfigPort can hand the host a usable engine handle.
#include "boundary/handle_list.h"
#include "wizard/form_config_base.h"

namespace ryn {
namespace {

intptr_t ListEngine(ITransEngine* engine) { return HandleList().AddEngine(engine); }

// The wizard closes its engine copy itself; the handle only stops being valid.
void DelistEngine(intptr_t handle) { HandleList().Retire(handle, THandleList::Kind::kEngine, THandleList::End::kKeep); }

[[maybe_unused]] const bool kInstalled = [] {
  TCustomConfig::SetEngineListing(TEngineListing{&ListEngine, &DelistEngine});
  return true;
}();

}  // namespace
}  // namespace ryn
