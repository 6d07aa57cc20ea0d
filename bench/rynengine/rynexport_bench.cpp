// Writing records through the exchange file engine (Append, ten column values, Post)
// against a hand-written buffered writer of the same bytes. The columns are reached
// through the port's uncounted field table (the per-value path of transfers and of the
// exported setters), and for comparison through GetField + a query per value.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "rynengine/rynexport.h"

namespace {

constexpr int kColumns = 10;
constexpr int kRecords = 1000000;

// A pool of values of 6-10 bytes, one in twenty holding a space (so it needs quotes).
const std::vector<std::string>& Values() {
  static const std::vector<std::string> values = [] {
    std::vector<std::string> v;
    std::mt19937 rng(3);
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 4093; ++i) {
      std::string s;
      int len = 6 + static_cast<int>(rng() % 5);
      for (int k = 0; k < len; ++k) s.push_back(alphabet[rng() % 36]);
      if (i % 20 == 0) s[s.size() / 2] = ' ';
      v.push_back(s);
    }
    return v;
  }();
  return values;
}

const std::string& Value(int record, int column) {
  const auto& v = Values();
  return v[(static_cast<size_t>(record) * kColumns + static_cast<size_t>(column)) % v.size()];
}

std::string Path(const char* name) { return std::string("/tmp/rynfiler-bench-") + name + ".ryn"; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <bool kFieldTable>
void BM_RynExport(benchmark::State& state) {
  for (auto _ : state) {
    ryn::IntfPtr<ryn::TRynExport> engine = ryn::MakeIntf<ryn::TRynExport>();
    std::string columns;
    for (int c = 0; c < kColumns; ++c) columns += "H" + std::to_string(c) + "=f" + std::to_string(c) + "\r\n";
    engine->SetUnitCode("0001");
    engine->SetYear("2023");
    engine->SetReportType("Y");
    engine->SetPeriod("12");
    engine->SetDataType(1);
    engine->SetSelectedColumnsText(columns);
    std::remove(Path("engine").c_str());
    engine->SetFileName(Path("engine"));
    ryn::IExport* port = engine.get();
    ryn::IFieldTable* table = engine.get();
    for (int r = 0; r < kRecords; ++r) {
      port->Append();
      for (int c = 0; c < kColumns; ++c) {
        if constexpr (kFieldTable) {
          table->WriterAt(c)->SetAsString(Value(r, c));
        } else {
          ryn::IntfPtr<ryn::IFieldWriter> field = port->GetField(c).Query<ryn::IFieldWriter>();
          field->SetAsString(Value(r, c));
        }
      }
      port->Post();
    }
    engine->Fina();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// The floor: the same bytes, formatted by hand into a 64 KiB buffer.
void BM_HandWritten(benchmark::State& state) {
  for (auto _ : state) {
    std::FILE* f = std::fopen(Path("hand").c_str(), "wb");
    std::string buf;
    buf.reserve(1 << 16);
    auto flush = [&] {
      std::fwrite(buf.data(), 1, buf.size(), f);
      buf.clear();
    };
    auto put = [&](const std::string& v) {
      bool quote = v.find_first_of(" \t\"") != std::string::npos || v.find("\r\n") != std::string::npos;
      if (!quote) {
        buf += v;
        return;
      }
      buf += '"';
      for (char ch : v) {
        if (ch == '"') buf += "\"\"\"";
        else buf += ch;
      }
      buf += '"';
    };
    buf += "@\r\n";
    for (int c = 0; c < kColumns; ++c) {
      if (c) buf += '\t';
      buf += "H" + std::to_string(c);
    }
    for (int r = 0; r < kRecords; ++r) {
      buf += "\r\n0001\t2023\tY\t12";
      for (int c = 0; c < kColumns; ++c) {
        buf += '\t';
        put(Value(r, c));
      }
      if (buf.size() > (1 << 16) - 256) flush();
    }
    buf += "\r\n@@";
    flush();
    std::fclose(f);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SameBytes(benchmark::State& state) {
  for (auto _ : state) {
    bool same = ReadFile(Path("engine")) == ReadFile(Path("hand"));
    state.counters["identical"] = same ? 1 : 0;
    if (!same) state.SkipWithError("the engine's file differs from the hand-written one");
  }
}

BENCHMARK(BM_HandWritten)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RynExport<true>)->Name("BM_RynExport/field_table")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RynExport<false>)->Name("BM_RynExport/get_field_query")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SameBytes)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
