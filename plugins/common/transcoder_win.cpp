// The transcoder's conversions through MultiByteToWideChar and WideCharToMultiByte
// (Windows): encodings named as iconv names them ("GBK", "UTF-8", "GB18030", "BIG5",
// "LATIN1", "CP1252"...) map to code pages; bad bytes are found with MB_ERR_INVALID_CHARS
// and characters the target lacks with the default-character report, and both are
// replaced and counted as the iconv side replaces and counts them, so that a file read on
// either system gives the same text and the same messages.
#include "common/transcoder.h"
#include "common/transcoder_system.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/win_text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace ryn {
namespace {

constexpr UINT kGb18030 = 54936;

// UTF-8 and GB18030 hold every character: WideCharToMultiByte takes neither
// WC_NO_BEST_FIT_CHARS nor a default-character report for them. Elsewhere best fit is off,
// so that a character the page lacks is reported, never quietly turned into a look-alike.
DWORD EncodeFlags(UINT cp) { return cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : cp == kGb18030 ? 0 : WC_NO_BEST_FIT_CHARS; }
bool ReportsDefault(UINT cp) { return cp != CP_UTF8 && cp != kGb18030; }

// Appends the bytes of page cp for wide text; false (out as it was) when the page lacks one
// of its characters.
bool Encode(const wchar_t* wide, int count, UINT cp, std::string& out) {
  BOOL usedDefault = FALSE;
  BOOL* report = ReportsDefault(cp) ? &usedDefault : nullptr;
  const int n = WideCharToMultiByte(cp, EncodeFlags(cp), wide, count, nullptr, 0, nullptr, report);
  if (n <= 0 || usedDefault) return false;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n));
  WideCharToMultiByte(cp, EncodeFlags(cp), wide, count, out.data() + at, n, nullptr, nullptr);
  return true;
}

// Wide text of bytes of page cp; false when they hold a byte sequence that is no character.
bool Decode(const char* in, size_t len, UINT cp, std::wstring& wide) {
  wide.clear();
  if (len == 0) return true;
  const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in, static_cast<int>(len), nullptr, 0);
  if (n <= 0) return false;
  wide.resize(static_cast<size_t>(n));
  MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in, static_cast<int>(len), wide.data(), n);
  return true;
}

// UTF-16 has no code page that MultiByteToWideChar reads: its units are taken as they are.
enum class Utf16 : uint8_t { kNo, kLittleEndian, kBigEndian };

Utf16 Utf16Of(const std::string& name) {
  const std::string key = EncodingKey(name);
  return key == "UTF16LE" ? Utf16::kLittleEndian : key == "UTF16BE" ? Utf16::kBigEndian : Utf16::kNo;
}

bool IsHighSurrogate(wchar_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(wchar_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

struct TTranscoder::System {
  UINT from;  // 0 for UTF-16
  UINT to;
  Utf16 utf16;
  CodePage source;  // where the source's characters begin and end
};

bool FillBmpEntries(const std::string& target, BmpEntries& entries) {
  const UINT cp = WindowsCodePage(target);
  if (!cp) return false;
  std::string bytes;
  for (uint32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const wchar_t unit = static_cast<wchar_t>(c);
    bytes.clear();
    if (!Encode(&unit, 1, cp, bytes) || bytes.empty() || bytes.size() > 4) continue;
    uint64_t e = bytes.size();
    for (size_t i = 0; i < bytes.size(); ++i) e |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * (i + 1));
    entries[c] = e;
  }
  return true;
}

bool CanTranscode(const std::string& to, const std::string& from) {
  return WindowsCodePage(to) != 0 && (WindowsCodePage(from) != 0 || Utf16Of(from) != Utf16::kNo);
}

TTranscoder::TTranscoder(const std::string& to, const std::string& from) : fromUtf8_(false) {
  const Utf16 utf16 = Utf16Of(from);
  const UINT toPage = WindowsCodePage(to), fromPage = utf16 == Utf16::kNo ? WindowsCodePage(from) : 0;
  if (!toPage || (!fromPage && utf16 == Utf16::kNo)) throw ERynError("cannot convert from " + from + " to " + to);
  system_ = std::make_unique<System>(System{fromPage, toPage, utf16, CodePage(fromPage ? from : "UTF-8")});
  fromUtf8_ = fromPage == CP_UTF8;
  toUtf8_ = toPage == CP_UTF8;
  if (fromUtf8_) table_ = BmpTableFor(to);
}

TTranscoder::~TTranscoder() = default;

void TTranscoder::Finish(std::string& out) {
  if (!pending_.empty()) {
    std::string rest = std::move(pending_);
    pending_.clear();
    Run(rest.data(), rest.size(), out, true);
  }
  systemUsed_ = false;
}

void TTranscoder::Run(const char* in, size_t len, std::string& out, bool last) {
  systemUsed_ = true;
  const System& sys = *system_;
  const char* const end = in + len;
  // One replacement: for bytes that are no character of the source, or for a character the
  // target lacks. Between two encodings neither of which is UTF-8 iconv cannot tell the
  // two apart; both count as lacking there.
  auto replace = [&](bool badBytes) {
    const bool badInput = toUtf8_ || (badBytes && (fromUtf8_ || sys.utf16 != Utf16::kNo));
    ++(badInput ? replaced_.badInput : replaced_.unmapped);
    out += badInput ? badMark_ : '?';
  };

  if (sys.utf16 != Utf16::kNo) {
    std::wstring wide;
    wide.reserve(len / 2);
    for (size_t i = 0; i + 1 < len; i += 2) {
      const auto a = static_cast<uint8_t>(in[i]), b = static_cast<uint8_t>(in[i + 1]);
      wide += static_cast<wchar_t>(sys.utf16 == Utf16::kLittleEndian ? a | b << 8 : b | a << 8);
    }
    // An odd byte, or the first half of a pair, waits for the rest.
    size_t cutOff = len % 2;
    if (!wide.empty() && IsHighSurrogate(wide.back())) {
      wide.pop_back();
      cutOff += 2;
    }
    if (!Encode(wide.data(), static_cast<int>(wide.size()), sys.to, out)) {
      for (size_t i = 0; i < wide.size();) {
        const size_t n = IsHighSurrogate(wide[i]) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1]) ? 2 : 1;
        if (n == 1 && (IsHighSurrogate(wide[i]) || IsLowSurrogate(wide[i]))) replace(true);
        else if (!Encode(wide.data() + i, static_cast<int>(n), sys.to, out)) replace(false);
        i += n;
      }
    }
    if (cutOff == 0) return;
    if (!last) pending_.assign(end - cutOff, end);
    else replace(true);
    return;
  }

  // Bytes of the character at p: 0 when the end cuts it off, 1 for a byte that starts none.
  auto charLength = [&](const char* p) -> size_t {
    if (fromUtf8_) {
      const std::string_view rest(p, static_cast<size_t>(end - p));
      const size_t n = Utf8CharLength(rest);
      return n ? n : Utf8Prefix(rest) ? 0 : 1;
    }
    const auto b = static_cast<uint8_t>(*p);
    if (!sys.source.IsLeadByte(b)) return 1;
    if (end - p < 2) return 0;
    if (sys.source.Kind() == CodePageKind::kGb18030 && p[1] >= '0' && p[1] <= '9' && end - p < 4) return 0;
    return sys.source.CharLength(p, end);
  };

  // Whole chunks of valid text, the common case, in two calls; a character cut off by the
  // chunk's end waits for the next.
  std::wstring wide;
  const char* cut = in;
  for (const char* p = in; p < end;) {
    const size_t n = charLength(p);
    if (n == 0) break;
    p += n;
    cut = p;
  }
  if (Decode(in, static_cast<size_t>(cut - in), sys.from, wide) &&
      Encode(wide.data(), static_cast<int>(wide.size()), sys.to, out)) {
    if (cut == end) return;
    if (!last) {
      pending_.assign(cut, end);
      return;
    }
    in = cut;
  }

  // One character at a time; a bad byte is passed over alone, as iconv does.
  for (const char* p = in; p < end;) {
    const size_t n = charLength(p);
    if (n == 0) {
      if (!last) {
        pending_.assign(p, end);
        return;
      }
      replace(true);  // the end of the text cut the character off
      return;
    }
    const bool decoded = Decode(p, n, sys.from, wide);
    if (decoded && Encode(wide.data(), static_cast<int>(wide.size()), sys.to, out)) {
      p += n;
      continue;
    }
    replace(!decoded);
    p += decoded ? n : 1;
  }
}

}  // namespace ryn
