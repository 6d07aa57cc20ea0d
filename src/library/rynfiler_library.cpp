// Start-up of librynfiler.so: the library contributes one destination engine, the
// exchange file engine.
#include "boundary/handle_list.h"
#include "boundary/registration.h"
#include "expr/common_functions.h"
#include "platform/codepage.h"
#include "rynengine/rynexport.h"
#include "rynforms/write_conf.h"
#include "transport/registries.h"

namespace ryn {
namespace {

IntfPtr<ITransEngine> CreateRynExport() { return MakeIntf<TRynExport>(); }

void Start(LibraryRegistration& r) {
  InstallRynConfigWizard();
  r.destinationFactory = &CreateRynExport;
  r.name = RynEngineName();
  r.description = RynEngineDescription();
  r.engineTypes = kDirectionDestination;
}

const LibraryStartup kStartup(&Start);
// Every parser of the library finds the common functions in the global listener list.
const TCommonFunctionsRegistration kCommonFunctions;

}  // namespace
}  // namespace ryn
