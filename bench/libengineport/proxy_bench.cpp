// Reading records of ten fields (integers, doubles, text) from an engine library through
// the proxies, against calling the library's exported functions directly.
#include <benchmark/benchmark.h>

#include <string>

#include "libengineport/lib_factory.h"
#include "libengineport/lib_api.h"
#include "platform/dynlib.h"

namespace {

constexpr int kRows = 1000000;
// Column indexes of the in-memory table: byte, word, smallint, integer, int64, bool,
// single, double, text, untyped.
constexpr int32_t kColumns[] = {0, 1, 4, 5, 6, 7, 8, 9, 15, 18};

ryn::IntfPtr<ryn::TLibITransEngineFactory> Factory() {
  static ryn::IntfPtr<ryn::TLibITransEngineFactory> factory = [] {
    auto f = ryn::MakeIntf<ryn::TLibITransEngineFactory>();
    f->Load(MEMSOURCE_LIBRARY);
    return f;
  }();
  return factory;
}

void BM_Proxies(benchmark::State& state) {
  for (auto _ : state) {
    ryn::IntfPtr<ryn::ITransEngine> engine = Factory()->CreateEngine();
    engine->Init(1);
    engine->SetOptions("rows=" + std::to_string(kRows));
    auto port = engine->GetPort().Query<ryn::IImport>();
    double sum = 0;
    size_t chars = 0;
    for (port->MoveFirst(); !port->IsEof(); port->MoveNext()) {
      for (int32_t c : kColumns) {
        auto f = port->GetField(c).Query<ryn::IFieldReader>();
        switch (f->GetDataType()) {
          case 17: sum += f->GetAsSingle(); break;
          case 18: sum += f->GetAsDouble(); break;
          case 7: sum += static_cast<double>(f->GetAsInt64()); break;
          case 0:
          case 65: chars += f->GetAsString().size(); break;
          default: sum += f->GetAsInteger(); break;
        }
      }
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(chars);
    engine->Fina();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

// The floor: the exported functions called straight, accessors fetched once.
void BM_Direct(benchmark::State& state) {
  using namespace ryn::lib;
  ryn::LibHandle lib = Factory()->Library();
  EngineInitFn init;
  EngineFinaFn fina;
  EngineSetOptionsFn setOptions;
  HandleProcFn moveFirst, moveNext;
  HandleQueryFn isEof;
  FieldGetTypeFn getType;
  FieldGetProcFn getProc;
  Lookup(lib, "EngineInit", init);
  Lookup(lib, "EngineFina", fina);
  Lookup(lib, "EngineSetOptions", setOptions);
  Lookup(lib, "MoveFirst", moveFirst);
  Lookup(lib, "MoveNext", moveNext);
  Lookup(lib, "IsEof", isEof);
  Lookup(lib, "FieldGetType", getType);
  Lookup(lib, "FieldGetProc", getProc);
  for (auto _ : state) {
    RynHandle h = 0;
    init(1, &h);
    setOptions(h, ("rows=" + std::to_string(kRows)).c_str());
    int32_t types[10];
    void* procs[10];
    for (int i = 0; i < 10; ++i) {
      types[i] = getType(h, kColumns[i]);
      procs[i] = getProc(1, types[i] == 0 ? 65 : types[i]);
    }
    double sum = 0;
    size_t chars = 0;
    char buffer[512];
    for (moveFirst(h); !isEof(h); moveNext(h)) {
      for (int i = 0; i < 10; ++i) {
        int32_t c = kColumns[i];
        switch (types[i]) {
          case 17: sum += reinterpret_cast<RynGetSingle>(procs[i])(h, c); break;
          case 18: sum += reinterpret_cast<RynGetDouble>(procs[i])(h, c); break;
          case 7: sum += static_cast<double>(reinterpret_cast<RynGetInt64>(procs[i])(h, c)); break;
          case 0:
          case 65: {
            int32_t len = sizeof buffer;
            if (reinterpret_cast<RynGetText>(procs[i])(h, c, buffer, &len)) chars += static_cast<size_t>(len);
            break;
          }
          default: sum += reinterpret_cast<RynGetOrdinal>(procs[i])(h, c); break;
        }
      }
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(chars);
    fina(h);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Proxies)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
