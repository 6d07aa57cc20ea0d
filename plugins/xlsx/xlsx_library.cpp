// Start-up of librynfiler_xlsx.so: the library contributes one source engine, the Excel
// workbook engine.
#include "boundary/registration.h"
#include "xlsx/xlsx_engine.h"

namespace ryn {
namespace {

IntfPtr<ITransEngine> CreateXlsxSource() { return MakeIntf<TXlsxSource>(); }

void Start(LibraryRegistration& r) {
  r.sourceFactory = &CreateXlsxSource;
  r.name = XlsxEngineName();
  r.description = XlsxEngineDescription();
  r.engineTypes = kDirectionSource;
}

const LibraryStartup kStartup(&Start);

}  // namespace
}  // namespace ryn
