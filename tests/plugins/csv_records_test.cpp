#include <csv.h>
#include <gtest/gtest.h>

#include <random>

#include "csv/csv_records.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::TempDir;
using Records = std::vector<std::vector<std::string>>;

int NoBlanks(unsigned char) { return 0; }

// libcsv with blanks kept: the reference for every rule the RFC leaves open.
Records ByLibcsv(const std::string& text, char delimiter) {
  struct Sink {
    Records records;
    std::vector<std::string> record;
  } sink;
  csv_parser p;
  csv_init(&p, 0);
  csv_set_delim(&p, static_cast<unsigned char>(delimiter));
  csv_set_space_func(&p, &NoBlanks);
  auto field = [](void* s, size_t len, void* data) {
    static_cast<Sink*>(data)->record.emplace_back(static_cast<const char*>(s), s ? len : 0);
  };
  auto record = [](int, void* data) {
    auto* sink = static_cast<Sink*>(data);
    sink->records.push_back(std::move(sink->record));
    sink->record.clear();
  };
  csv_parse(&p, text.data(), text.size(), field, record, &sink);
  csv_fini(&p, field, record, &sink);
  csv_free(&p);
  return sink.records;
}

Records ByReader(const std::string& file, char delimiter) {
  TCsvFormat format;
  format.delimiter = delimiter;
  format.encoding = "GBK";
  TCsvRecords reader(file, format);
  Records out;
  std::vector<std::string_view> fields;
  while (reader.Next(fields)) out.emplace_back(fields.begin(), fields.end());
  return out;
}

// Our reader splits as libcsv does, and counts what it splits, over generated text made
// of the characters that matter (small texts find the corner cases; long ones cross the
// seams between chunks of input).
TEST(CsvRecordsTest, SplitsAndCountsLikeLibcsv) {
  TempDir dir;
  const std::string file = dir.Path("gen.csv");
  std::mt19937 rng(4180);
  const char alphabet[] = {',', ';', '"', '"', '"', '\r', '\n', '\n', 'a', 'b', ' '};
  for (int round = 0; round < 2000; ++round) {
    const bool big = round % 400 == 0;
    const size_t len = big ? 600000 + rng() % 100000 : rng() % 40;
    std::string text;
    for (size_t i = 0; i < len; ++i) text += alphabet[rng() % sizeof alphabet];
    TempDir::Write(file, text);
    for (char delimiter : {',', ';'}) {
      TCsvFormat format;
      format.delimiter = delimiter;
      format.encoding = "GBK";
      Records expected = ByLibcsv(text, delimiter);
      ASSERT_EQ(ByReader(file, delimiter), expected) << ::testing::PrintToString(big ? text.substr(0, 80) : text);
      ASSERT_EQ(CountCsvRecords(file, format), static_cast<int64_t>(expected.size()));
    }
  }
}

}  // namespace
}  // namespace ryn
