#include "platform/text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/codepage.h"

namespace ryn {
namespace {

template <class Fold>
std::string MapLetters(std::string_view s, Fold fold) {
  std::string out(s);
  const CodePage& cp = ProcessCodePage();
  const char* p = out.data();
  const char* end = p + out.size();
  while (p < end) {
    size_t n = cp.CharLength(p, end);
    if (n == 1) out[static_cast<size_t>(p - out.data())] = fold(*p);
    p += n;
  }
  return out;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

std::string AsciiUpper(std::string_view s) { return MapLetters(s, Upper); }
std::string AsciiLower(std::string_view s) { return MapLetters(s, Lower); }

int CompareTextAscii(std::string_view a, std::string_view b) {
  const CodePage& cp = ProcessCodePage();
  const char* pa = a.data();
  const char* ea = pa + a.size();
  const char* pb = b.data();
  const char* eb = pb + b.size();
  while (pa < ea && pb < eb) {
    size_t na = cp.CharLength(pa, ea);
    size_t nb = cp.CharLength(pb, eb);
    unsigned char ca = static_cast<unsigned char>(na == 1 ? Lower(*pa) : *pa);
    unsigned char cb = static_cast<unsigned char>(nb == 1 ? Lower(*pb) : *pb);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (na != nb) return na < nb ? -1 : 1;
    for (size_t i = 1; i < na; ++i) {
      auto x = static_cast<unsigned char>(pa[i]);
      auto y = static_cast<unsigned char>(pb[i]);
      if (x != y) return x < y ? -1 : 1;
    }
    pa += na;
    pb += nb;
  }
  if (pa < ea) return 1;
  if (pb < eb) return -1;
  return 0;
}

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: mostly upper/lower pairs
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
      return (c & 1) ? static_cast<char16_t>(c + 1) : c;
    if (c == 0x178) return 0xFF;
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c & 1) ? c : static_cast<char16_t>(c + 1);
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);               // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);  // full-width A-Z
  return c;
}

bool SameTextLocale(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && CompareTextAscii(a, b) == 0) return true;
  std::u16string wa = ToWide(a);
  std::u16string wb = ToWide(b);
  if (wa.size() != wb.size()) return false;
  for (size_t i = 0; i < wa.size(); ++i)
    if (FoldCase(wa[i]) != FoldCase(wb[i])) return false;
  return true;
}

std::string_view TrimLeftBlanks(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= 32) ++i;
  return s.substr(i);
}

std::string_view TrimRightBlanks(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 32) --n;
  return s.substr(0, n);
}

std::string_view TrimBlanks(std::string_view s) { return TrimRightBlanks(TrimLeftBlanks(s)); }

std::string CutAtCharBoundaries(std::string_view s, size_t start, size_t count) {
  if (start >= s.size()) return {};
  const size_t stop = start + std::min(count, s.size() - start);
  const CodePage& cp = ProcessCodePage();
  if (!cp.IsMultiByte()) return std::string(s.substr(start, stop - start));
  std::string out;
  out.reserve(stop - start);
  const char* end = s.data() + s.size();
  // Where characters start is known only by walking from the beginning.
  for (size_t i = 0; i < stop;) {
    const size_t next = i + cp.CharLength(s.data() + i, end);
    if (next > start) {
      if (i >= start && next <= stop) out.append(s.data() + i, next - i);
      else out.append(std::min(next, stop) - std::max(i, start), ' ');
    }
    i = next;
  }
  return out;
}

std::string FormatText(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, pattern, args);
  va_end(args);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  // vsnprintf writes the terminating zero into the byte that std::string keeps after size().
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, pattern, again);
  va_end(again);
  return out;
}

}  // namespace ryn
