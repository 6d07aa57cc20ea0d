// The transcoder's conversions through iconv (POSIX systems).
#include <iconv.h>

#include <cerrno>

#include "common/transcoder.h"
#include "common/transcoder_system.h"
#include "platform/error.h"

namespace ryn {
namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

}  // namespace

struct TTranscoder::System {
  iconv_t conversion;
};

bool FillBmpEntries(const std::string& target, BmpEntries& entries) {
  iconv_t cd = iconv_open(target.c_str(), "UTF-16LE");
  if (cd == kNoConversion) return false;
  for (uint32_t cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    char in[2] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8)};
    char out[8];
    char* src = in;
    char* dst = out;
    size_t inLeft = 2, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) continue;
    size_t n = sizeof out - outLeft;
    if (n == 0 || n > 4) continue;
    uint64_t e = n;
    for (size_t i = 0; i < n; ++i) e |= static_cast<uint64_t>(static_cast<unsigned char>(out[i])) << (8 * (i + 1));
    entries[cp] = e;
  }
  iconv_close(cd);
  return true;
}

bool CanTranscode(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == kNoConversion) return false;
  iconv_close(cd);
  return true;
}

TTranscoder::TTranscoder(const std::string& to, const std::string& from)
    : system_(std::make_unique<System>(System{iconv_open(to.c_str(), from.c_str())})),
      fromUtf8_(EncodingKey(from) == "UTF8"),
      toUtf8_(EncodingKey(to) == "UTF8") {
  if (system_->conversion == kNoConversion) throw ERynError("cannot convert from " + from + " to " + to);
  if (fromUtf8_) table_ = BmpTableFor(to);
}

TTranscoder::~TTranscoder() {
  if (system_->conversion != kNoConversion) iconv_close(system_->conversion);
}

void TTranscoder::Finish(std::string& out) {
  if (!pending_.empty()) {
    std::string rest = std::move(pending_);
    pending_.clear();
    Run(rest.data(), rest.size(), out, true);
  }
  // Text that went through the table alone left iconv untouched: many short fields are
  // converted one after the other, and each reset is a call into the library.
  if (systemUsed_) iconv(system_->conversion, nullptr, nullptr, nullptr, nullptr);
  systemUsed_ = false;
}

void TTranscoder::Run(const char* in, size_t len, std::string& out, bool last) {
  systemUsed_ = true;
  iconv_t conversion = system_->conversion;
  char* src = const_cast<char*>(in);
  size_t left = len;
  while (left > 0) {
    size_t used = out.size();
    out.resize(used + left * 2 + 16);
    char* dst = out.data() + used;
    size_t room = out.size() - used;
    size_t r = iconv(conversion, &src, &left, &dst, &room);
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
    bool badInput = errno == EINVAL || toUtf8_;
    if (fromUtf8_ && skip == 1) {
      size_t n = Utf8CharLength(std::string_view(src, left));
      if (n > 0) skip = n;
      else badInput = true;
    }
    ++(badInput ? replaced_.badInput : replaced_.unmapped);
    if (skip > left) skip = left;
    src += skip;
    left -= skip;
    out += badInput ? badMark_ : '?';
    iconv(conversion, nullptr, nullptr, nullptr, nullptr);
  }
}

}  // namespace ryn
