#include "expr/script_lines.h"

#include "expr/syntax_text.h"
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

// Appends part, a substring of v, to s and notes where it stands.
void AppendPiece(std::string& s, std::string_view v, std::string_view part, std::vector<TFormulaPiece>* pieces) {
  if (pieces && !part.empty())
    pieces->push_back(TFormulaPiece{s.size(), static_cast<size_t>(part.data() - v.data()), part.size()});
  s += part;
}

// The index n is noted in indexes, counted from n's start.
void AppendSetExport(std::string& s, std::string_view n, std::string_view v, std::string_view part,
                     std::vector<TFormulaPiece>* pieces, std::vector<TFormulaPiece>* indexes) {
  s += "SetExport(";
  AppendPiece(s, n, n, indexes);
  s += ", ";
  AppendPiece(s, v, part, pieces);
  s += ')';
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

std::string RewriteValueLine(std::string_view n, std::string_view v, std::vector<TFormulaPiece>* pieces,
                             std::vector<TFormulaPiece>* indexes) {
  std::string s;
  size_t ifAt = FindScriptWord(v, "IF", 0);
  size_t thenAt = ifAt == std::string_view::npos ? ifAt : FindScriptWord(v, "THEN", ifAt);
  if (thenAt == std::string_view::npos) {
    AppendSetExport(s, n, v, v, pieces, indexes);
    return s;
  }
  size_t elseAt = FindScriptWord(v, "ELSE", thenAt);
  std::string_view c = TrimBlanks(v.substr(ifAt + 2, thenAt - ifAt - 2));
  std::string_view t = TrimBlanks(
      v.substr(thenAt + 4, elseAt == std::string_view::npos ? std::string_view::npos : elseAt - thenAt - 4));
  s = "IF ";
  AppendPiece(s, v, c, pieces);
  s += " THEN ";
  AppendSetExport(s, n, v, t, pieces, indexes);
  if (elseAt != std::string_view::npos) {
    s += " ELSE ";
    AppendSetExport(s, n, v, TrimBlanks(v.substr(elseAt + 4)), pieces, indexes);
  }
  return s;
}

std::optional<size_t> TScriptLine::IndexOffset(size_t offset) const {
  for (const TFormulaPiece& p : indexes)
    if (offset >= p.at && offset < p.at + p.length) return p.from + (offset - p.at);
  return std::nullopt;
}

size_t TScriptLine::SourceOffset(size_t offset) const {
  size_t at = pieces.empty() ? 0 : pieces.front().from;
  for (const TFormulaPiece& p : pieces) {
    if (offset < p.at) break;
    at = offset < p.at + p.length ? p.from + (offset - p.at) : p.from + p.length;
  }
  return at;
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
  // A comment ends the line: it must not swallow what the rewriting puts after the formula.
  if (left.size() >= 6 && SameTextAscii(left.substr(0, 6), "Export")) right = TrimBlanks(CutComment(right));
  if (right.empty()) return out;
  out.source = right;
  if (SameTextAscii(left, "Filter")) {
    out.kind = TScriptLine::Kind::kFilter;
    out.formula = right;
    out.pieces.push_back(TFormulaPiece{0, 0, right.size()});
    return out;
  }
  if (left.size() >= 7 && SameTextAscii(left.substr(0, 6), "Export") && left[6] == '(' && left.back() == ')') {
    std::string_view n = left.substr(7, left.size() - 8);
    if (TrimBlanks(n).empty()) return out;
    out.kind = TScriptLine::Kind::kValue;
    out.formula = RewriteValueLine(n, right, &out.pieces, &out.indexes);
    for (TFormulaPiece& p : out.indexes) p.from += static_cast<size_t>(n.data() - trimmed.data());
  }
  return out;
}

}  // namespace ryn
