// Text-level steps of formula parsing that run before the grammar: normalization and the
// searches for keywords, braces and wildcards. All of them step over whole characters of
// the process code page, so the trail byte of a double-byte character (which may look like
// "[", "{", "~" or a letter) is never taken for punctuation or upper-cased.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ryn {

// Identifier characters, judged on the first byte of a character of the upper-cased text:
// letters, and every byte from 0x80 up (Chinese names).
inline bool IsIdentStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || c >= 0x80; }
inline bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '_'; }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

struct NormalizedFormula {
  int32_t code = 0;      // 0, 51, 52 or 53
  int32_t position = 0;  // 1-based, in plain
  std::string plain;     // CR LF pairs removed, comment cut, spaces trimmed
  std::string text;      // the working text: upper-cased outside string literals
};

// Prepares a formula for parsing. Only parentheses outside string literals count, so a
// literal such as "a(" does not unbalance a formula.
NormalizedFormula NormalizeFormula(std::string_view formula);

// The 0-based offset in formula of the byte at offset in its normalized plain text, or in
// its working text when inText; an offset past the end stands after the last byte kept.
size_t OffsetInFormula(std::string_view formula, size_t offset, bool inText);

// text up to a "//" outside double quotes: the rest of the line is a comment.
std::string_view CutComment(std::string_view text);

// Counts the characters of the process code page in text.
size_t CharacterCount(std::string_view text);

// 0-based offset of the first c outside double quotes at or after from; npos when none.
size_t FindOutsideQuotes(std::string_view text, char c, size_t from = 0);

// 0-based offset of the first whole identifier equal to word (upper case) outside double
// quotes, starting at or after from; npos when none.
size_t FindKeyword(std::string_view text, std::string_view word, size_t from);

// Length of the identifier starting at offset (identifier characters and one trailing
// "$"); 0 when none starts there.
size_t IdentifierLength(std::string_view text, size_t offset);

// 0-based offsets of the "*" of every "[*" (rows) and of every ",*" inside square
// brackets (columns), outside double quotes.
struct Wildcards {
  std::vector<size_t> rows;
  std::vector<size_t> cols;
};
Wildcards FindWildcards(std::string_view text);

}  // namespace ryn
