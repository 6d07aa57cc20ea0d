#include "common/transcoder.h"

#include <cerrno>

#include "platform/error.h"

namespace ryn {
namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

}  // namespace

std::string EncodingKey(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  return out;
}

bool CanTranscode(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == kNoConversion) return false;
  iconv_close(cd);
  return true;
}

TTranscoder::TTranscoder(const std::string& to, const std::string& from)
    : cd_(iconv_open(to.c_str(), from.c_str())), fromUtf8_(EncodingKey(from) == "UTF8") {
  if (cd_ == kNoConversion) throw ERynError("cannot convert from " + from + " to " + to);
}

TTranscoder::~TTranscoder() { iconv_close(cd_); }

void TTranscoder::Convert(std::string_view in, std::string& out) {
  if (pending_.empty()) {
    Run(in.data(), in.size(), out, false);
    return;
  }
  // A copy of the chunk behind the waiting bytes: cheap next to the conversion itself.
  std::string joined = std::move(pending_);
  pending_.clear();
  joined.append(in);
  Run(joined.data(), joined.size(), out, false);
}

void TTranscoder::Finish(std::string& out) {
  if (!pending_.empty()) {
    std::string rest = std::move(pending_);
    pending_.clear();
    Run(rest.data(), rest.size(), out, true);
  }
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
}

void TTranscoder::Run(const char* in, size_t len, std::string& out, bool last) {
  char* src = const_cast<char*>(in);
  size_t left = len;
  while (left > 0) {
    size_t used = out.size();
    out.resize(used + left * 2 + 16);
    char* dst = out.data() + used;
    size_t room = out.size() - used;
    size_t r = iconv(cd_, &src, &left, &dst, &room);
    out.resize(out.size() - room);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EINVAL && !last) {  // a character continues in the next chunk
      pending_.assign(src, left);
      return;
    }
    // No character of the source, or none the target has: one "?" for the character.
    // A character that the end of the text cut off is one "?" as well.
    size_t skip = errno == EINVAL ? left : 1;
    if (fromUtf8_ && skip == 1) {
      size_t n = Utf8CharLength(std::string_view(src, left));
      if (n > 0) skip = n;
    }
    if (skip > left) skip = left;
    src += skip;
    left -= skip;
    out += '?';
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  }
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
