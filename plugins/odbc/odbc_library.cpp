// Start-up of librynfiler_odbc.so: the library contributes one source engine, the ODBC
// data source engine.
#include "boundary/registration.h"
#include "odbc/odbc_engine.h"

namespace ryn {
namespace {

IntfPtr<ITransEngine> CreateOdbcSource() { return MakeIntf<TOdbcSource>(); }

void Start(LibraryRegistration& r) {
  r.sourceFactory = &CreateOdbcSource;
  r.name = OdbcEngineName();
  r.description = OdbcEngineDescription();
  r.engineTypes = kDirectionSource;
}

const LibraryStartup kStartup(&Start);

}  // namespace
}  // namespace ryn
