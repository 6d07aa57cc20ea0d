// What each system's side of the transcoder provides (transcoder_iconv.cpp,
// transcoder_win.cpp): the target's form of every character of the Basic Multilingual
// Plane, asked once per target, and the conversion itself for what the table does not serve.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ryn {

// Low byte: the length of the target's form (0: the target lacks the character); then up to
// 4 bytes.
using BmpEntries = uint64_t[0x10000];

// Fills entries for every BMP character but the surrogates; false when the system has no
// conversion into target.
bool FillBmpEntries(const std::string& target, BmpEntries& entries);

class TBmpTable;
// The table of target, built on first use; null when the target does not keep ASCII as it is.
const TBmpTable* BmpTableFor(const std::string& target);

// True when s is the start of a UTF-8 character that more bytes would complete.
bool Utf8Prefix(std::string_view s);

}  // namespace ryn
