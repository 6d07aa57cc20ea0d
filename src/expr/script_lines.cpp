#include "expr/script_lines.h"

#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {
namespace {

bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= 32; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool WordAt(std::string_view text, size_t at, std::string_view word) {
  if (at + word.size() > text.size()) return false;
  if (at > 0 && !IsBlankByte(text[at - 1])) return false;
  if (at + word.size() < text.size() && !IsBlankByte(text[at + word.size()])) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (UpperAscii(text[at + i]) != word[i]) return false;
  return true;
}

std::string SetExportCall(std::string_view n, std::string_view v) {
  std::string s = "SetExport(";
  s += n;
  s += ", ";
  s += v;
  s += ')';
  return s;
}

}  // namespace

// A word must follow a blank, and the byte after a blank always starts a character, so
// the trail byte of a double-byte character is never read as a letter of the word.
size_t FindScriptWord(std::string_view text, std::string_view word, size_t from) {
  const CodePage& cp = ProcessCodePage();
  const char* end = text.data() + text.size();
  bool quoted = false;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && i >= from && WordAt(text, i, word)) {
      return i;
    }
    i += cp.CharLength(text.data() + i, end);
  }
  return std::string_view::npos;
}

std::string RewriteValueLine(std::string_view n, std::string_view v) {
  size_t ifAt = FindScriptWord(v, "IF", 0);
  size_t thenAt = ifAt == std::string_view::npos ? ifAt : FindScriptWord(v, "THEN", ifAt);
  if (thenAt == std::string_view::npos) return SetExportCall(n, v);
  size_t elseAt = FindScriptWord(v, "ELSE", thenAt);
  std::string_view c = TrimBlanks(v.substr(ifAt + 2, thenAt - ifAt - 2));
  std::string_view t = TrimBlanks(
      v.substr(thenAt + 4, elseAt == std::string_view::npos ? std::string_view::npos : elseAt - thenAt - 4));
  std::string s = "IF ";
  s += c;
  s += " THEN ";
  s += SetExportCall(n, t);
  if (elseAt != std::string_view::npos) {
    s += " ELSE ";
    s += SetExportCall(n, TrimBlanks(v.substr(elseAt + 4)));
  }
  return s;
}

TScriptLine ParseScriptLine(std::string_view line) {
  TScriptLine out;
  std::string_view trimmed = TrimBlanks(line);
  out.trimmed = trimmed;
  if (trimmed.empty()) return out;
  out.kind = TScriptLine::Kind::kInvalid;
  size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return out;
  std::string_view left = TrimBlanks(trimmed.substr(0, eq));
  std::string_view right = TrimBlanks(trimmed.substr(eq + 1));
  if (right.empty()) return out;
  if (SameTextAscii(left, "Filter")) {
    out.kind = TScriptLine::Kind::kFilter;
    out.formula = right;
    return out;
  }
  if (left.size() >= 7 && SameTextAscii(left.substr(0, 6), "Export") && left[6] == '(' && left.back() == ')') {
    std::string_view n = left.substr(7, left.size() - 8);
    if (TrimBlanks(n).empty()) return out;
    out.kind = TScriptLine::Kind::kValue;
    out.formula = RewriteValueLine(n, right);
  }
  return out;
}

}  // namespace ryn
