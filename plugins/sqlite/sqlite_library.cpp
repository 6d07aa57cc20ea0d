// Start-up of librynfiler_sqlite.so: the library contributes one source engine, the
// SQLite database engine.
#include "boundary/registration.h"
#include "sqlite/sqlite_engine.h"

namespace ryn {
namespace {

IntfPtr<ITransEngine> CreateSqliteSource() { return MakeIntf<TSqliteSource>(); }

void Start(LibraryRegistration& r) {
  r.sourceFactory = &CreateSqliteSource;
  r.name = SqliteEngineName();
  r.description = SqliteEngineDescription();
  r.engineTypes = kDirectionSource;
}

const LibraryStartup kStartup(&Start);

}  // namespace
}  // namespace ryn
