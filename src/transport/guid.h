// The 16-byte identity of interfaces and the GUID field values, with its text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ryn {

struct TGUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];

  friend constexpr bool operator==(const TGUID& a, const TGUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};
static_assert(sizeof(TGUID) == 16);

namespace guid_detail {
constexpr int Hex(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}
constexpr uint64_t HexRun(std::string_view s, size_t pos, size_t count, bool& ok) {
  uint64_t v = 0;
  for (size_t i = 0; i < count; ++i) {
    int h = pos + i < s.size() ? Hex(s[pos + i]) : -1;
    if (h < 0) ok = false;
    v = v * 16 + static_cast<uint64_t>(h < 0 ? 0 : h);
  }
  return v;
}
}  // namespace guid_detail

// Parses exactly the braced 38-character form; nothing on any deviation.
constexpr std::optional<TGUID> ParseGuid(std::string_view s) {
  if (s.size() != 38 || s[0] != '{' || s[37] != '}' || s[9] != '-' || s[14] != '-' || s[19] != '-' || s[24] != '-')
    return std::nullopt;
  bool ok = true;
  TGUID g{};
  g.Data1 = static_cast<uint32_t>(guid_detail::HexRun(s, 1, 8, ok));
  g.Data2 = static_cast<uint16_t>(guid_detail::HexRun(s, 10, 4, ok));
  g.Data3 = static_cast<uint16_t>(guid_detail::HexRun(s, 15, 4, ok));
  g.Data4[0] = static_cast<uint8_t>(guid_detail::HexRun(s, 20, 2, ok));
  g.Data4[1] = static_cast<uint8_t>(guid_detail::HexRun(s, 22, 2, ok));
  for (size_t i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(guid_detail::HexRun(s, 25 + 2 * i, 2, ok));
  if (!ok) return std::nullopt;
  return g;
}

// For identities written in the source; a malformed literal does not compile.
consteval TGUID GuidLiteral(std::string_view s) {
  auto g = ParseGuid(s);
  if (!g) throw "malformed GUID literal";
  return *g;
}

// Upper-case braced form.
std::string GuidToString(const TGUID& g);

}  // namespace ryn
