#include "expr/syntax_text.h"

#include "expr/syntax_errors.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

constexpr int kMaxParenDepth = 6;

size_t CharLen(std::string_view s, size_t i) {
  return ProcessCodePage().CharLength(s.data() + i, s.data() + s.size());
}

unsigned char ByteAt(std::string_view s, size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0; }

std::string RemoveCrLf(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      ++i;
      continue;
    }
    out += s[i];
  }
  return out;
}


std::string_view TrimSpaces(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// The state of the walk that turns the plain text into the working text: string literals,
// and square brackets, inside which spaces are dropped (up to the next "]" or "'").
struct TextScan {
  bool quoted = false;
  bool inBracket = false;
  // False when the character of len bytes starting with c is left out of the working text.
  bool Keep(char c, size_t len) {
    if (c == '"') {
      quoted = !quoted;
      return true;
    }
    if (quoted || len != 1) return true;
    if (c == ' ' && inBracket) return false;
    if (c == '[') inBracket = true;
    if (c == ']' || c == '\'') inBracket = false;
    return true;
  }
};

}  // namespace

std::string_view CutComment(std::string_view s) {
  bool quoted = false;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) {
    if (s[i] == '"') quoted = !quoted;
    else if (!quoted && s[i] == '/' && ByteAt(s, i + 1) == '/') return s.substr(0, i);
  }
  return s;
}

NormalizedFormula NormalizeFormula(std::string_view formula) {
  NormalizedFormula n;
  std::string noBreaks = RemoveCrLf(formula);
  n.plain = std::string(TrimSpaces(CutComment(noBreaks)));
  const std::string& s = n.plain;
  n.text.reserve(s.size());
  TextScan scan;
  int depth = 0;
  size_t openQuote = 0;
  for (size_t i = 0; i < s.size();) {
    size_t len = CharLen(s, i);
    char c = s[i];
    if (c == '"') openQuote = i;
    if (!scan.Keep(c, len)) {
      i += len;
      continue;
    }
    if (!scan.quoted && len == 1 && c != '"') {
      if (c == '(' && ++depth > kMaxParenDepth) {
        n.code = kErrTooManyParens;
        n.position = static_cast<int32_t>(i + 1);
        return n;
      }
      if (c == ')' && --depth < 0) {
        n.code = kErrParenMismatch;
        n.position = static_cast<int32_t>(i + 1);
        return n;
      }
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (len == 1) n.text += c;
    else n.text.append(s, i, len);
    i += len;
  }
  // An open string literal also hides any ")" after it, so it is reported first.
  if (scan.quoted) {
    n.code = kErrQuoteMismatch;
    n.position = static_cast<int32_t>(openQuote + 1);
  } else if (depth != 0) {
    n.code = kErrParenMismatch;
    n.position = static_cast<int32_t>(s.size() + 1);
  }
  return n;
}

size_t OffsetInFormula(std::string_view formula, size_t offset, bool inText) {
  // Where each byte of the text without CR LF pairs came from.
  std::vector<size_t> from;
  from.reserve(formula.size());
  for (size_t i = 0; i < formula.size(); ++i) {
    if (formula[i] == '\r' && i + 1 < formula.size() && formula[i + 1] == '\n') {
      ++i;
      continue;
    }
    from.push_back(i);
  }
  std::string noBreaks;
  noBreaks.reserve(from.size());
  for (size_t i : from) noBreaks += formula[i];
  const std::string_view cut = CutComment(noBreaks);
  const std::string_view plain = TrimSpaces(cut);
  const size_t start = plain.empty() ? 0 : static_cast<size_t>(plain.data() - noBreaks.data());
  if (inText) {
    // Replays the space removal to find the plain byte of the text's byte.
    TextScan scan;
    size_t kept = 0, i = 0;
    while (i < plain.size()) {
      const size_t len = CharLen(plain, i);
      if (scan.Keep(plain[i], len)) {
        if (kept + len > offset) break;
        kept += len;
      }
      i += len;
    }
    offset = i;
  }
  if (offset < plain.size()) return from[start + offset];
  return plain.empty() ? 0 : from[start + plain.size() - 1] + 1;
}

size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i += CharLen(text, i)) ++count;
  return count;
}

size_t FindOutsideQuotes(std::string_view text, char c, size_t from) {
  bool quoted = false;
  for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
    if (text[i] == '"') quoted = !quoted;
    else if (!quoted && i >= from && text[i] == c) return i;
  }
  return std::string_view::npos;
}

size_t IdentifierLength(std::string_view text, size_t offset) {
  if (!IsIdentStart(ByteAt(text, offset))) return 0;
  size_t i = offset;
  while (i < text.size() && IsIdentChar(ByteAt(text, i))) i += CharLen(text, i);
  if (ByteAt(text, i) == '$') ++i;
  return i - offset;
}

size_t FindKeyword(std::string_view text, std::string_view word, size_t from) {
  bool quoted = false;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '"') quoted = !quoted;
    if (!quoted) {
      if (size_t len = IdentifierLength(text, i)) {
        if (i >= from && text.substr(i, len) == word) return i;
        i += len;
        continue;
      }
    }
    i += CharLen(text, i);
  }
  return std::string_view::npos;
}

Wildcards FindWildcards(std::string_view text) {
  Wildcards w;
  bool quoted = false;
  int brackets = 0;
  for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
    char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '[') {
      ++brackets;
      if (ByteAt(text, i + 1) == '*') w.rows.push_back(i + 1);
    } else if (c == ']') {
      if (brackets > 0) --brackets;
    } else if (c == ',' && brackets > 0 && ByteAt(text, i + 1) == '*') {
      w.cols.push_back(i + 1);
    }
  }
  return w;
}

}  // namespace ryn
