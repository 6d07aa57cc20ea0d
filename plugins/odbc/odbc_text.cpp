#include "odbc/odbc_text.h"

#include <algorithm>
#include <vector>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {
namespace {

// The attributes of a connection string: key and the whole key=value text, in order.
struct Attribute {
  std::string_view key;
  std::string_view text;
};

std::vector<Attribute> SplitAttributes(std::string_view s) {
  std::vector<Attribute> out;
  size_t pos = 0;
  while (pos < s.size()) {
    const size_t start = pos;
    size_t eq = std::string_view::npos;
    while (pos < s.size() && s[pos] != ';') {
      if (s[pos] == '=' && eq == std::string_view::npos) {
        eq = pos;
        // A value in braces runs to its closing brace ("}}" stands for one "}").
        size_t v = pos + 1;
        while (v < s.size() && (s[v] == ' ' || s[v] == '\t')) ++v;
        if (v < s.size() && s[v] == '{') {
          pos = v + 1;
          while (pos < s.size()) {
            if (s[pos] == '}') {
              if (pos + 1 < s.size() && s[pos + 1] == '}') {
                pos += 2;
                continue;
              }
              ++pos;
              break;
            }
            ++pos;
          }
          continue;
        }
      }
      ++pos;
    }
    const std::string_view text = s.substr(start, pos - start);
    const std::string_view key = TrimBlanks(eq == std::string_view::npos ? text : s.substr(start, eq - start));
    if (!TrimBlanks(text).empty()) out.push_back({key, text});
    if (pos < s.size()) ++pos;  // the ";"
  }
  return out;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string HideSecrets(std::string_view connection) {
  std::string out;
  for (const Attribute& a : SplitAttributes(connection)) {
    if (SameTextAscii(a.key, "PWD") || SameTextAscii(a.key, "Password")) continue;
    if (!out.empty()) out += ';';
    out += TrimBlanks(a.text);
  }
  return out;
}

std::string ConnectionAttribute(std::string_view key, std::string_view value) {
  std::string out(key);
  out += '=';
  if (value.find_first_of(";{}=") == std::string_view::npos && TrimBlanks(value) == value) {
    out += value;
    return out;
  }
  out += '{';
  for (char c : value) {
    if (c == '}') out += '}';
    out += c;
  }
  out += '}';
  return out;
}

TWideText::TWideText()
    : toCodePage_(std::make_unique<TTranscoder>(ProcessCodePage().Name(), "UTF-8")),
      utf8CodePage_(EncodingKey(ProcessCodePage().Name()) == "UTF8") {}

TWideText::~TWideText() = default;

TOdbcTextNotes TWideText::Convert(const SQLWCHAR* units, size_t count, std::string& out) {
  TOdbcTextNotes notes;
  // ASCII, by far the most common, goes straight through.
  size_t i = 0;
  while (i < count && units[i] < 0x80) ++i;
  if (i == count) {
    out.resize(count);
    for (size_t k = 0; k < count; ++k) out[k] = static_cast<char>(units[k]);
    return notes;
  }
  utf8_.clear();
  for (size_t k = 0; k < count; ++k) {
    char32_t c = units[k];
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < count && units[k + 1] >= 0xDC00 && units[k + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[k + 1] - 0xDC00);
      ++k;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      ++notes.badUnits;
      utf8_ += '?';
      continue;
    }
    AppendUtf8(c, utf8_);
  }
  if (utf8CodePage_) {
    out = utf8_;
    return notes;
  }
  toCodePage_->ResetReplaced();
  toCodePage_->ConvertAll(utf8_, out);
  notes.unmapped = toCodePage_->Replaced().unmapped;
  return notes;
}

std::string TWideText::Narrow(const SQLWCHAR* units, size_t count) {
  std::string out;
  Convert(units, count, out);
  return out;
}

std::basic_string<SQLWCHAR> ToSqlWide(std::string_view narrow) {
  const std::u16string wide = ToWide(narrow);
  return std::basic_string<SQLWCHAR>(wide.begin(), wide.end());
}

std::string DiagnosticText(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string out;
  TWideText wide;
  for (SQLSMALLINT rec = 1;; ++rec) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::vector<SQLWCHAR> message(1024);
    SQLRETURN rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<size_t>(length) >= message.size()) {
      message.resize(static_cast<size_t>(length) + 1);
      rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    size_t n = std::min(static_cast<size_t>(length), message.size() - 1);
    // Drivers often end their messages with a line break.
    while (n > 0 && (message[n - 1] == '\n' || message[n - 1] == '\r' || message[n - 1] == ' ')) --n;
    if (!out.empty()) out += "; ";
    out += wide.Narrow(state, 5) + " " + wide.Narrow(message.data(), n);
  }
  return out;
}

std::string FirstSqlState(SQLSMALLINT handleType, SQLHANDLE handle) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLWCHAR message[2];
  const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, 1, state, &native, message, 2, &length);
  if (!SQL_SUCCEEDED(rc)) return std::string();
  std::string out;
  for (int i = 0; i < 5 && state[i]; ++i) out += static_cast<char>(state[i]);
  return out;
}

}  // namespace ryn
