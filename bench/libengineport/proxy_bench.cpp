// Reading records of ten fields (integers, doubles, text) from an engine library through
// the proxies, against calling the library's exported functions directly. Both report
// the heap allocations per record after the first record (the library's included), and
// the run ends with the proxies' CPU time as a multiple of the direct calls'.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "libengineport/lib_api.h"
#include "libengineport/lib_factory.h"
#include "platform/dynlib.h"

namespace {

uint64_t allocations = 0;

}  // namespace

// Out of line, so that the compiler does not pair a new expression with the free inside
// the replacement delete. The engine library's allocations land here too.
[[gnu::noinline]] void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

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

// Reads every record with read(), counting the allocations after the first record.
template <class MoveFirst, class MoveNext, class IsEof, class Read>
double ReadAll(MoveFirst moveFirst, MoveNext moveNext, IsEof isEof, Read read) {
  moveFirst();
  if (isEof()) return 0;
  read();
  moveNext();
  const uint64_t before = allocations;
  int64_t records = 0;
  for (; !isEof(); moveNext(), ++records) read();
  return records > 0 ? static_cast<double>(allocations - before) / static_cast<double>(records) : 0;
}

void BM_Proxies(benchmark::State& state) {
  double allocsPerRecord = 0;
  for (auto _ : state) {
    ryn::IntfPtr<ryn::ITransEngine> engine = Factory()->CreateEngine();
    engine->Init(1);
    engine->SetOptions("rows=" + std::to_string(kRows));
    auto port = engine->GetPort().Query<ryn::IImport>();
    double sum = 0;
    size_t chars = 0;
    allocsPerRecord = ReadAll([&] { port->MoveFirst(); }, [&] { port->MoveNext(); }, [&] { return port->IsEof(); },
                              [&] {
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
                              });
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(chars);
    engine->Fina();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["allocs/record"] = allocsPerRecord;
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
  double allocsPerRecord = 0;
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
    allocsPerRecord = ReadAll([&] { moveFirst(h); }, [&] { moveNext(h); }, [&] { return isEof(h) != 0; }, [&] {
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
    });
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(chars);
    fina(h);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["allocs/record"] = allocsPerRecord;
}

BENCHMARK(BM_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Proxies)->Unit(benchmark::kMillisecond);

// The console report, then the proxies' CPU time over the direct calls' (minimum and
// median of the repetitions), the figure to read: both lines come from the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        cpu_[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto direct = cpu_.find("BM_Direct"), proxies = cpu_.find("BM_Proxies");
    if (direct == cpu_.end() || proxies == cpu_.end()) return;
    std::printf("proxies / direct CPU time: min %.3f, median %.3f\n", Min(proxies->second) / Min(direct->second),
                Median(proxies->second) / Median(direct->second));
  }

 private:
  static double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
  static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
  }
  std::map<std::string, std::vector<double>> cpu_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
