// A transfer as `ryn transfer` runs it: 1,000,000 records of ten fields read from the
// in-memory source library, mapped by ten lines Export(i)=Import(i) and a filter, and
// written into an exchange file by the exchange file library, both libraries driven
// through their exported functions. The floor is a hand-written loop doing the same reads,
// conversions and writes through the same proxies without the script host, so the
// difference of the two is the script host's share. The two files must be equal.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "expr/common_functions.h"
#include "expr/named_host.h"
#include "libengineport/lib_factory.h"
#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/locale_settings.h"
#include "transfer/trans_frame.h"

namespace {

using namespace ryn;

constexpr int kRows = 1000000;
constexpr int kFields = 10;

const TCommonFunctionsRegistration kCommonFunctions;

IntfPtr<TLibITransEngineFactory> Factory(const char* path) {
  auto f = MakeIntf<TLibITransEngineFactory>();
  if (!f->Load(path)) {
    std::fprintf(stderr, "cannot load %s\n", path);
    std::exit(1);
  }
  return f;
}

IntfPtr<TLibITransEngineFactory> SourceFactory() {
  static auto f = Factory(MEMSOURCE_LIBRARY);
  return f;
}

IntfPtr<TLibITransEngineFactory> DestFactory() {
  static auto f = Factory(RYNFILER_LIBRARY);
  return f;
}

std::string OutputPath(const char* name) {
  return (std::filesystem::temp_directory_path() / "rynfiler-transfer-bench" / name).string();
}

// The source opened with kRows rows, the exchange file engine writing ten columns to file.
void OpenEngines(const std::string& file, IntfPtr<ITransEngine>& source, IntfPtr<ITransEngine>& dest) {
  source = SourceFactory()->CreateEngine();
  source->Init(1);
  source->SetOptions("rows=" + std::to_string(kRows));
  dest = DestFactory()->CreateEngine();
  dest->Init(2);
  std::string columns;
  for (int i = 0; i < kFields; ++i) columns += "c" + std::to_string(i) + "=f" + std::to_string(i) + "\r\n";
  std::string options = Ansi("文件名") + "=" + FromUtf8(file) + ";\r\n" + Ansi("数据类型") + "=0;\r\n" + Ansi("选择列") +
                        "={\r\n\t" + columns + "}";
  if (dest->SetOptions(options) != 0) {
    std::fprintf(stderr, "the exchange file engine refused its options\n");
    std::exit(1);
  }
}

// checkOnly: the dry run of `ryn transfer`: every record read, filtered and mapped, nothing
// written.
void RunScriptHost(benchmark::State& state, bool checkOnly) {
  std::string script = "Filter=Import(5)<>0\r\n";
  for (int i = 0; i < kFields; ++i) script += "Export(" + std::to_string(i) + ")=Import(" + std::to_string(i) + ")\r\n";
  for (auto _ : state) {
    IntfPtr<ITransEngine> source, dest;
    OpenEngines(OutputPath("host.ryn"), source, dest);
    TTransFrame frame;
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(dest.get(), true);
    IntfPtr<ITransScriptHost> host = frame.GetScriptHost();
    host->SetScript(script);
    if (auto* named = dynamic_cast<TNamedHost*>(ImplementorOf(host.get()))) {
      TRunPolicy policy;
      policy.checkOnly = checkOnly;
      named->SetRunPolicy(policy);
    }
    if (!host->Compile()) state.SkipWithError("the script does not compile");
    host->Execute();
    // The frame abandons what a run wrote unless told to keep it.
    frame.KeepOutput(!checkOnly);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ScriptHost(benchmark::State& state) { RunScriptHost(state, false); }
void BM_ScriptHostDryRun(benchmark::State& state) { RunScriptHost(state, true); }

// What the host's value conversion gives a text field for the source types of the table.
std::string Text(IFieldReader& f) {
  switch (f.GetDataType()) {
    case 1: return std::to_string(f.GetAsByte());
    case 2: return std::to_string(f.GetAsWord());
    case 3: return std::to_string(f.GetAsLongWord());
    case 4: return std::to_string(f.GetAsShortInt());
    case 5: return std::to_string(f.GetAsSmallInt());
    case 6: return std::to_string(f.GetAsInteger());
    case 7: return std::to_string(f.GetAsInt64());
    case 8: {
      // Into text a value goes as its source writes it; a boolean without a text is 1 or 0.
      std::string text = f.GetAsString();
      return !text.empty() ? text : f.GetAsBoolean() ? "1" : "0";
    }
    case 17: return FormatGeneral(static_cast<double>(f.GetAsSingle()), LocaleSettings().decimalSeparator);
    case 18: return FormatGeneral(f.GetAsDouble(), LocaleSettings().decimalSeparator);
    default: return f.GetAsString();
  }
}

void BM_HandWritten(benchmark::State& state) {
  for (auto _ : state) {
    IntfPtr<ITransEngine> source, dest;
    OpenEngines(OutputPath("hand.ryn"), source, dest);
    auto in = source->GetPort().Query<IImport>();
    auto out = dest->GetPort().Query<IExport>();
    // The ports' uncounted field tables, as the script host uses them.
    auto inFields = in.Query<IFieldTable>();
    auto outFields = out.Query<IFieldTable>();
    for (in->MoveFirst(); !in->IsEof(); in->MoveNext()) {
      if (inFields->ReaderAt(5)->GetAsInteger() == 0) continue;
      out->Append();
      for (int i = 0; i < kFields; ++i) outFields->WriterAt(i)->SetAsString(Text(*inFields->ReaderAt(i)));
      out->Post();
    }
    dest->Fina();
    source->Fina();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_ScriptHost)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ScriptHostDryRun)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_HandWritten)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::create_directories(OutputPath(""));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const std::string host = Contents(OutputPath("host.ryn"));
  const std::string hand = Contents(OutputPath("hand.ryn"));
  std::printf("files: %zu bytes, %s\n", host.size(), host == hand ? "equal" : "DIFFERENT");
  if (host != hand) {
    // Where they part, with the lines around it, so that a difference can be read.
    size_t at = 0;
    while (at < host.size() && at < hand.size() && host[at] == hand[at]) ++at;
    const size_t from = at < 120 ? 0 : at - 120;
    std::printf("first difference at byte %zu (hand-written file: %zu bytes)\nhost: %s\nhand: %s\n", at, hand.size(),
                host.substr(from, 240).c_str(), hand.substr(from, 240).c_str());
  }
  std::filesystem::remove_all(OutputPath(""));
  return host == hand ? 0 : 1;
}
