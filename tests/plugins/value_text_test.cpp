#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "common/transcoder.h"
#include "common/value_text.h"
#include "platform/error.h"

namespace ryn {
namespace {

// What counts as a number or a date decides a column's type: only text that reads back
// exactly does.
TEST(ValueTextTest, ReadsWholeNumbersDecimalsAndIsoDatesOnly) {
  struct Case {
    const char* text;
    bool integer, decimal, date;
  };
  const Case cases[] = {
      {"0", true, true, false},          {"-17", true, true, false},        {"+5", true, true, false},
      {"9223372036854775807", true, true, false}, {"9223372036854775808", false, true, false},
      {"+-5", false, false, false},      {"-", false, false, false},        {"1.", false, true, false},
      {".5", false, true, false},        {"1e5", false, true, false},       {"1e", false, false, false},
      {"1.2.3", false, false, false},    {" 1", false, false, false},       {"1,000", false, false, false},
      {"0x10", false, false, false},     {"inf", false, false, false},      {"nan", false, false, false},
      {"2024-02-29", false, false, true}, {"2023-02-29", false, false, false}, {"2024-2-9", false, false, false},
      {"2024-01-01 ", false, false, false}, {"", false, false, false},
  };
  for (const Case& c : cases) {
    int64_t i;
    double d;
    TDateTime t;
    EXPECT_EQ(ParseInteger(c.text, i), c.integer) << c.text;
    EXPECT_EQ(ParseDecimal(c.text, d), c.decimal) << c.text;
    EXPECT_EQ(ParseIsoDate(c.text, t), c.date) << c.text;
  }
  TDateTime t = 0;
  ASSERT_TRUE(ParseIsoDateTime("2024-03-05T06:07:08.123456Z", t));
  DateTimeParts p = DecodeDateTime(t);
  EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond}),
            (std::vector<int>{2024, 3, 5, 6, 7, 8, 123}));
  EXPECT_TRUE(ParseIsoDateTime("2024-03-05 06:07", t));
  EXPECT_FALSE(ParseIsoDateTime("2024-03-05 6:07", t));
  EXPECT_FALSE(ParseIsoDateTime("2024-03-05 24:00:00", t));
  EXPECT_EQ(IsoDateTimeText(t, true), "2024-03-05 06:07:00");
}

// The text of a real reads back as the same double and has no more digits than needed.
TEST(ValueTextTest, ShortestRealTextReadsBackWithTheFewestDigits) {
  const std::vector<std::pair<double, const char*>> cases = {
      {2.75, "2.75"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e300, "1E300"},
      {100.0, "100"},
      {-0.5, "-0.5"},
      {1.7976931348623157e308, "1.7976931348623157E308"},
      {5e-324, "5E-324"},  // subnormal: fewer digits than the general form's 15
      {2.2250738585072014e-308, "2.2250738585072014E-308"},
      {1e-310, "1E-310"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(ShortestRealText(value), text);
    double back = 0;
    EXPECT_TRUE(ParseDecimal(ShortestRealText(value), back) && back == value) << text;
  }
}

// A column gets a type only from text that its value's own text form gives back byte for
// byte; everything else would arrive changed.
TEST(ValueTextTest, CanonicalReadersTakeOnlyTextThatReadsBackExactly) {
  struct Case {
    const char* text;
    bool integer, decimal, date;
  };
  const Case cases[] = {
      {"0", true, true, false},
      {"-17", true, true, false},
      {"9223372036854775807", true, false, false},  // 19 digits: beyond a double's 15
      {"-9223372036854775808", true, false, false},
      {"123456789012345", true, true, false},
      {"000123", false, false, false},
      {"+5", false, false, false},
      {"-0", false, false, false},
      {"12345678901234567890", false, false, false},
      {"12E3", false, false, false},
      {"3.10", false, false, false},
      {"1.", false, false, false},
      {".5", false, false, false},
      {"0.5", false, true, false},
      {"-2.75", false, true, false},
      {"1E20", false, true, false},
      {"1e20", false, false, false},
      {"1E-6", false, true, false},
      {"0.000001", false, false, false},
      {"123456789.123456789", false, false, false},
      {"123456789.123457", false, true, false},
      {"-0.0", false, false, false},
      {"2024-02-29", false, false, true},
      {"1899-12-30", false, false, true},
      {"0001-01-01", false, false, true},
      {"2023-02-29", false, false, false},
      {"2024-1-09", false, false, false},
  };
  for (const Case& c : cases) {
    int64_t i = 0;
    double d = 0;
    TDateTime t = 0;
    EXPECT_EQ(ParseCanonicalInteger(c.text, i), c.integer) << c.text;
    EXPECT_EQ(ParseCanonicalDecimal(c.text, d), c.decimal) << c.text;
    EXPECT_EQ(ParseCanonicalDate(c.text, t), c.date) << c.text;
    if (c.integer) {
      EXPECT_EQ(std::to_string(i), c.text);
    }
  }
  double d = 0;
  ASSERT_TRUE(ParseCanonicalDecimal("0.1", d));
  EXPECT_EQ(d, 0.1);
  TDateTime t = 1;
  ASSERT_TRUE(ParseCanonicalDate("1899-12-30", t));
  EXPECT_EQ(t, 0);
}

// A character cut by a chunk's end is completed from the next chunk, whatever the cut.
TEST(ValueTextTest, WholeUtf8MeansEveryByteInACompleteCharacter) {
  const std::pair<const char*, bool> cases[] = {
      {"", true},
      {"plain", true},
      {"\xE6\x96\x87\xF0\xA0\x80\x80", true},  // 文 and a four-byte character
      {"\xE6\x96", false},                          // cut off at the end
      {"a\x96\x87", false},                         // continuation bytes without a lead
      {"\xCE\xC4", false},                          // 文 in GBK
      {"\xC0\x80", false},                          // overlong NUL
      {"\xED\xA0\x80", false},                     // a surrogate half
      {"\xFF", false},
  };
  for (const auto& [bytes, whole] : cases) EXPECT_EQ(IsWholeUtf8(bytes), whole) << bytes;
}

TEST(ValueTextTest, TranscoderJoinsCharactersCutBetweenChunks) {
  const std::string utf8 = "a甲\xF0\x9F\x98\x80乙b";  // the emoji has no GBK form
  const std::string whole = "a\xBC\xD7?\xD2\xD2" "b";
  for (size_t cut1 = 0; cut1 <= utf8.size(); ++cut1) {
    for (size_t cut2 = cut1; cut2 <= utf8.size(); ++cut2) {
      TTranscoder t("GBK", "UTF-8");
      std::string out;
      t.Convert(std::string_view(utf8).substr(0, cut1), out);
      t.Convert(std::string_view(utf8).substr(cut1, cut2 - cut1), out);
      t.Convert(std::string_view(utf8).substr(cut2), out);
      t.Finish(out);
      ASSERT_EQ(out, whole) << cut1 << " " << cut2;
    }
  }
  TTranscoder broken("GBK", "UTF-8");
  std::string out;
  broken.Convert("x\xE7\x94", out);  // the file ends inside a character
  broken.Finish(out);
  EXPECT_EQ(out, "x?");
}

// Into UTF-8, bad bytes may be marked with a byte that UTF-8 never holds, so that a later
// step still sees where they stood; characters the target lacks are counted apart.
TEST(ValueTextTest, TranscoderCountsAndMarksReplacements) {
  TTranscoder marking("UTF-8", "GBK");
  marking.SetBadInputMark('\xFF');
  std::string out;
  marking.ConvertAll("\xBC\xD7\xFFx\xD2", out);  // 甲, a lone 0xFF, x, a cut character
  EXPECT_EQ(out, "\xE7\x94\xB2\xFFx\xFF");
  EXPECT_EQ(marking.Replaced().badInput, 2u);
  EXPECT_EQ(marking.Replaced().unmapped, 0u);

  TTranscoder toGbk("GBK", "UTF-8");
  toGbk.ConvertAll("\xF0\x9F\x98\x80\xC3\xB1\xFF\xE7\x94\xB2", out);  // emoji, n-tilde, 0xFF, 甲
  EXPECT_EQ(out, "???\xBC\xD7");
  EXPECT_EQ(toGbk.Replaced().badInput, 1u);
  EXPECT_EQ(toGbk.Replaced().unmapped, 2u);
}

// The encodings a user names in a source's options, by their usual names, both ways; the
// bytes are Python's codecs'. Each system has its own tables (iconv, the Windows code
// pages): these characters are in both.
TEST(ValueTextTest, TranscoderKnowsTheEncodingsByTheirNames) {
  struct Case {
    const char* name;
    const char* bytes;
    const char* utf8;
    const char* emoji;  // what an emoji becomes in the encoding; null: as the system's table has it
  } cases[] = {
      {"GBK", "\xC3\xFB\xB3\xC6\xBC\xD7\x80", "名称甲€", "?"},
      {"cp936", "\xC3\xFB\xB3\xC6\xBC\xD7", "名称甲", "?"},
      {"GB18030", "\xB5\xA5\xCE\xBB", "单位", nullptr},  // Wine has no table for its four-byte part
      {"BIG5", "\xA6\x57\xBA\xD9\xA5\xD2", "名稱甲", "?"},
      {"latin1", "caf\xE9", "café", "?"},
      {"ISO-8859-1", "caf\xE9", "café", "?"},
      {"CP1252", "\x80\x9C", "€œ", "?"},
      {"utf-8", "\xE7\x94\xB2\xE2\x82\xAC", "甲€", "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(CanTranscode("UTF-8", c.name)) << c.name;
    std::string out;
    TTranscoder in("UTF-8", c.name);
    in.ConvertAll(c.bytes, out);
    EXPECT_EQ(out, c.utf8) << c.name;
    EXPECT_EQ(in.Replaced().Total(), 0u) << c.name;
    TTranscoder back(c.name, "UTF-8");
    back.ConvertAll(c.utf8, out);
    EXPECT_EQ(out, c.bytes) << c.name;
    if (!c.emoji) continue;
    back.ConvertAll("\xF0\x9F\x98\x80", out);
    EXPECT_EQ(out, c.emoji) << c.name;
    EXPECT_EQ(back.Replaced().unmapped, std::string_view(c.emoji) == "?" ? 1u : 0u) << c.name;
    EXPECT_EQ(back.Replaced().badInput, 0u) << c.name;
  }
  EXPECT_FALSE(CanTranscode("UTF-8", "NO-SUCH-ENCODING"));
  EXPECT_THROW(TTranscoder("UTF-8", "NO-SUCH-ENCODING"), ERynError);
  // Bytes that are no character of the source, into UTF-8: a bad byte each.
  TTranscoder big5("UTF-8", "BIG5");
  std::string out;
  big5.ConvertAll("\xA5\xD2\xFFx", out);
  EXPECT_EQ(out, "\xE7\x94\xB2?x");
  EXPECT_EQ(big5.Replaced().badInput, 1u);
}

// A file read in chunks: a character cut by a chunk's end (a double-byte character, a
// UTF-16 unit or surrogate pair) is completed from the next chunk, whatever the cut.
TEST(ValueTextTest, TranscoderJoinsCharactersOfOtherEncodingsCutBetweenChunks) {
  const struct {
    const char* encoding;
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"GBK", "a\xBC\xD7\xD2\xD2" "b\xC3\xFB", "a甲乙b名"},
      {"UTF-16LE", std::string("\x61\x00\x32\x75\x3D\xD8\x00\xDE\x62\x00", 10), "a甲\xF0\x9F\x98\x80" "b"},
      {"UTF-16BE", std::string("\x00\x61\x75\x32\xD8\x3D\xDE\x00\x00\x62", 10), "a甲\xF0\x9F\x98\x80" "b"},
  };
  for (const auto& c : cases) {
    const std::string_view bytes(c.bytes);
    for (size_t cut1 = 0; cut1 <= bytes.size(); ++cut1) {
      for (size_t cut2 = cut1; cut2 <= bytes.size(); ++cut2) {
        TTranscoder t("UTF-8", c.encoding);
        std::string out;
        t.Convert(bytes.substr(0, cut1), out);
        t.Convert(bytes.substr(cut1, cut2 - cut1), out);
        t.Convert(bytes.substr(cut2), out);
        t.Finish(out);
        ASSERT_EQ(out, c.utf8) << c.encoding << " " << cut1 << " " << cut2;
        ASSERT_EQ(t.Replaced().Total(), 0u) << c.encoding << " " << cut1 << " " << cut2;
      }
    }
    // The text ends inside a character: one bad character.
    TTranscoder t("UTF-8", c.encoding);
    std::string out;
    t.ConvertAll(bytes.substr(0, bytes.size() - 1), out);
    EXPECT_EQ(out, c.utf8.substr(0, c.utf8.size() - (c.encoding == std::string("GBK") ? 3 : 1)) + "?") << c.encoding;
    EXPECT_EQ(t.Replaced().badInput, 1u) << c.encoding;
  }
}

}  // namespace
}  // namespace ryn
