// Reading a large tab-separated text of short unquoted values with TAFTextReader, against
// a plain memchr line/field splitter over the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/stream.h"
#include "textloader/text_reader.h"

namespace {

const std::string& Data() {
  static const std::string data = [] {
    std::string s;
    s.reserve(100u << 20);
    std::mt19937 rng(1);
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    while (s.size() < (100u << 20)) {
      if (!s.empty()) {
        s.push_back('\r');
        s.push_back('\n');
      }
      for (int f = 0; f < 10; ++f) {
        if (f) s.push_back('\t');
        int len = 6 + static_cast<int>(rng() % 5);
        for (int i = 0; i < len; ++i) s.push_back(alphabet[rng() % 36]);
      }
    }
    return s;
  }();
  return data;
}

void BM_TextReader(benchmark::State& state) {
  const std::string& data = Data();
  ryn::TMemoryStream stream(data);
  for (auto _ : state) {
    ryn::TAFTextReader reader;
    reader.SetDelimiter("\t");
    reader.SetStream(&stream);
    size_t total = 0, lines = 0;
    while (!reader.Eof()) {
      for (int i = 0; i < reader.ValueCount(); ++i) total += reader.GetValue(i).size();
      ++lines;
      reader.Next();
    }
    benchmark::DoNotOptimize(total);
    state.counters["lines"] = static_cast<double>(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

// The floor: lines at "\r\n" found with memchr, fields at tabs, no quotes, no copies.
void BM_MemchrSplitter(benchmark::State& state) {
  const std::string& data = Data();
  for (auto _ : state) {
    const char* p = data.data();
    const char* end = p + data.size();
    size_t total = 0, lines = 0;
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      const char* lineEnd = nl ? nl : end;
      const char* e = (lineEnd > p && lineEnd[-1] == '\r' && nl) ? lineEnd - 1 : lineEnd;
      const char* f = p;
      while (f <= e) {
        const char* tab = static_cast<const char*>(std::memchr(f, '\t', static_cast<size_t>(e - f)));
        const char* fe = tab ? tab : e;
        total += static_cast<size_t>(fe - f);
        if (!tab) break;
        f = tab + 1;
      }
      ++lines;
      p = nl ? nl + 1 : end;
    }
    benchmark::DoNotOptimize(total);
    state.counters["lines"] = static_cast<double>(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

BENCHMARK(BM_MemchrSplitter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextReader)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
