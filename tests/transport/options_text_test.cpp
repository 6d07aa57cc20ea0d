#include <gtest/gtest.h>

#include <random>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string Write(const Entries& entries) {
  TMemoryStream s;
  TOptionsWriter w(&s);
  for (const auto& [k, v] : entries) w.WriteOption(k, v);
  return s.Data();
}

// Every entry the reader dispatches, in order, when handlers exist for the given keys.
Entries Read(const std::string& text, const std::vector<std::string>& keys) {
  TMemoryStream s(text);
  TOPtionsReader r(&s);
  Entries got;
  for (const auto& k : keys) r.RegisterHandler(k, [&got, k](const std::string& v) { got.emplace_back(k, v); });
  r.Parse();
  return got;
}

TEST(OptionsTextTest, ByteExactForm) {
  EXPECT_EQ(Write({{"a", "1"}, {"b", "x y"}}), "a=1;\r\nb=\"x y\"");
  EXPECT_EQ(Write({}), "");
  EXPECT_EQ(Write({{"k", "k=v\r\nm=n"}}), "k={\r\n\tk=v\r\nm=n}");
  EXPECT_EQ(Write({{"q", "say \"hi\""}}), "q=\"say \"\"\"hi\"\"\"\"");
  EXPECT_EQ(Write({{"e", ""}, {"n", "2"}}), "e=;\r\nn=2");
  // A lone ";" or brace would end or open something for the reader: quoted.
  EXPECT_EQ(Write({{"s", "a;b"}}), "s=\"a;b\"");
  EXPECT_EQ(Write({{"s", "{a"}}), "s=\"{a\"");
  EXPECT_EQ(Write({{"s", "a=}"}}), "s=\"a=}\"");
  // Blanks at the ends would be trimmed away by the reader.
  EXPECT_EQ(Write({{"s", "a=b\r\n"}}), "s=\"a=b\r\n\"");
  EXPECT_EQ(Write({{"s", "\tx"}}), "s=\"\tx\"");
  // Keys never take the block form.
  EXPECT_EQ(Write({{"k=1", "v"}}), "\"k=1\"=v");
}

TEST(OptionsTextTest, DispatchRules) {
  EXPECT_EQ(Read("a=1;\r\nb=\"x y\"", {"a", "b"}), (Entries{{"a", "1"}, {"b", "x y"}}));
  // A block's opening line break and tab are the form's, not the value's; a quoted value
  // keeps its blanks.
  EXPECT_EQ(Read("k={\r\n\tk=v\r\nm=n}", {"k"}), (Entries{{"k", "k=v\r\nm=n"}}));
  EXPECT_EQ(Read("k={a=b};\r\nq=\"\r\n\ta\"", {"k", "q"}), (Entries{{"k", "a=b"}, {"q", "\r\n\ta"}}));
  EXPECT_EQ(Read("k={\n\t\tx=1}", {"k"}), (Entries{{"k", "\tx=1"}}));
  EXPECT_EQ(Read("", {"a"}), Entries{});
  EXPECT_EQ(Read("Key=1;key=2", {"key"}), (Entries{{"key", "2"}})) << "keys are case-sensitive";
  EXPECT_EQ(Read("a=1=2;\r\nb;\r\n;=x;c=", {"a", "b", "", "c"}),
            (Entries{{"a", "1"}, {"b", ""}, {"", ""}, {"", "x"}, {"c", ""}}));
  EXPECT_EQ(Read("unknown=1;a=2", {"a"}), (Entries{{"a", "2"}}));
}

// A value that opens with a block ends at its closing brace: a ";" left out after "}"
// must not fold the keys that follow into the block's value. Braces in quotes, nested
// blocks and blanks before the ";" leave the entry as it was.
TEST(OptionsTextTest, ABlockValueEndsAtItsClosingBrace) {
  const std::vector<std::string> keys = {"c", "t", "y", "z"};
  const struct {
    const char* text;
    Entries want;
  } cases[] = {
      {"c={\r\n\tA=a\r\nB=b\r\n}\r\nt=1;y=2", {{"c", "A=a\r\nB=b\r\n"}, {"t", "1"}, {"y", "2"}}},
      {"c={A=a}t=1", {{"c", "A=a"}, {"t", "1"}}},
      {"c={A=a}\r\nt={x=1}\r\ny=2;", {{"c", "A=a"}, {"t", "x=1"}, {"y", "2"}}},
      {"c={a{b}c}y=2", {{"c", "a{b}c"}, {"y", "2"}}},
      {"c={a\"}\"b}y=2", {{"c", "a\"}\"b"}, {"y", "2"}}},
      {"c={A=a}  \r\n;y=2", {{"c", "A=a"}, {"y", "2"}}},
      {"c={A=a}", {{"c", "A=a"}}},
      // Only a block that opens the value ends it; braces later in a value are its own.
      {"c=x{a}y;t=1", {{"c", "x{a}y"}, {"t", "1"}}},
      // A block never closed takes the rest of the text, as before.
      {"c={A=a;t=1", {{"c", "{A=a;t=1"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.text, keys), c.want) << ::testing::PrintToString(c.text);
}

TEST(OptionsTextTest, LaterHandlerWinsAndStopEndsParsing) {
  TMemoryStream s("a=1;a=2;b=3");
  TOPtionsReader r(&s);
  std::string log;
  r.RegisterHandler("a", [&](const std::string& v) { log += "first" + v; });
  r.RegisterHandler("a", [&](const std::string& v) {
    log += "second" + v + ";";
    r.Stop();
  });
  r.RegisterHandler("b", [&](const std::string& v) { log += "b" + v; });
  r.Parse();
  EXPECT_EQ(log, "second1;");
  log.clear();
  r.Parse();  // a new parse starts over
  EXPECT_EQ(log, "second1;");
}

// Whatever is written comes back exactly, keys and values.
TEST(OptionsTextTest, GeneratedEntriesRoundTrip) {
  std::vector<std::string> tokens = {"a", "K", "7", " ", "\t", "\"", ";", "=", "{", "}", "\r\n", ";\r\n",
                                     "{\r\n\t", Ansi("单位"), Ansi("年度"), "x y", "\"\"", "|"};
  if (ProcessCodePage().Kind() == CodePageKind::kDoubleByte) {
    tokens.push_back("\x81\x7D");
    tokens.push_back("\x81\x7B");
  }
  std::mt19937 rng(7);
  auto random = [&] {
    std::string v;
    int n = std::uniform_int_distribution<int>(0, 10)(rng);
    for (int i = 0; i < n; ++i) v += tokens[std::uniform_int_distribution<size_t>(0, tokens.size() - 1)(rng)];
    return v;
  };
  for (int round = 0; round < 300; ++round) {
    Entries entries;
    std::vector<std::string> keys;
    for (int i = std::uniform_int_distribution<int>(1, 6)(rng); i > 0; --i) {
      std::string key = random() + std::to_string(round) + "#" + std::to_string(i);  // distinct keys
      entries.emplace_back(key, random());
      keys.push_back(key);
    }
    std::string text = Write(entries);
    Entries got = Read(text, keys);
    ASSERT_EQ(got.size(), entries.size()) << text;
    for (size_t i = 0; i < entries.size(); ++i) {
      ASSERT_EQ(got[i].first, entries[i].first) << text;
      ASSERT_EQ(got[i].second, entries[i].second) << text;
    }
  }
}

}  // namespace
}  // namespace ryn
