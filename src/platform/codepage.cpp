// What the process code page does alike on every system; the conversions are the system's
// own (codepage_iconv.cpp, codepage_win.cpp).
#include "platform/codepage.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace ryn {

bool IsAscii(std::string_view s) {
  // Eight bytes at a time: the sources ask this of every value they read.
  const char* p = s.data();
  const char* end = p + s.size();
  for (; end - p >= 8; p += 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if (w & 0x8080808080808080ull) return false;
  }
  for (; p < end; ++p)
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  return true;
}

size_t CodePage::MultiByteLength(const char* p, const char* end) const {
  auto at = [p](int i) { return static_cast<uint8_t>(p[i]); };
  switch (kind_) {
    case CodePageKind::kUtf8: {
      uint8_t b = at(0);
      size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      if (static_cast<size_t>(end - p) < n) return 1;
      for (size_t i = 1; i < n; ++i)
        if ((at(static_cast<int>(i)) & 0xC0) != 0x80) return 1;
      return n;
    }
    case CodePageKind::kGb18030:
      if (at(1) >= '0' && at(1) <= '9') {
        if (end - p >= 4 && lead_[at(2)] && at(3) >= '0' && at(3) <= '9') return 4;
        return 1;
      }
      return 2;
    default:
      return 2;
  }
}

const std::string& Ansi(std::string_view utf8Literal) {
  // Entries are never removed, so references stay valid while the module is loaded.
  static std::mutex mutex;
  static std::unordered_map<std::string, std::unique_ptr<const std::string>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(std::string(utf8Literal));
  if (it == cache.end())
    it = cache.emplace(std::string(utf8Literal), std::make_unique<const std::string>(FromUtf8(utf8Literal))).first;
  return *it->second;
}

}  // namespace ryn
