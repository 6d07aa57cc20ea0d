// A CSV file of 1,000,000 records and 10 columns (one of them Chinese text in UTF-8, so
// every record is converted to the process code page) read by a host through the CSV
// library's exported functions: counting the records, reading every value, and reading
// into an exchange file through librynfiler.so's exported functions, value by value, as
// a transfer with ten plain mappings does. The floor splits the same file with memchr and
// writes the same lines by hand.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "rynfiler.h"

namespace {

constexpr int kColumns = 10;
constexpr int kRecords = 1000000;
const char* kCsvPath = "/tmp/rynfiler-bench-source-1m.csv";
const char* kOutPath = "/tmp/rynfiler-bench-source.ryn";

void MakeCsv() {
  static bool made = false;
  if (made) return;
  made = true;
  // Kept between runs: writing it takes longer than reading it.
  if (std::ifstream(kCsvPath).good()) return;
  std::ofstream out(kCsvPath, std::ios::binary | std::ios::trunc);
  std::string line = "code,名称,c2,c3,c4,c5,c6,c7,c8,c9\n";
  out << line;
  char buf[256];
  for (int r = 0; r < kRecords; ++r) {
    int n = std::snprintf(buf, sizeof buf, "%06d,单位%d,%d,%d.%02d,%d,%d.5,%d,%d,%d.25,%d\n", r, r % 1000, r * 7 % 100000,
                          r % 9999, r % 100, r % 777, r % 12345, r % 31, r * 3 % 1000003, r % 5000, r % 17);
    out.write(buf, n);
  }
}

struct Lib {
  explicit Lib(const char* path) : h(dlopen(path, RTLD_NOW)) {}
  ~Lib() { dlclose(h); }
  template <class Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(h, name));
  }
  void* h;
};

std::string ExportOptions() {
  using ryn::Ansi;
  std::string columns;
  for (int i = 0; i < kColumns; ++i) columns += "H" + std::to_string(i) + "=f" + std::to_string(i) + "\r\n";
  return Ansi("单位标识") + "=0001;\r\n" + Ansi("年度") + "=2023;\r\n" + Ansi("报表类型") + "=Y;\r\n" + Ansi("时期") +
         "=12;\r\n" + Ansi("文件名") + "=" + kOutPath + ";\r\n" + Ansi("数据类型") + "=0;\r\n" + Ansi("选择列") +
         "={\r\n\t" + columns + "}";
}

std::string SourceOptions() { return ryn::Ansi("文件名") + "=" + kCsvPath; }

void BM_DataCount(benchmark::State& state) {
  MakeCsv();
  Lib csv(CSV_LIBRARY);
  for (auto _ : state) {
    RynHandle h = 0;
    csv.Get<int32_t (*)(int32_t, RynHandle*)>("EngineInit")(1, &h);
    csv.Get<int32_t (*)(RynHandle, const char*)>("EngineSetOptions")(h, SourceOptions().c_str());
    int32_t n = csv.Get<int32_t (*)(RynHandle)>("DataCount")(h);
    if (n != kRecords) state.SkipWithError("wrong count");
    csv.Get<void (*)(RynHandle)>("EngineFina")(h);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_ReadValues(benchmark::State& state) {
  MakeCsv();
  Lib csv(CSV_LIBRARY);
  auto text = reinterpret_cast<RynGetText>(csv.Get<void* (*)(int32_t, int32_t)>("FieldGetProc")(1, 65));
  auto isEof = csv.Get<int32_t (*)(RynHandle)>("IsEof");
  auto moveNext = csv.Get<void (*)(RynHandle)>("MoveNext");
  for (auto _ : state) {
    RynHandle h = 0;
    csv.Get<int32_t (*)(int32_t, RynHandle*)>("EngineInit")(1, &h);
    csv.Get<int32_t (*)(RynHandle, const char*)>("EngineSetOptions")(h, SourceOptions().c_str());
    char buf[256];
    int64_t bytes = 0;
    for (csv.Get<void (*)(RynHandle)>("MoveFirst")(h); isEof(h) == 0; moveNext(h)) {
      for (int c = 0; c < kColumns; ++c) {
        int32_t len = sizeof buf;
        text(h, c, buf, &len);
        bytes += len;
      }
    }
    benchmark::DoNotOptimize(bytes);
    csv.Get<void (*)(RynHandle)>("EngineFina")(h);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_CsvToExchangeFile(benchmark::State& state) {
  MakeCsv();
  Lib csv(CSV_LIBRARY);
  Lib ryn(RYNFILER_LIBRARY);
  auto text = reinterpret_cast<RynGetText>(csv.Get<void* (*)(int32_t, int32_t)>("FieldGetProc")(1, 65));
  auto set = reinterpret_cast<RynSetText>(ryn.Get<void* (*)(int32_t, int32_t)>("FieldGetProc")(2, 65));
  auto isEof = csv.Get<int32_t (*)(RynHandle)>("IsEof");
  auto moveNext = csv.Get<void (*)(RynHandle)>("MoveNext");
  auto append = ryn.Get<void (*)(RynHandle)>("Append");
  auto post = ryn.Get<void (*)(RynHandle)>("Post");
  for (auto _ : state) {
    RynHandle src = 0, dst = 0;
    csv.Get<int32_t (*)(int32_t, RynHandle*)>("EngineInit")(1, &src);
    csv.Get<int32_t (*)(RynHandle, const char*)>("EngineSetOptions")(src, SourceOptions().c_str());
    ryn.Get<int32_t (*)(int32_t, RynHandle*)>("EngineInit")(2, &dst);
    ryn.Get<int32_t (*)(RynHandle, const char*)>("EngineSetOptions")(dst, ExportOptions().c_str());
    // A transfer announces the total first.
    benchmark::DoNotOptimize(csv.Get<int32_t (*)(RynHandle)>("DataCount")(src));
    char buf[256];
    for (csv.Get<void (*)(RynHandle)>("MoveFirst")(src); isEof(src) == 0; moveNext(src)) {
      append(dst);
      for (int c = 0; c < kColumns; ++c) {
        int32_t len = sizeof buf;
        if (text(src, c, buf, &len)) set(dst, c, buf, len);
      }
      post(dst);
    }
    csv.Get<void (*)(RynHandle)>("EngineFina")(src);
    ryn.Get<void (*)(RynHandle)>("EngineFina")(dst);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// The same lines written by hand from a memchr split of the same (quote-free) file.
void BM_Floor(benchmark::State& state) {
  MakeCsv();
  for (auto _ : state) {
    FILE* in = std::fopen(kCsvPath, "rb");
    FILE* out = std::fopen(kOutPath, "wb");
    std::vector<char> buf(1 << 20);
    std::string pending, line;
    size_t n;
    bool heading = true;
    while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) {
      pending.append(buf.data(), n);
      size_t start = 0;
      for (const char* nl; (nl = static_cast<const char*>(std::memchr(pending.data() + start, '\n', pending.size() - start)));) {
        size_t end = static_cast<size_t>(nl - pending.data());
        if (!heading) {
          line.assign("0001\t2023\tY\t12");
          for (size_t p = start; p < end;) {
            const char* comma = static_cast<const char*>(std::memchr(pending.data() + p, ',', end - p));
            size_t e = comma ? static_cast<size_t>(comma - pending.data()) : end;
            line += '\t';
            line.append(pending.data() + p, e - p);
            p = e + 1;
          }
          line += "\r\n";
          std::fwrite(line.data(), 1, line.size(), out);
        }
        heading = false;
        start = end + 1;
      }
      pending.erase(0, start);
    }
    std::fclose(in);
    std::fclose(out);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(BM_DataCount)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_ReadValues)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_CsvToExchangeFile)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->MinTime(1);

}  // namespace

BENCHMARK_MAIN();
