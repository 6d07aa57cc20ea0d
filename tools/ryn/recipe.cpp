#include "recipe.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "platform/codepage.h"

namespace ryn::tool {
namespace {

constexpr std::string_view kHeading = "# ryn transfer recipe (UTF-8). Block lines: \"|\" the line then CR LF, \"/\" then LF,\n"
                                      "# \"<\" then CR, \".\" the last line, with no line end after it.\n";

// Marks of block lines: how the line's text ended in the value.
constexpr char kMarkCrLf = '|';
constexpr char kMarkLf = '/';
constexpr char kMarkCr = '<';
constexpr char kMarkEnd = '.';

// The first byte offset that is not well-formed UTF-8, or npos.
size_t BadUtf8At(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || (n == 2 && b < 0xC2) || i + n > s.size()) return i;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return i;
    const auto b1 = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
    if ((n == 3 && ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 >= 0xA0))) ||
        (n == 4 && ((b == 0xF0 && b1 < 0x90) || b > 0xF4 || (b == 0xF4 && b1 >= 0x90))))
      return i;
    i += n;
  }
  return std::string_view::npos;
}

// The text in UTF-8; under a UTF-8 code page the bytes pass through unconverted, so their
// form is checked here as the reader will check it.
std::string Utf8Of(std::string_view narrow, std::string_view key) {
  std::string utf8;
  if (!TryToUtf8(narrow, utf8) || BadUtf8At(utf8) != std::string_view::npos)
    throw ERecipeFormat(0, "the text of " + std::string(key) + " holds bytes that are no character of the code page " +
                               ProcessCodePage().Name());
  return utf8;
}

// A value of the recipe: on the key's line when it reads back the same after trimming,
// else as block lines.
void Put(std::string& out, std::string_view key, std::string_view utf8, bool block) {
  const bool plain = !utf8.empty() && utf8.find_first_of("\r\n") == std::string_view::npos &&
                     utf8.front() != ' ' && utf8.front() != '\t' && utf8.back() != ' ' && utf8.back() != '\t';
  out += key;
  out += ':';
  if (plain && !block) {
    out += ' ';
    out += utf8;
    out += '\n';
    return;
  }
  out += '\n';
  size_t start = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find_first_of("\r\n", start);
    char mark = kMarkEnd;
    size_t next = utf8.size();
    if (end == std::string_view::npos) {
      end = utf8.size();
    } else if (utf8[end] == '\r' && end + 1 < utf8.size() && utf8[end + 1] == '\n') {
      mark = kMarkCrLf;
      next = end + 2;
    } else {
      mark = utf8[end] == '\r' ? kMarkCr : kMarkLf;
      next = end + 1;
    }
    out += "  ";
    out += mark;
    if (end > start) {
      out += ' ';
      out.append(utf8.substr(start, end - start));
    }
    out += '\n';
    start = next;
  }
}

// A field name in double quotes; backslash escapes for the quote, the backslash and the
// line ends (applied to UTF-8, where no byte of a character is an ASCII one).
std::string QuotedUtf8(std::string_view utf8) {
  std::string q = "\"";
  for (char c : utf8) {
    switch (c) {
      case '"': q += "\\\""; break;
      case '\\': q += "\\\\"; break;
      case '\r': q += "\\r"; break;
      case '\n': q += "\\n"; break;
      default: q += c;
    }
  }
  return q + "\"";
}

// UTF-8 of the file in the process code page, exactly: a character the code page lacks
// would come back as "?" and run a different job than the file says.
std::string Narrow(std::string_view utf8, int line) {
  std::string narrow = FromUtf8(utf8), back;
  if (!TryToUtf8(narrow, back) || back != utf8)
    throw ERecipeFormat(line, "a character the code page " + ProcessCodePage().Name() + " lacks");
  return narrow;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ParseInt(std::string_view s, int32_t& value) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size();
}

// `TYPE "NAME"` of a field line, NAME unescaped (UTF-8); false when malformed.
bool ParseFieldValue(std::string_view v, int32_t& type, std::string& name) {
  const size_t space = v.find_first_of(" \t");
  if (space == std::string_view::npos || !ParseInt(v.substr(0, space), type)) return false;
  v = Trim(v.substr(space));
  if (v.size() < 2 || v.front() != '"' || v.back() != '"') return false;
  v = v.substr(1, v.size() - 2);
  name.clear();
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '"') return false;
    if (v[i] != '\\') {
      name += v[i];
      continue;
    }
    if (++i == v.size()) return false;
    switch (v[i]) {
      case '"': name += '"'; break;
      case '\\': name += '\\'; break;
      case 'r': name += '\r'; break;
      case 'n': name += '\n'; break;
      default: return false;
    }
  }
  return true;
}

// A field name for a message line: CR and LF shown as \r and \n so that the line stays one.
std::string Shown(const std::string& name) {
  std::string s = "\"";
  for (char c : name) s += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  return s + "\"";
}

}  // namespace

std::string TRecipe::Format() const {
  std::string out(kHeading);
  Put(out, "from", Utf8Of(from, "from"), false);
  Put(out, "to", Utf8Of(to, "to"), false);
  if (fromOptions) Put(out, "from-options", Utf8Of(*fromOptions, "from-options"), true);
  if (toOptions) Put(out, "to-options", Utf8Of(*toOptions, "to-options"), true);
  if (script) Put(out, "script", Utf8Of(*script, "script"), true);
  out += "fields: " + std::to_string(fields.size()) + "\n";
  for (size_t i = 0; i < fields.size(); ++i)
    out += "field " + std::to_string(i) + ": " + std::to_string(fields[i].type) + " " +
           QuotedUtf8(Utf8Of(fields[i].name, "field " + std::to_string(i))) + "\n";
  return out;
}

TRecipe TRecipe::Parse(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (const size_t bad = BadUtf8At(text); bad != std::string_view::npos)
    throw ERecipeFormat(static_cast<int>(std::count(text.begin(), text.begin() + bad, '\n')) + 1,
                        "bytes that are not UTF-8");
  TRecipe r;
  std::map<std::string, int> seen;  // key -> its line
  std::string* block = nullptr;     // the value that block lines extend
  bool blockEnded = false;          // a "." line closed it
  std::optional<int32_t> count;
  int countLine = 0;
  int line = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view l = text.substr(start, end - start);
    start = end + 1;
    ++line;
    if (l.ends_with('\r')) l.remove_suffix(1);
    if (Trim(l).empty() || l.front() == '#') continue;
    auto fail = [&](const std::string& message) { throw ERecipeFormat(line, message); };
    if (l.front() == ' ' || l.front() == '\t') {
      const std::string_view t = l.substr(l.find_first_not_of(" \t"));
      const char mark = t.front();
      if (mark != kMarkCrLf && mark != kMarkLf && mark != kMarkCr && mark != kMarkEnd)
        fail("an indented line must start with |, /, < or .");
      if (t.size() > 1 && t[1] != ' ') fail(std::string("a space must follow the ") + mark);
      if (!block) fail("a block line belongs under a key with nothing after its colon");
      if (blockEnded) fail("a block line after the \".\" line that ended the block");
      if (t.size() > 2) *block += Narrow(t.substr(2), line);
      if (mark == kMarkCrLf) *block += "\r\n";
      if (mark == kMarkLf) *block += "\n";
      if (mark == kMarkCr) *block += "\r";
      blockEnded = mark == kMarkEnd;
      continue;
    }
    block = nullptr;
    blockEnded = false;
    const size_t colon = l.find(':');
    if (colon == std::string_view::npos) fail("expected \"key: value\"");
    const std::string key(Trim(l.substr(0, colon)));
    const std::string_view value = Trim(l.substr(colon + 1));
    if (key.starts_with("field ")) {
      int32_t index = 0;
      if (!ParseInt(Trim(key.substr(6)), index)) fail("expected a field number after \"field\"");
      if (!count) fail("field lines follow the \"fields:\" line");
      if (index != static_cast<int32_t>(r.fields.size()))
        fail("field " + std::to_string(index) + " where field " + std::to_string(r.fields.size()) + " was expected");
      TRecipeField f;
      std::string name;
      if (!ParseFieldValue(value, f.type, name))
        fail("expected a type code and a quoted name, e.g. 7 \"name\" (\\\" \\\\ \\r \\n inside the quotes)");
      f.name = Narrow(name, line);
      r.fields.push_back(std::move(f));
      continue;
    }
    if (auto [it, fresh] = seen.emplace(key, line); !fresh)
      fail("\"" + key + "\" given twice (first on line " + std::to_string(it->second) + ")");
    std::string* slot = nullptr;
    if (key == "from") slot = &r.from;
    else if (key == "to") slot = &r.to;
    else if (key == "from-options") slot = &r.fromOptions.emplace();
    else if (key == "to-options") slot = &r.toOptions.emplace();
    else if (key == "script") slot = &r.script.emplace();
    if (slot) {
      *slot = Narrow(value, line);
      if (value.empty()) block = slot;
      continue;
    }
    if (key != "fields") fail("unknown key \"" + key + "\"");
    int32_t n = 0;
    if (!ParseInt(value, n) || n < 0) fail("expected the number of fields");
    count = n;
    countLine = line;
  }
  if (!seen.contains("from")) throw ERecipeFormat(0, "no \"from:\" line (the source engine)");
  if (!seen.contains("to")) throw ERecipeFormat(0, "no \"to:\" line (the destination engine)");
  if (!count) throw ERecipeFormat(0, "no \"fields:\" line (the source's fields)");
  if (*count != static_cast<int32_t>(r.fields.size()))
    throw ERecipeFormat(countLine, "fields: " + std::to_string(*count) + " but " + std::to_string(r.fields.size()) +
                                       " field lines follow");
  return r;
}

std::vector<TRecipeField> TRecipe::FieldsOf(ITransEngine& engine) {
  std::vector<TRecipeField> fields;
  IntfPtr<ITransPort> port = engine.GetPort();
  if (!port) return fields;
  const int32_t count = port->GetFieldCount();
  for (int32_t i = 0; i < count; ++i) {
    IntfPtr<ITransField> f = port->GetField(i);
    fields.push_back(f ? TRecipeField{f->GetName(), f->GetDataType()} : TRecipeField{});
  }
  return fields;
}

std::vector<std::string> TRecipe::DriftTo(const std::vector<TRecipeField>& now) const {
  const std::vector<TRecipeField>& was = fields;
  std::vector<std::string> lines;
  if (was == now) return lines;
  if (was.size() != now.size())
    lines.push_back("field count " + std::to_string(was.size()) + " -> " + std::to_string(now.size()));
  // Fields keep their identity by name (the k-th field of a name stays the k-th). Of the
  // pairs so matched, the longest run in the same order stayed; the others moved.
  constexpr size_t kNone = static_cast<size_t>(-1);
  std::vector<size_t> partnerOfWas(was.size(), kNone), partnerOfNow(now.size(), kNone);
  std::map<std::string, std::vector<size_t>> byName;
  for (size_t i = was.size(); i-- > 0;) byName[was[i].name].push_back(i);
  for (size_t j = 0; j < now.size(); ++j) {
    auto it = byName.find(now[j].name);
    if (it == byName.end() || it->second.empty()) continue;
    partnerOfNow[j] = it->second.back();
    partnerOfWas[it->second.back()] = j;
    it->second.pop_back();
  }
  // Longest increasing run of recorded numbers, in the order of the fields now.
  std::vector<size_t> tails, tailAt, before(now.size(), kNone);
  for (size_t j = 0; j < now.size(); ++j) {
    if (partnerOfNow[j] == kNone) continue;
    const size_t k = std::lower_bound(tails.begin(), tails.end(), partnerOfNow[j]) - tails.begin();
    if (k > 0) before[j] = tailAt[k - 1];
    if (k == tails.size()) tails.push_back(0), tailAt.push_back(0);
    tails[k] = partnerOfNow[j];
    tailAt[k] = j;
  }
  std::vector<bool> stayed(was.size(), false);
  for (size_t j = tailAt.empty() ? kNone : tailAt.back(); j != kNone; j = before[j]) stayed[partnerOfNow[j]] = true;
  // Between two fields that stayed, unmatched fields pair up in order as renamed ones.
  std::vector<size_t> renamedTo(was.size(), kNone);
  std::vector<bool> renamedFrom(now.size(), false);
  size_t i = 0, j = 0;
  while (i < was.size() || j < now.size()) {
    std::vector<size_t> gone, come;
    for (; i < was.size() && !stayed[i]; ++i)
      if (partnerOfWas[i] == kNone) gone.push_back(i);
    for (; j < now.size() && !(partnerOfNow[j] != kNone && stayed[partnerOfNow[j]]); ++j)
      if (partnerOfNow[j] == kNone) come.push_back(j);
    for (size_t k = 0; k < gone.size() && k < come.size(); ++k) {
      renamedTo[gone[k]] = come[k];
      renamedFrom[come[k]] = true;
    }
    ++i, ++j;  // past the pair that stayed
  }
  for (size_t w = 0; w < was.size(); ++w) {
    const std::string head = "field " + std::to_string(w) + " " + Shown(was[w].name);
    size_t n = partnerOfWas[w];
    if (n == kNone && renamedTo[w] == kNone) {
      lines.push_back(head + " removed");
      continue;
    }
    if (n == kNone) {
      n = renamedTo[w];
      lines.push_back(head + " renamed to " + Shown(now[n].name));
    } else if (!stayed[w]) {
      lines.push_back(head + " moved to " + std::to_string(n));
    }
    if (was[w].type != now[n].type)
      lines.push_back("field " + std::to_string(w) + " " + Shown(now[n].name) + ": type " + std::to_string(was[w].type) +
                      " -> " + std::to_string(now[n].type));
  }
  for (size_t n = 0; n < now.size(); ++n)
    if (partnerOfNow[n] == kNone && !renamedFrom[n])
      lines.push_back("field " + std::to_string(n) + " " + Shown(now[n].name) + " added");
  return lines;
}

}  // namespace ryn::tool
