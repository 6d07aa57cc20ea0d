// The process code page's conversions through iconv (POSIX systems).
#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace ryn {
namespace {

constexpr const char* kDefaultCodePage = "GBK";
constexpr const char* kUtf16 = "UTF-16LE";
constexpr const char* kUtf8 = "UTF-8";

std::string NormalizedName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  return out;
}

bool IsAscii(std::u16string_view s) {
  for (char16_t c : s)
    if (c >= 0x80) return false;
  return true;
}

// One iconv descriptor, opened lazily; a converter is used by one thread at a time.
class Converter {
 public:
  Converter(const char* to, const char* from) : conversion_(iconv_open(to, from)) {
    if (conversion_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(conversion_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts in, replacing undecodable input units (of inUnit bytes) by replacement; when
  // strict, the first such unit fails the whole conversion (ok set to false).
  std::string Run(const char* in, size_t inLen, size_t inUnit, std::string_view replacement, bool* ok = nullptr) {
    std::string out;
    out.resize(inLen * 2 + 16);
    iconv(conversion_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    size_t srcLeft = inLen;
    size_t used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      size_t r = iconv(conversion_, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else if (ok) {
        *ok = false;
        return std::string();
      } else {  // EILSEQ or EINVAL: skip one input unit and put the replacement
        size_t skip = srcLeft < inUnit ? srcLeft : inUnit;
        src += skip;
        srcLeft -= skip;
        if (out.size() - used < replacement.size() + 8) out.resize(out.size() * 2);
        out.replace(used, replacement.size(), replacement);
        used += replacement.size();
        iconv(conversion_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    // Flush any shift state.
    for (;;) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      size_t r = iconv(conversion_, nullptr, nullptr, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (r != static_cast<size_t>(-1) || errno != E2BIG) break;
      out.resize(out.size() * 2);
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t conversion_;
};

// One set of descriptors for the process, used under a lock (a descriptor carries state
// between calls). Not thread-local: a library holding thread-local objects cannot be
// unloaded cleanly, and engine libraries are loaded and unloaded at run time.
struct SharedConverters {
  std::mutex lock;
  std::unique_ptr<Converter> toWide, toNarrow, fromUtf8, toUtf8;
};

SharedConverters& Converters() {
  static SharedConverters c;
  return c;
}

Converter& Get(std::unique_ptr<Converter>& slot, const char* to, const char* from) {
  if (!slot) slot = std::make_unique<Converter>(to, from);
  return *slot;
}

bool SameEncoding(const std::string& a, const char* b) { return NormalizedName(a) == NormalizedName(b); }

}  // namespace

CodePage::CodePage(std::string name) : name_(std::move(name)) {
  std::string norm = NormalizedName(name_);
  if (norm == "UTF8") {
    kind_ = CodePageKind::kUtf8;
    for (int b = 0xC2; b <= 0xF4; ++b) lead_[b] = 1;
    for (int b = 0x80; b <= 0xBF; ++b) trail_[b] = 1;
    return;
  }
  // Probe which bytes start a longer character: iconv reports an incomplete sequence.
  iconv_t cd = iconv_open(kUtf16, name_.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw std::runtime_error("unknown code page " + name_);
  bool any = false;
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in[1] = {static_cast<char>(b)};
    char out[8];
    char* src = in;
    char* dst = out;
    size_t srcLeft = 1, dstLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) && errno == EINVAL) {
      lead_[b] = 1;
      any = true;
    }
  }
  iconv_close(cd);
  if (!any) return;
  kind_ = norm == "GB18030" ? CodePageKind::kGb18030 : CodePageKind::kDoubleByte;
  for (int b = 0x40; b <= 0xFF; ++b) trail_[b] = 1;
  if (kind_ == CodePageKind::kGb18030)
    for (int b = '0'; b <= '9'; ++b) trail_[b] = 1;
}

namespace {

// Whether the encoding holds every character of text (UTF-8) exactly.
bool Holds(const std::string& encoding, std::string_view text) {
  iconv_t cd = iconv_open(encoding.c_str(), kUtf8);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(text.data());
  size_t srcLeft = text.size();
  std::string out(text.size() * 4 + 16, '\0');
  char* dst = out.data();
  size_t dstLeft = out.size();
  size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  // Some converters substitute instead of failing: count those as lost too.
  return r == 0 && srcLeft == 0;
}

struct ProcessPage {
  std::unique_ptr<CodePage> page;
  std::string problem;
};

// Chosen once. An encoding that cannot serve is never fatal here (the library may be
// loading inside a host): the texts fall back to UTF-8 and the problem is kept for the
// entry points to refuse work with.
const ProcessPage& Process() {
  static const ProcessPage process = [] {
    ProcessPage p;
    const char* env = std::getenv("RYNFILER_CODEPAGE");
    const std::string name(env && *env ? env : kDefaultCodePage);
    try {
      p.page = std::make_unique<CodePage>(name);
    } catch (const std::exception&) {
      p.problem = "RYNFILER_CODEPAGE=" + name + ": the system does not know this encoding";
      p.page = std::make_unique<CodePage>(kUtf8);
      return p;
    }
    // The system's own words (keys, messages, names) must survive the conversion.
    if (!Holds(name, "\u6587\u4ef6\u540d\u9009\u62e9\u5217\u5b58\u50a8\u5199\u5165\u5931\u8d25"))
      p.problem = "RYNFILER_CODEPAGE=" + name + ": this encoding cannot hold the system's Chinese texts";
    return p;
  }();
  return process;
}

}  // namespace

const CodePage& ProcessCodePage() { return *Process().page; }

const std::string& CodePageProblem() { return Process().problem; }

std::u16string ToWide(std::string_view narrow) {
  if (IsAscii(narrow)) return std::u16string(narrow.begin(), narrow.end());
  std::lock_guard<std::mutex> lock(Converters().lock);
  auto& c = Get(Converters().toWide, kUtf16, ProcessCodePage().Name().c_str());
  static const std::string kReplacement("\xFD\xFF", 2);  // U+FFFD little-endian
  std::string bytes = c.Run(narrow.data(), narrow.size(), 1, kReplacement);
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

std::string ToNarrow(std::u16string_view wide) {
  if (IsAscii(wide)) return std::string(wide.begin(), wide.end());
  std::lock_guard<std::mutex> lock(Converters().lock);
  auto& c = Get(Converters().toNarrow, ProcessCodePage().Name().c_str(), kUtf16);
  return c.Run(reinterpret_cast<const char*>(wide.data()), wide.size() * 2, 2, "?");
}

std::string FromUtf8(std::string_view utf8) {
  if (IsAscii(utf8) || SameEncoding(ProcessCodePage().Name(), kUtf8)) return std::string(utf8);
  std::lock_guard<std::mutex> lock(Converters().lock);
  auto& c = Get(Converters().fromUtf8, ProcessCodePage().Name().c_str(), kUtf8);
  return c.Run(utf8.data(), utf8.size(), 1, "?");
}

std::string ToUtf8(std::string_view narrow) {
  if (IsAscii(narrow) || SameEncoding(ProcessCodePage().Name(), kUtf8)) return std::string(narrow);
  std::lock_guard<std::mutex> lock(Converters().lock);
  auto& c = Get(Converters().toUtf8, kUtf8, ProcessCodePage().Name().c_str());
  return c.Run(narrow.data(), narrow.size(), 1, "\xEF\xBF\xBD");
}

bool TryToUtf8(std::string_view narrow, std::string& out) {
  if (IsAscii(narrow) || SameEncoding(ProcessCodePage().Name(), kUtf8)) {
    out.assign(narrow);
    return true;
  }
  std::lock_guard<std::mutex> lock(Converters().lock);
  auto& c = Get(Converters().toUtf8, kUtf8, ProcessCodePage().Name().c_str());
  bool ok = true;
  out = c.Run(narrow.data(), narrow.size(), 1, "", &ok);
  return ok;
}

std::string FromEncoding(std::string_view text, const char* encoding) {
  // Converted even between equal encodings: what is no character is still replaced.
  if (IsAscii(text)) return std::string(text);
  try {
    // Rare (error texts): a descriptor of its own, not one of the shared ones.
    Converter c(ProcessCodePage().Name().c_str(), encoding);
    return c.Run(text.data(), text.size(), 1, "?");
  } catch (const std::runtime_error&) {
    std::string out(text);
    for (char& ch : out)
      if (static_cast<unsigned char>(ch) >= 0x80) ch = '?';
    return out;
  }
}

std::string SystemErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r: the text may be a static one rather than the buffer.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return FromEncoding(text, nl_langinfo(CODESET));
}

}  // namespace ryn
