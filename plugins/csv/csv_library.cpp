// Start-up of librynfiler_csv.so: the library contributes one source engine, the CSV
// file engine.
#include "boundary/registration.h"
#include "csv/csv_engine.h"

namespace ryn {
namespace {

IntfPtr<ITransEngine> CreateCsvSource() { return MakeIntf<TCsvSource>(); }

void Start(LibraryRegistration& r) {
  r.sourceFactory = &CreateCsvSource;
  r.name = CsvEngineName();
  r.description = CsvEngineDescription();
  r.engineTypes = kDirectionSource;
}

const LibraryStartup kStartup(&Start);

}  // namespace
}  // namespace ryn
