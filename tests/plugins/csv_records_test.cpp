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

Records ByReader(const std::string& file, char delimiter, bool readAhead = false) {
  TCsvFormat format;
  format.delimiter = delimiter;
  format.encoding = "GBK";
  TCsvRecords reader(file, format, readAhead);
  Records out;
  std::vector<std::string_view> fields;
  while (reader.Next(fields)) out.emplace_back(fields.begin(), fields.end());
  EXPECT_FALSE(reader.Next(fields)) << "records after the end";
  return out;
}

// Our reader splits as libcsv does, and counts what it splits, over generated text made
// of the characters that matter (small texts find the corner cases; long ones cross the
// seams between chunks of input).
TEST(CsvRecordsTest, SplitsAndCountsLikeLibcsv) {
  TempDir dir;
  const std::string file = dir.Path("gen.csv");
  std::mt19937 rng(4180);
  // Also mostly plain lines, with a rare quote or carriage return among them, and lines
  // with neither (stretches longer than the counter's steps and its lanes' limit).
  const std::string alphabets[] = {std::string(",;\"\"\"\r\n\nab "),
                                   std::string("aaaaaaabbbbb    ,,,,;;\n\n\n\n\n\n\"\r"),
                                   std::string(60, 'a') + std::string(10, ',') + std::string(25, '\n') + "\"\r",
                                   std::string("aab,\n\n")};
  for (int round = 0; round < 2000; ++round) {
    const bool big = round % 400 < 4;
    const std::string& alphabet = alphabets[round % 4];
    const size_t len = big ? 600000 + rng() % 100000 : rng() % 40;
    std::string text;
    for (size_t i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
    TempDir::Write(file, text);
    for (char delimiter : {',', ';'}) {
      TCsvFormat format;
      format.delimiter = delimiter;
      format.encoding = "GBK";
      Records expected = ByLibcsv(text, delimiter);
      ASSERT_EQ(ByReader(file, delimiter), expected) << ::testing::PrintToString(big ? text.substr(0, 80) : text);
      // Read ahead on a thread of its own, the records are the same ones in the same order.
      if (big || round % 10 == 0) {
        ASSERT_EQ(ByReader(file, delimiter, true), expected);
      }
      ASSERT_EQ(CountCsvRecords(file, format), static_cast<int64_t>(expected.size()));
    }
  }
  // Short lines one after another: a record's end in the same place of every step.
  for (const std::string line : {"a\n", "a,\n", "ab\n\n"}) {
    std::string text;
    while (text.size() < 20000) text += line;
    TempDir::Write(file, text);
    TCsvFormat format;
    format.encoding = "GBK";
    ASSERT_EQ(CountCsvRecords(file, format), static_cast<int64_t>(ByLibcsv(text, ',').size())) << line;
  }
}

// What a record says besides its fields comes with that record when read ahead: the
// unclosed quote at the end, and the values converted from UTF-8 that lost characters
// (a long file, so that batches are filled while earlier ones are handed out).
TEST(CsvRecordsTest, ReadAheadKeepsEachRecordsFindings) {
  TempDir dir;
  const std::string file = dir.Path("ahead.csv");
  std::string text;
  for (int i = 0; i < 60000; ++i)
    text += std::to_string(i) + (i % 997 == 0 ? ",\xE2\x82\xAC\xF0\x9F\x98\x80" : ",\xE4\xB8\xAD") + ",\"q\"\"\r\n\"\n";
  text += "end,\"open";
  TempDir::Write(file, text);
  TCsvFormat format;
  format.encoding = "UTF-8";
  struct Seen {
    std::vector<std::string> fields;
    bool unclosed;
    size_t problems;
    bool operator==(const Seen&) const = default;
  };
  auto read = [&](bool ahead, size_t stopAfter) {
    std::vector<Seen> seen;
    TCsvRecords reader(file, format, ahead);
    std::vector<std::string_view> fields;
    while (seen.size() < stopAfter && reader.Next(fields))
      seen.push_back(Seen{{fields.begin(), fields.end()}, reader.UnclosedQuote(), reader.Problems().size()});
    return seen;
  };
  const std::vector<Seen> plain = read(false, SIZE_MAX);
  ASSERT_EQ(plain.size(), 60001u);
  EXPECT_EQ(plain[997].problems, 1u);  // under GBK the emoji is lost
  EXPECT_TRUE(plain.back().unclosed);
  EXPECT_EQ(plain.back().fields[1], "open");
  EXPECT_EQ(read(true, SIZE_MAX), plain);
  // A reader let go in the middle stops its thread without reading on.
  for (size_t stop : {0u, 1u, 5000u, 40000u}) EXPECT_EQ(read(true, stop), std::vector<Seen>(plain.begin(), plain.begin() + stop));
}

}  // namespace
}  // namespace ryn
