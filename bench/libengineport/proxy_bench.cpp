// Reading records of ten fields (integers, doubles, text) from an engine library through
// the proxies, against calling the library's exported functions directly; and the whole
// path from that library into an exchange file written by librynfiler.so. Both report
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
#include "platform/codepage.h"
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

// kHeld: the field interfaces are kept for the run (as a transfer keeps them), otherwise
// looked up and queried for every value.
template <bool kHeld>
void BM_Proxies(benchmark::State& state) {
  double allocsPerRecord = 0;
  for (auto _ : state) {
    ryn::IntfPtr<ryn::ITransEngine> engine = Factory()->CreateEngine();
    engine->Init(1);
    engine->SetOptions("rows=" + std::to_string(kRows));
    auto port = engine->GetPort().Query<ryn::IImport>();
    std::vector<ryn::IntfPtr<ryn::IFieldReader>> held;
    if (kHeld)
      for (int32_t c : kColumns) held.push_back(port->GetField(c).Query<ryn::IFieldReader>());
    double sum = 0;
    size_t chars = 0;
    allocsPerRecord = ReadAll([&] { port->MoveFirst(); }, [&] { port->MoveNext(); }, [&] { return port->IsEof(); },
                              [&] {
                                for (size_t i = 0; i < std::size(kColumns); ++i) {
                                  ryn::IntfPtr<ryn::IFieldReader> looked;
                                  if (!kHeld) looked = port->GetField(kColumns[i]).Query<ryn::IFieldReader>();
                                  ryn::IFieldReader* f = kHeld ? held[i].get() : looked.get();
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
    held.clear();
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

// The whole path of a transfer without mapping: records read from the in-memory library
// through the proxies and written through the proxies into the exchange file engine of
// librynfiler.so, as text, the field interfaces of both ports kept for the run.
void BM_WholePath(benchmark::State& state) {
  static ryn::IntfPtr<ryn::TLibITransEngineFactory> destination = [] {
    auto f = ryn::MakeIntf<ryn::TLibITransEngineFactory>();
    f->Load(RYNFILER_LIBRARY);
    return f;
  }();
  std::string options = ryn::Ansi("文件名") + "=/tmp/rynfiler-bench-whole.ryn;" + ryn::Ansi("数据类型") + "=0;" +
                        ryn::Ansi("选择列") + "={";
  for (int i = 0; i < 10; ++i) options += (i ? "\r\nC" : "C") + std::to_string(i) + "=f" + std::to_string(i);
  options += "}";
  double allocsPerRecord = 0;
  for (auto _ : state) {
    ryn::IntfPtr<ryn::ITransEngine> source = Factory()->CreateEngine();
    source->Init(1);
    source->SetOptions("rows=" + std::to_string(kRows));
    ryn::IntfPtr<ryn::ITransEngine> target = destination->CreateEngine();
    target->Init(2);
    if (target->SetOptions(options) != 0) state.SkipWithError("the exchange file did not open");
    auto in = source->GetPort().Query<ryn::IImport>();
    auto out = target->GetPort().Query<ryn::IExport>();
    std::vector<ryn::IntfPtr<ryn::IFieldReader>> readers;
    std::vector<ryn::IntfPtr<ryn::IFieldWriter>> writers;
    for (int i = 0; i < 10; ++i) {
      readers.push_back(in->GetField(kColumns[i]).Query<ryn::IFieldReader>());
      writers.push_back(out->GetField(i).Query<ryn::IFieldWriter>());
    }
    allocsPerRecord = ReadAll([&] { in->MoveFirst(); }, [&] { in->MoveNext(); }, [&] { return in->IsEof(); }, [&] {
      out->Append();
      for (int i = 0; i < 10; ++i) writers[static_cast<size_t>(i)]->SetAsString(readers[static_cast<size_t>(i)]->GetAsString());
      out->Post();
    });
    readers.clear();
    writers.clear();
    target->Fina();
    source->Fina();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["allocs/record"] = allocsPerRecord;
}

BENCHMARK(BM_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Proxies<false>)->Name("BM_Proxies")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Proxies<true>)->Name("BM_ProxiesHeld")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholePath)->Unit(benchmark::kMillisecond);

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
    auto direct = cpu_.find("BM_Direct");
    if (direct == cpu_.end()) return;
    for (const char* name : {"BM_Proxies", "BM_ProxiesHeld"}) {
      auto proxies = cpu_.find(name);
      if (proxies == cpu_.end()) continue;
      std::printf("%s / direct CPU time: min %.3f, median %.3f\n", name, Min(proxies->second) / Min(direct->second),
                  Median(proxies->second) / Median(direct->second));
    }
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
