// The character set the driver manager hands text in to a driver without wide-character
// functions (the SQLite driver has none). unixODBC fixes it when a connection handle is
// allocated: the codeset of the calling thread's locale (nl_langinfo), through which iconv
// then converts every text of that connection both ways, keeping only each character's
// low byte where iconv fails. A process that never set its locale ("C") would give such a
// driver ASCII alone, so that a table named in Chinese became "no such table"; a GBK
// locale would give GBK to drivers that read UTF-8. Connections are therefore allocated
// under a UTF-8 character set on the calling thread only: the process's locale stays the
// host's.
#pragma once

#include <locale.h>

#include <string>
#include <string_view>

namespace ryn {

// While it lives, the calling thread's LC_CTYPE has a UTF-8 codeset, when the system has
// a UTF-8 locale (and the thread's is not UTF-8 already); the thread's own locale comes
// back after.
class TUtf8ThreadCharset {
 public:
  TUtf8ThreadCharset();
  ~TUtf8ThreadCharset();
  TUtf8ThreadCharset(const TUtf8ThreadCharset&) = delete;
  TUtf8ThreadCharset& operator=(const TUtf8ThreadCharset&) = delete;

  // The codeset the thread has now, as the driver manager reads it ("UTF-8",
  // "ANSI_X3.4-1968"...).
  const std::string& Codeset() const { return codeset_; }

 private:
  locale_t utf8_ = locale_t(0);
  locale_t previous_ = locale_t(0);
  std::string codeset_;
};

bool IsUtf8Codeset(std::string_view codeset);

// Why text (process code page) may not reach a narrow-text driver as it is, when the
// driver manager converts into codeset, to be added to the driver's own complaint: what
// names the text for the user (a table "客户", the query). Empty when nothing is lost on
// the way: the codeset is UTF-8, or the text is ASCII.
std::string NarrowDriverNote(std::string_view codeset, std::string_view what, std::string_view text);

}  // namespace ryn
