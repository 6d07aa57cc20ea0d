#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {
namespace {

TEST(TextTest, FormatTextHoldsExactlyWhatPrintfWrites) {
  const std::string longName(5000, 'x');
  const std::string chinese = Ansi("文件“数据”");
  struct Case {
    const char* what;
    std::string got, want;
  };
  const Case cases[] = {
      {"empty pattern", FormatText("%s", ""), ""},
      {"no conversions", FormatText("plain"), "plain"},
      {"percent sign", FormatText("%d%%", 5), "5%"},
      {"padded hex", FormatText("[%08X]", 0x30000001u), "[30000001]"},
      {"negative and 64-bit", FormatText("%d/%lld", -7, 9223372036854775807LL), "-7/9223372036854775807"},
      {"longer than any stack buffer", FormatText("<%s>", longName.c_str()), "<" + longName + ">"},
      {"code page bytes pass unchanged", FormatText(Ansi("第%d行：%s").c_str(), 12, chinese.c_str()),
       Ansi("第12行：") + chinese},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.want) << c.what;
    EXPECT_EQ(c.got.size(), c.want.size()) << c.what << ": no terminating zero inside the text";
  }
}

}  // namespace
}  // namespace ryn
