// The process code page: the single-byte or multi-byte encoding in which every narrow
// string of the system holds its bytes (GBK unless RYNFILER_CODEPAGE names another iconv
// encoding), and the conversions between it, UTF-16 and UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ryn {

enum class CodePageKind : uint8_t {
  kSingleByte,  // every byte is one character
  kDoubleByte,  // lead bytes start two-byte characters (GBK, Big5, Shift-JIS, ...)
  kGb18030,     // GBK plus four-byte sequences lead, digit, lead, digit
  kUtf8,
};

class CodePage {
 public:
  explicit CodePage(std::string name);

  const std::string& Name() const { return name_; }
  CodePageKind Kind() const { return kind_; }
  bool IsMultiByte() const { return kind_ != CodePageKind::kSingleByte; }
  // True when b starts a character of more than one byte.
  bool IsLeadByte(uint8_t b) const { return lead_[b] != 0; }
  // True when b can stand inside a multi-byte character after its first byte (a superset:
  // for double-byte code pages every byte from 0x40 up). Marks whose bytes can never be
  // such a byte may be searched for byte by byte.
  bool MayBeTrailByte(uint8_t b) const { return trail_[b] != 0; }
  // Bytes of the character starting at p (1 when p is the last byte or the sequence is
  // broken); never runs past end.
  size_t CharLength(const char* p, const char* end) const {
    auto b = static_cast<uint8_t>(*p);
    if (lead_[b] == 0 || end - p < 2 || trail_[static_cast<uint8_t>(p[1])] == 0) return 1;
    return MultiByteLength(p, end);
  }

 private:
  size_t MultiByteLength(const char* p, const char* end) const;

  std::string name_;
  CodePageKind kind_ = CodePageKind::kSingleByte;
  uint8_t lead_[256] = {};
  uint8_t trail_[256] = {};
};

// The code page of this process, chosen once on first use; never fails. When the
// configured encoding cannot serve (unknown, or unable to hold the system's texts),
// CodePageProblem says why, and the library refuses to create engines.
const CodePage& ProcessCodePage();
// Empty when the process code page is usable; otherwise a message naming the variable.
const std::string& CodePageProblem();

// Conversions. Bytes that do not form a character become U+FFFD on the way to UTF-16;
// characters the target cannot hold become "?".
std::u16string ToWide(std::string_view narrow);
std::string ToNarrow(std::u16string_view wide);
std::string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::string_view narrow);
// Exact conversion: false when narrow holds bytes that are no character of the process
// code page (nothing is substituted).
bool TryToUtf8(std::string_view narrow, std::string& out);

// Text in the named encoding (any iconv name) in the process code page: what cannot be
// read or held becomes "?"; an encoding iconv does not know keeps the ASCII bytes only.
std::string FromEncoding(std::string_view text, const char* encoding);
// The system's text for an errno value in the process code page. The C library writes it
// in the encoding of the locale (after setlocale, translated), not in ours.
std::string SystemErrorText(int error);

// True when every byte is below 0x80: the same text in every code page we accept.
bool IsAscii(std::string_view s);

// A text of the system, written as a UTF-8 source literal, in the process code page.
// Converted once and cached for the life of the process; the reference stays valid.
const std::string& Ansi(std::string_view utf8Literal);

}  // namespace ryn
