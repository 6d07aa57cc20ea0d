#include "common/transcoder.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "common/transcoder_system.h"

namespace ryn {
namespace {

// The bytes a UTF-8 character needs, from its first byte; 0 for no first byte.
size_t Utf8Need(unsigned char b) {
  return b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
}

}  // namespace

bool Utf8Prefix(std::string_view s) {
  size_t need = Utf8Need(static_cast<unsigned char>(s[0]));
  if (need < 2 || s.size() >= need) return false;
  for (size_t i = 1; i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return false;
  return true;
}

// Every character of the Basic Multilingual Plane in one target encoding, asked of the
// system once per process: converting text of mostly ASCII and common characters through it
// costs a fraction of the system's own per-character work.
class TBmpTable {
 public:
  // Null when the target does not keep ASCII as it is (the table serves no such target).
  static const TBmpTable* For(const std::string& target) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<TBmpTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = tables.find(target);
    if (it == tables.end()) it = tables.emplace(target, Build(target)).first;
    return it->second.get();
  }
  // Low byte: the length (0: the target lacks the character); then up to 4 bytes.
  uint64_t Entry(uint32_t codePoint) const { return entries_[codePoint]; }

 private:
  static std::unique_ptr<TBmpTable> Build(const std::string& target) {
    auto table = std::make_unique<TBmpTable>();
    if (!FillBmpEntries(target, table->entries_)) return nullptr;
    for (uint32_t c = 0; c < 0x80; ++c)
      if (table->entries_[c] != (1u | (c << 8))) return nullptr;
    return table;
  }

  BmpEntries entries_ = {};
};

const TBmpTable* BmpTableFor(const std::string& target) { return TBmpTable::For(target); }

std::string EncodingKey(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  return out;
}

void TTranscoder::Convert(std::string_view in, std::string& out) {
  std::string joined;
  if (!pending_.empty()) {
    // A copy of the chunk behind the waiting bytes: cheap next to the conversion itself.
    joined = std::move(pending_);
    pending_.clear();
    joined.append(in);
    in = joined;
  }
  if (table_) {
    RunUtf8(in.data(), in.size(), out);
  } else {
    Run(in.data(), in.size(), out, false);
  }
}

void TTranscoder::RunUtf8(const char* in, size_t len, std::string& out) {
  size_t used = out.size();
  out.resize(used + len * 2 + 16);  // no BMP character grows by more than its UTF-8 form
  char* dst = out.data() + used;
  size_t i = 0;
  while (i < len) {
    // ASCII stays as it is, eight bytes at a time where it can.
    while (i + 8 <= len) {
      uint64_t w;
      std::memcpy(&w, in + i, 8);
      if (w & 0x8080808080808080ull) break;
      std::memcpy(dst, &w, 8);
      dst += 8;
      i += 8;
    }
    while (i < len && static_cast<unsigned char>(in[i]) < 0x80) *dst++ = in[i++];
    if (i == len) break;
    std::string_view rest(in + i, len - i);
    size_t n = Utf8CharLength(rest);
    if (n == 0) {
      if (Utf8Prefix(rest)) {  // the character goes on in the next chunk
        pending_.assign(rest);
        break;
      }
      *dst++ = badMark_;
      ++replaced_.badInput;
      ++i;
      continue;
    }
    uint32_t cp = static_cast<unsigned char>(in[i]) & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
    if (cp < 0x10000) {
      uint64_t e = table_->Entry(cp);
      size_t bytes = e & 0xFF;
      if (bytes == 0) {
        *dst++ = '?';
        ++replaced_.unmapped;
      } else {
        for (size_t k = 0; k < bytes; ++k) *dst++ = static_cast<char>((e >> (8 * (k + 1))) & 0xFF);
      }
    } else {
      // Beyond the plane: the system decides (GB18030 has such characters, GBK has none).
      out.resize(static_cast<size_t>(dst - out.data()));
      Run(in + i, n, out, true);
      size_t at = out.size();
      out.resize(at + (len - i) * 2 + 16);
      dst = out.data() + at;
    }
    i += n;
  }
  out.resize(static_cast<size_t>(dst - out.data()));
}

size_t Utf8CharLength(std::string_view s) {
  if (s.empty()) return 0;
  auto b = static_cast<unsigned char>(s[0]);
  size_t n;
  uint32_t cp;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) n = 2, cp = b & 0x1F;
  else if (b >= 0xE0 && b <= 0xEF) n = 3, cp = b & 0x0F;
  else if (b >= 0xF0 && b <= 0xF4) n = 4, cp = b & 0x07;
  else return 0;
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  // Overlong forms and surrogates are not UTF-8.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

bool IsWholeUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8CharLength(s.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

Utf8Verdict JudgeUtf8(std::string_view bytes) {
  bool ascii = true;
  size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    ascii = false;
    size_t n = Utf8CharLength(bytes.substr(i));
    if (n == 0) {
      // A lead byte whose character the end cut off is not held against the text.
      auto b = static_cast<unsigned char>(bytes[i]);
      size_t want = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      if (b >= 0xC2 && b <= 0xF4 && bytes.size() - i < want) {
        bool tailOk = true;
        for (size_t k = i + 1; k < bytes.size(); ++k)
          if ((static_cast<unsigned char>(bytes[k]) & 0xC0) != 0x80) tailOk = false;
        if (tailOk) return Utf8Verdict::kUtf8;
      }
      return Utf8Verdict::kNotUtf8;
    }
    i += n;
  }
  return ascii ? Utf8Verdict::kAscii : Utf8Verdict::kUtf8;
}

}  // namespace ryn
