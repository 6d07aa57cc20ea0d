// Helpers over narrow text that respect multi-byte characters: the bytes of a double-byte
// character are never folded or compared as letters, nor cut apart.
//  - "ASCII rules": only A-Z/a-z fold (field names, script-host names, report types).
//  - "locale rules": letters of the whole Unicode range fold as well (engine names).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ryn {

std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
// <0, 0, >0 comparing with A-Z folded to a-z outside multi-byte characters.
int CompareTextAscii(std::string_view a, std::string_view b);
inline bool SameTextAscii(std::string_view a, std::string_view b) { return CompareTextAscii(a, b) == 0; }

// Comparison ignoring letter case for every script the code page can hold.
bool SameTextLocale(std::string_view a, std::string_view b);
// Simple case folding of one UTF-16 unit (Latin, Greek, Cyrillic, full-width forms).
char16_t FoldCase(char16_t c);

// Removes leading and trailing bytes with codes up to 32.
std::string_view TrimBlanks(std::string_view s);
std::string_view TrimLeftBlanks(std::string_view s);
std::string_view TrimRightBlanks(std::string_view s);

// The bytes [start, start + count) of s, clipped to its end, with every byte of a
// character that reaches over either edge turned into a blank: the byte width stays and
// no half character is left. Text functions that count bytes cut through this alone.
std::string CutAtCharBoundaries(std::string_view s, size_t start, size_t count);

// printf into a string of any length. The pattern and the texts it takes are bytes in the
// process code page (the system's messages), copied as they are.
std::string FormatText(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ryn
