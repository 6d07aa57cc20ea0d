// The per-record cost of a host writing through the exported functions (Append, ten text
// setters, Post) against the same records through the engine's own interfaces (its port
// and uncounted field table), with a few and with ten thousand other live handles.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "rynengine/rynexport.h"
#include "rynfiler.h"

namespace {

constexpr int kColumns = 10;
constexpr int kRecords = 200000;
const char* kValues[] = {"alpha", "beta12", "gamma 3", "delta", "epsilon", "zeta77", "eta", "theta0", "iota", "kappa"};

std::string Columns() {
  std::string c;
  for (int i = 0; i < kColumns; ++i) c += "H" + std::to_string(i) + "=f" + std::to_string(i) + "\r\n";
  return c;
}

std::string Options(const char* file) {
  using ryn::Ansi;
  return Ansi("单位标识") + "=0001;\r\n" + Ansi("年度") + "=2023;\r\n" + Ansi("报表类型") + "=Y;\r\n" + Ansi("时期") +
         "=12;\r\n" + Ansi("文件名") + "=" + file + ";\r\n" + Ansi("数据类型") + "=0;\r\n" + Ansi("选择列") + "={\r\n\t" +
         Columns() + "}";
}

void BM_Interfaces(benchmark::State& state) {
  for (auto _ : state) {
    ryn::IntfPtr<ryn::TRynExport> engine = ryn::MakeIntf<ryn::TRynExport>();
    engine->SetOptions(Options("/tmp/rynfiler-bench-intf.ryn"));
    ryn::IntfPtr<ryn::IExport> port = engine->GetPort().Query<ryn::IExport>();
    ryn::IntfPtr<ryn::IFieldTable> table = engine->GetPort().Query<ryn::IFieldTable>();
    for (int r = 0; r < kRecords; ++r) {
      port->Append();
      for (int c = 0; c < kColumns; ++c) table->WriterAt(c)->SetAsString(kValues[c]);
      port->Post();
    }
    engine->Fina();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_Exports(benchmark::State& state) {
  // Other live handles, as a host with several (or very many) engines open would have.
  std::vector<RynHandle> others(static_cast<size_t>(state.range(0)));
  for (auto& h : others) EngineInit(RYN_DESTINATION, &h);
  auto setText = reinterpret_cast<RynSetText>(FieldGetProc(RYN_DESTINATION, RYN_FT_STRING));
  std::vector<int32_t> lengths;
  for (const char* v : kValues) lengths.push_back(static_cast<int32_t>(std::char_traits<char>::length(v)));
  for (auto _ : state) {
    RynHandle h = 0;
    EngineInit(RYN_DESTINATION, &h);
    EngineSetOptions(h, Options("/tmp/rynfiler-bench-exports.ryn").c_str());
    for (int r = 0; r < kRecords; ++r) {
      Append(h);
      for (int c = 0; c < kColumns; ++c) setText(h, c, kValues[c], lengths[static_cast<size_t>(c)]);
      Post(h);
    }
    EngineFina(h);
  }
  for (auto h : others) EngineFina(h);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(BM_Interfaces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Exports)->Arg(5)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
