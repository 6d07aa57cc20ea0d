#include <gtest/gtest.h>

#include <cerrno>

#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {
namespace {

bool IsGbk() { return ProcessCodePage().Kind() == CodePageKind::kDoubleByte; }

TEST(CodePageTest, SystemTextsAreConvertedOnceToTheProcessCodePage) {
  const std::string& name = Ansi("Ryn文件");
  EXPECT_EQ(name.size(), IsGbk() ? 7u : 9u);
  EXPECT_EQ(&name, &Ansi("Ryn文件")) << "cached";
  EXPECT_EQ(ToWide(name), u"Ryn文件");
  EXPECT_EQ(ToUtf8(name), "Ryn文件");
  if (IsGbk()) {
    EXPECT_EQ(Ansi("文"), "\xCE\xC4");
  }
}

TEST(CodePageTest, RoundTripsChineseTextThroughUtf16AndUtf8) {
  const std::u16string samples[] = {u"", u"plain ascii", u"网络表Ryn数据文件", u"固定数据\t浮动数据 维度数据",
                                    u"单位标识=0001;年度=2023", u"ＡＢＣ全角"};
  for (const auto& w : samples) {
    std::string narrow = ToNarrow(w);
    EXPECT_EQ(ToWide(narrow), w);
    EXPECT_EQ(FromUtf8(ToUtf8(narrow)), narrow);
  }
}

TEST(CodePageTest, BadInputIsReplacedNotDropped) {
  // A lone lead byte (GBK) or a stray continuation byte (UTF-8) is no character.
  std::string broken = IsGbk() ? std::string("a\x81") : std::string("a\x80");
  EXPECT_EQ(ToWide(broken), u"a\uFFFD");
  // A character the code page cannot hold becomes "?".
  EXPECT_EQ(ToNarrow(u"x\U0001F600y").find('?') != std::string::npos, IsGbk());
}

// The C library's error texts come in the locale's encoding (UTF-8 on a Chinese desktop)
// while ours are in the process code page: a message joining both must be one encoding.
TEST(CodePageTest, TextsOfAnotherEncodingComeInTheProcessCodePage) {
  const std::string gbk = "\xC3\xBB\xD3\xD0\xC4\xC7\xB8\xF6\xCE\xC4\xBC\xFE\xBB\xF2\xC4\xBF\xC2\xBC";  // 没有那个文件或目录
  const std::string utf8 =
      "\xE6\xB2\xA1\xE6\x9C\x89\xE9\x82\xA3\xE4\xB8\xAA\xE6\x96\x87\xE4\xBB\xB6\xE6\x88\x96\xE7\x9B\xAE\xE5\xBD\x95";
  const std::string ours = IsGbk() ? gbk : utf8;
  struct Case {
    const char* what;
    std::string text;
    const char* encoding;
    std::string expected;
  } const cases[] = {
      {"ASCII passes", "No such file or directory", "ANSI_X3.4-1968", "No such file or directory"},
      {"UTF-8 of a Chinese locale", utf8, "UTF-8", ours},
      {"the name spelled otherwise", utf8, "utf8", ours},
      {"GBK of a Chinese locale", gbk, "GB18030", ours},
      {"bytes that are no character", "a\xFF" + utf8.substr(0, 3), "UTF-8", "a?" + ours.substr(0, IsGbk() ? 2 : 3)},
      {"an encoding iconv does not know keeps only ASCII", "a" + utf8.substr(0, 3), "NO-SUCH-ENCODING", "a???"},
  };
  for (const Case& c : cases) EXPECT_EQ(FromEncoding(c.text, c.encoding), c.expected) << c.what;
  // The tests run in the C locale: the untranslated ASCII text.
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_TRUE(IsAscii(SystemErrorText(EACCES)));
}

TEST(CodePageTest, CharLengthStepsOverWholeCharacters) {
  const CodePage& cp = ProcessCodePage();
  std::string s = Ansi("表") + "a";
  const char* p = s.data();
  const char* end = p + s.size();
  EXPECT_EQ(cp.CharLength(p, end), s.size() - 1);
  EXPECT_EQ(cp.CharLength(end - 1, end), 1u);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(cp.CharLength(p, p + 1), 1u);
  if (IsGbk()) {
    const char brace[] = "\x81\x7D";  // trail byte is "}"
    EXPECT_EQ(cp.CharLength(brace, brace + 2), 2u);
    EXPECT_TRUE(cp.IsLeadByte(0x81));
    EXPECT_FALSE(cp.IsLeadByte(0x7D));
    EXPECT_FALSE(cp.IsLeadByte(0x80));
  }
}

TEST(CodePageTest, IsAsciiSeesAHighByteAtAnyPlace) {
  // The test runs eight bytes at a time: a high byte must count in the last whole word,
  // in the tail after it, and at either edge.
  EXPECT_TRUE(IsAscii(""));
  EXPECT_TRUE(IsAscii(std::string(17, '\x7F')));
  for (size_t length : {1u, 7u, 8u, 9u, 16u, 17u}) {
    for (size_t at = 0; at < length; ++at) {
      std::string s(length, 'a');
      s[at] = '\x80';
      EXPECT_FALSE(IsAscii(s)) << "length " << length << ", high byte at " << at;
      EXPECT_TRUE(IsAscii(std::string_view(s).substr(at + 1))) << "length " << length << ", after " << at;
    }
  }
}

TEST(TextTest, AsciiCaseFoldingLeavesDoubleByteCharactersAlone) {
  EXPECT_EQ(AsciiUpper("abc Xyz"), "ABC XYZ");
  EXPECT_EQ(AsciiLower("ABC xYZ"), "abc xyz");
  std::string chinese = Ansi("字段a");
  EXPECT_EQ(AsciiUpper(chinese), Ansi("字段A"));
  if (IsGbk()) {
    // 0x81 0x61 and 0x81 0x41 are two different characters whose trail bytes look like
    // "a" and "A": neither is folded, and they do not compare equal.
    std::string lowerTrail = "\x81" "a";
    std::string upperTrail = "\x81" "A";
    EXPECT_EQ(AsciiUpper(lowerTrail), lowerTrail);
    EXPECT_EQ(AsciiLower(upperTrail), upperTrail);
    EXPECT_FALSE(SameTextAscii(lowerTrail, upperTrail));
    EXPECT_FALSE(SameTextLocale(lowerTrail, upperTrail));
  }
}

TEST(TextTest, ComparisonsIgnoreCaseByTheirRules) {
  struct Case {
    const char* a;
    const char* b;
    bool ascii;
    bool locale;
  } cases[] = {
      {"Field", "FIELD", true, true},
      {"Field", "Fields", false, false},
      {"", "", true, true},
      {"ΑΒΓ", "αβγ", false, true},
      {"ДОМ", "дом", false, true},
      {"ＡＢＣ", "ａｂｃ", false, true},
      {"Ryn文件", "RYN文件", true, true},
      {"文件", "文仵", false, false},
  };
  for (const auto& c : cases) {
    std::string a = Ansi(c.a), b = Ansi(c.b);
    EXPECT_EQ(SameTextAscii(a, b), c.ascii) << c.a << " / " << c.b;
    EXPECT_EQ(SameTextLocale(a, b), c.locale) << c.a << " / " << c.b;
  }
  EXPECT_LT(CompareTextAscii("abc", "ABD"), 0);
  EXPECT_GT(CompareTextAscii("abcd", "ABC"), 0);
}

TEST(TextTest, TrimsControlCharactersAndBlanks) {
  EXPECT_EQ(TrimBlanks("\r\n\t a b \x01"), "a b");
  EXPECT_EQ(TrimLeftBlanks("  x "), "x ");
  EXPECT_EQ(TrimRightBlanks("  x "), "  x");
  EXPECT_EQ(TrimBlanks(" \t "), "");
}

}  // namespace
}  // namespace ryn
