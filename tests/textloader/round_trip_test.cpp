// Everything the writer writes, a reader configured the same way reads back value for
// value, wherever its window reloads fall.
#include <gtest/gtest.h>

#include <random>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "support/text_lines.h"
#include "textloader/text_reader.h"
#include "textloader/text_writer.h"

namespace ryn {
namespace {

struct Config {
  const char* name;
  std::string delimiter, lineBreak, quote, open, close;
};

std::vector<std::string> Tokens() {
  std::vector<std::string> t = {"a", "b", "Z", "0", " ", "\t", "\"", "\"\"", ";", "=", "{", "}", "[", "]",
                                "\r\n", ",", "@", "|", "x y", Ansi("中"), Ansi("文件"), "\n", "\r"};
  if (ProcessCodePage().Kind() == CodePageKind::kDoubleByte) {
    for (const char* dbcs : {"\x81\x7D", "\x81\x7B", "\x81\x7C", "\x81\x40", "\x81\x5B", "\x81\x5D"}) t.push_back(dbcs);
  }
  return t;
}

std::string RandomValue(std::mt19937& rng, const std::vector<std::string>& tokens) {
  std::string v;
  int n = std::uniform_int_distribution<int>(0, 12)(rng);
  for (int i = 0; i < n; ++i) v += tokens[std::uniform_int_distribution<size_t>(0, tokens.size() - 1)(rng)];
  // Now and then a long value, to straddle windows.
  if (std::uniform_int_distribution<int>(0, 20)(rng) == 0) v = std::string(3000, 'L') + v + std::string(2000, 'l');
  return v;
}

class RoundTripTest : public ::testing::TestWithParam<Config> {};

TEST_P(RoundTripTest, WrittenLinesReadBackValueForValue) {
  const Config& c = GetParam();
  std::mt19937 rng(20261208);
  const auto tokens = Tokens();
  for (int round = 0; round < 60; ++round) {
    std::vector<std::vector<std::string>> lines(std::uniform_int_distribution<size_t>(1, 12)(rng));
    for (auto& line : lines) {
      line.resize(std::uniform_int_distribution<size_t>(1, 6)(rng));
      for (auto& v : line) v = RandomValue(rng, tokens);
    }
    TMemoryStream stream;
    TAFTextWriter w(&stream);
    w.SetDelimiter(c.delimiter);
    w.SetLineBreak(c.lineBreak);
    w.SetQuote(c.quote);
    w.SetBlockOpen(c.open);
    w.SetBlockClose(c.close);
    for (const auto& line : lines) {
      w.Clear();
      for (size_t i = 0; i < line.size(); ++i) w.SetValue(static_cast<int>(i), line[i]);
      w.WriteLine();
    }

    TAFTextReader r;
    r.SetDelimiter(c.delimiter);
    r.SetLineBreak(c.lineBreak);
    r.SetQuote(c.quote);
    r.SetBlockOpen(c.open);
    r.SetBlockClose(c.close);
    size_t window = round % 3 == 0 ? TAFTextReader::kBufferSize : std::uniform_int_distribution<size_t>(1, 700)(rng);
    testing::Lines read = testing::ReadAll(r, stream.Data(), window);
    ASSERT_LE(read.size(), lines.size());
    for (size_t l = 0; l < lines.size(); ++l) {
      // Missing trailing values and lines read as empty text.
      const std::vector<std::string> empty;
      const auto& got = l < read.size() ? read[l] : empty;
      ASSERT_LE(got.size(), lines[l].size());
      for (size_t i = 0; i < lines[l].size(); ++i) {
        std::string value = i < got.size() ? got[i] : "";
        ASSERT_EQ(value, lines[l][i]) << c.name << " round " << round << " line " << l << " value " << i
                                      << " window " << window;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTripTest,
                         ::testing::Values(Config{"tsv", "\t", "\r\n", "\"", "", ""},
                                           Config{"csv", ",", "\r\n", "\"", "", ""},
                                           Config{"blocks", "=", ";", "\"", "{", "}"},
                                           Config{"brackets", "|", "@", "\"", "[", "]"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ryn
