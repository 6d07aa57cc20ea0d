#include "odbc/odbc_charset.h"

#include <langinfo.h>

#include <algorithm>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {

TUtf8ThreadCharset::TUtf8ThreadCharset() {
  codeset_ = nl_langinfo(CODESET);
  if (IsUtf8Codeset(codeset_)) return;
  // Only LC_CTYPE changes, the thread's other categories stay; any UTF-8 locale will do,
  // C.UTF-8 being the one glibc always has.
  const locale_t base = duplocale(uselocale(locale_t(0)));
  if (base == locale_t(0)) return;
  for (const char* name : {"C.UTF-8", "en_US.UTF-8"}) {
    utf8_ = newlocale(LC_CTYPE_MASK, name, base);  // takes base over when it succeeds
    if (utf8_ != locale_t(0)) break;
  }
  if (utf8_ == locale_t(0)) {
    freelocale(base);
    return;
  }
  previous_ = uselocale(utf8_);
  codeset_ = nl_langinfo(CODESET);
}

TUtf8ThreadCharset::~TUtf8ThreadCharset() {
  if (utf8_ == locale_t(0)) return;
  uselocale(previous_);
  freelocale(utf8_);
}

bool IsUtf8Codeset(std::string_view codeset) { return EncodingKey(codeset) == "UTF8"; }

std::string NarrowDriverNote(std::string_view codeset, std::string_view what, std::string_view text) {
  if (IsUtf8Codeset(codeset)) return std::string();
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string();
  return FormatText(Ansi("（%s含有ASCII以外的字符，而ODBC驱动程序管理器只能按字符集“%s”把文字转给驱动程序："
                         "本机没有UTF-8的区域设置，只收窄字符的驱动程序收不到原样的文字）")
                        .c_str(),
                    std::string(what).c_str(), std::string(codeset).c_str());
}

}  // namespace ryn
