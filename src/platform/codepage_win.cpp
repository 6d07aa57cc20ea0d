// The process code page's conversions through MultiByteToWideChar and WideCharToMultiByte
// (Windows). RYNFILER_CODEPAGE names the code page as on POSIX systems ("GBK", "UTF-8",
// "GB18030", "CP1252", ...) or by its number ("936", "65001"); GBK (936) by default, not the
// system's ANSI code page, so that a library behaves alike whatever machine it runs on.
// Undecodable bytes and unmappable characters are replaced one at a time, exactly as the
// iconv side does, so that both systems write the same bytes.
#include "platform/codepage.h"
#include "platform/win_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace ryn {
namespace {

constexpr const char* kDefaultCodePage = "GBK";
constexpr UINT kGb18030 = 54936;

std::string NormalizedName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  return out;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

unsigned WindowsCodePage(std::string_view name) {
  static const struct {
    const char* name;
    UINT page;
  } kNames[] = {
      {"GBK", 936},         {"GB2312", 936},       {"EUCCN", 936},     {"UTF8", CP_UTF8},     {"GB18030", kGb18030},
      {"BIG5", 950},        {"BIG5HKSCS", 950},    {"SHIFTJIS", 932},  {"SJIS", 932},         {"EUCKR", 949},
      {"UHC", 949},         {"LATIN1", 28591},     {"ASCII", 20127},   {"USASCII", 20127},    {"ANSIX3.41968", 20127},
      {"KOI8R", 20866},     {"KOI8U", 21866},
  };
  std::string key = NormalizedName(name);
  UINT page = 0;
  for (const auto& n : kNames)
    if (key == n.name) page = n.page;
  if (!page) {
    std::string digits;
    if (AllDigits(key)) digits = key;
    else if (key.rfind("CP", 0) == 0 && AllDigits(key.substr(2))) digits = key.substr(2);
    else if (key.rfind("WINDOWS", 0) == 0 && AllDigits(key.substr(7))) digits = key.substr(7);
    else if (key.rfind("ISO8859", 0) == 0 && AllDigits(key.substr(7))) digits = std::to_string(28590 + std::atoi(key.c_str() + 7));
    if (!digits.empty() && digits.size() <= 5) page = static_cast<UINT>(std::atoi(digits.c_str()));
  }
  if (page == 65001) page = CP_UTF8;
  // A system without GB18030's table (Wine) still reads its two-byte part, which is GBK.
  if (page == kGb18030 && !IsValidCodePage(page)) page = 936;
  return page && IsValidCodePage(page) ? page : 0;
}

namespace {

UINT CodePageNumber(std::string_view name) { return WindowsCodePage(name); }

// Wide text of a multi-byte text of code page cp. Strictly first; where that fails, one
// character at a time (split by page), a byte that starts no character becoming bad.
std::u16string Decode(std::string_view text, UINT cp, const CodePage& page, char16_t bad = u'\xFFFD') {
  std::u16string out;
  if (text.empty()) return out;
  int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n > 0) {
    out.resize(static_cast<size_t>(n));
    MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
  }
  const char* p = text.data();
  const char* end = p + text.size();
  wchar_t units[4];
  while (p < end) {
    size_t len = page.CharLength(p, end);
    int got = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, p, static_cast<int>(len), units, 4);
    if (got > 0) {
      out.append(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(got));
      p += len;
    } else {
      out += bad;
      ++p;
    }
  }
  return out;
}

// Bytes of code page cp for one UTF-16 sequence (one unit, or a surrogate pair); false when
// the page lacks the character.
bool EncodeOne(const char16_t* units, int count, UINT cp, std::string& out) {
  char bytes[16];
  BOOL usedDefault = FALSE;
  const bool noDefault = cp == CP_UTF8 || cp == kGb18030;
  const DWORD flags = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : noDefault ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(cp, flags, reinterpret_cast<const wchar_t*>(units), count, bytes, sizeof bytes, nullptr,
                              noDefault ? nullptr : &usedDefault);
  if (n <= 0 || usedDefault) return false;
  // GB18030 and UTF-8 take no default-character report: an unpaired surrogate comes back
  // as a replacement of their own, which is no character of the text.
  if (cp == kGb18030 && (units[0] >= 0xD800 && units[0] <= 0xDFFF) && count == 1) return false;
  out.append(bytes, static_cast<size_t>(n));
  return true;
}

// Text of code page cp for wide text; a character it lacks becomes replacement, a surrogate
// pair it lacks one replacement per unit (as iconv reports them).
std::string Encode(std::u16string_view wide, UINT cp, std::string_view replacement, bool* ok = nullptr) {
  std::string out;
  if (wide.empty()) return out;
  const bool noDefault = cp == CP_UTF8 || cp == kGb18030;
  const DWORD flags = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : noDefault ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
  const int len = static_cast<int>(wide.size());
  bool lone = false;
  for (size_t i = 0; i < wide.size(); ++i) {
    char16_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) ++i;
    else if (c >= 0xD800 && c <= 0xDFFF) lone = true;
  }
  if (!lone) {
    int n = WideCharToMultiByte(cp, flags, w, len, nullptr, 0, nullptr, noDefault ? nullptr : &usedDefault);
    if (n > 0 && !usedDefault) {
      out.resize(static_cast<size_t>(n));
      WideCharToMultiByte(cp, flags, w, len, out.data(), n, nullptr, nullptr);
      return out;
    }
  }
  for (size_t i = 0; i < wide.size();) {
    int count = 1;
    if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
      count = 2;
    if (EncodeOne(wide.data() + i, count, cp, out)) {
      i += static_cast<size_t>(count);
      continue;
    }
    if (ok) {
      *ok = false;
      return std::string();
    }
    out += replacement;
    ++i;  // the second unit of a pair the page lacks is replaced on its own
  }
  return out;
}

struct ProcessPage {
  std::unique_ptr<CodePage> page;
  UINT cp = CP_UTF8;
  std::string problem;
};

// Whether code page cp holds every character of text (UTF-8) exactly.
bool Holds(UINT cp, std::string_view utf8) {
  std::u16string wide;
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  wide.resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), reinterpret_cast<wchar_t*>(wide.data()), n);
  bool ok = true;
  Encode(wide, cp, "", &ok);
  return ok;
}

const ProcessPage& Process() {
  static const ProcessPage process = [] {
    ProcessPage p;
    const char* env = std::getenv("RYNFILER_CODEPAGE");
    const std::string name(env && *env ? env : kDefaultCodePage);
    p.cp = CodePageNumber(name);
    if (!p.cp) {
      p.problem = "RYNFILER_CODEPAGE=" + name + ": the system does not know this encoding";
      p.page = std::make_unique<CodePage>("UTF-8");
      p.cp = CP_UTF8;
      return p;
    }
    p.page = std::make_unique<CodePage>(name);
    if (!Holds(p.cp, "\u6587\u4ef6\u540d\u9009\u62e9\u5217\u5b58\u50a8\u5199\u5165\u5931\u8d25"))
      p.problem = "RYNFILER_CODEPAGE=" + name + ": this encoding cannot hold the system's Chinese texts";
    return p;
  }();
  return process;
}

UINT ProcessCp() { return Process().cp; }

}  // namespace

CodePage::CodePage(std::string name) : name_(std::move(name)) {
  const UINT cp = CodePageNumber(name_);
  if (!cp) throw std::runtime_error("unknown code page " + name_);
  if (cp == CP_UTF8) {
    kind_ = CodePageKind::kUtf8;
    for (int b = 0xC2; b <= 0xF4; ++b) lead_[b] = 1;
    for (int b = 0x80; b <= 0xBF; ++b) trail_[b] = 1;
    return;
  }
  CPINFO info{};
  bool any = false;
  if (cp == kGb18030) {
    for (int b = 0x81; b <= 0xFE; ++b) lead_[b] = 1;
    any = true;
  } else if (GetCPInfo(cp, &info) && info.MaxCharSize > 1) {
    for (int r = 0; r + 1 < MAX_LEADBYTES && info.LeadByte[r]; r += 2)
      for (int b = info.LeadByte[r]; b <= info.LeadByte[r + 1]; ++b) {
        lead_[b] = 1;
        any = true;
      }
  }
  if (!any) return;
  kind_ = cp == kGb18030 ? CodePageKind::kGb18030 : CodePageKind::kDoubleByte;
  for (int b = 0x40; b <= 0xFF; ++b) trail_[b] = 1;
  if (kind_ == CodePageKind::kGb18030)
    for (int b = '0'; b <= '9'; ++b) trail_[b] = 1;
}

const CodePage& ProcessCodePage() { return *Process().page; }

const std::string& CodePageProblem() { return Process().problem; }

std::u16string ToWide(std::string_view narrow) {
  if (IsAscii(narrow)) return std::u16string(narrow.begin(), narrow.end());
  return Decode(narrow, ProcessCp(), ProcessCodePage());
}

std::string ToNarrow(std::u16string_view wide) {
  bool ascii = true;
  for (char16_t c : wide) ascii = ascii && c < 0x80;
  if (ascii) return std::string(wide.begin(), wide.end());
  return Encode(wide, ProcessCp(), "?");
}

namespace {
const CodePage& Utf8Page() {
  static const CodePage page("UTF-8");
  return page;
}
}  // namespace

std::string FromUtf8(std::string_view utf8) {
  if (IsAscii(utf8) || ProcessCp() == CP_UTF8) return std::string(utf8);
  return Encode(Decode(utf8, CP_UTF8, Utf8Page(), u'?'), ProcessCp(), "?");
}

std::string ToUtf8(std::string_view narrow) {
  if (IsAscii(narrow) || ProcessCp() == CP_UTF8) return std::string(narrow);
  return Encode(Decode(narrow, ProcessCp(), ProcessCodePage()), CP_UTF8, "\xEF\xBF\xBD");
}

bool TryToUtf8(std::string_view narrow, std::string& out) {
  if (IsAscii(narrow) || ProcessCp() == CP_UTF8) {
    out.assign(narrow);
    return true;
  }
  const int n = MultiByteToWideChar(ProcessCp(), MB_ERR_INVALID_CHARS, narrow.data(), static_cast<int>(narrow.size()),
                                    nullptr, 0);
  if (n <= 0) return false;
  std::u16string wide(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(ProcessCp(), MB_ERR_INVALID_CHARS, narrow.data(), static_cast<int>(narrow.size()),
                      reinterpret_cast<wchar_t*>(wide.data()), n);
  out = Encode(wide, CP_UTF8, "\xEF\xBF\xBD");
  return true;
}

std::string FromEncoding(std::string_view text, const char* encoding) {
  if (IsAscii(text)) return std::string(text);
  const UINT cp = CodePageNumber(encoding);
  if (!cp) {
    std::string out(text);
    for (char& ch : out)
      if (static_cast<unsigned char>(ch) >= 0x80) ch = '?';
    return out;
  }
  const CodePage page(encoding);
  return Encode(Decode(text, cp, page, u'?'), ProcessCp(), "?");
}

std::string SystemErrorText(int error) {
  // The C runtime's texts are English ASCII whatever the system's language.
  return FromEncoding(std::strerror(error), "ASCII");
}

}  // namespace ryn
