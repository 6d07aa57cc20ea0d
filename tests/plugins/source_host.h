// Reading a whole source engine library two ways: as a host does, through the library's
// exported functions, and as the framework does, through the proxies of the plug-in port.
// Both ways must see the same fields, records and messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rynfiler.h"
#include "support/exported_library.h"

namespace ryn::testing {

using Value = std::optional<std::string>;  // nullopt: the value is empty
using Row = std::vector<Value>;

struct SourceRead {
  int32_t rc = -1;           // SetOptions
  int32_t established = -1;  // 1 or 0
  std::vector<std::string> names;
  std::vector<int32_t> types;
  int32_t count = -2;  // DataCount
  std::vector<Row> rows;
  // Per record: the values it could not read exactly, as (field, message kind).
  std::vector<std::vector<std::pair<int32_t, int32_t>>> problems;
  Messages messages;
  std::string options;  // GetOptions after SetOptions

  bool operator==(const SourceRead&) const = default;
};

SourceRead ReadExported(const std::string& library, const std::string& options);
SourceRead ReadProxied(const std::string& library, const std::string& options);
// Both ways, expected to agree (member by member, so that a difference shows where it is);
// the exported reading is returned.
SourceRead ReadBoth(const std::string& library, const std::string& options);

// Every value of every record through the exported text getter, whatever the column's
// type: the source's own text, which a text destination receives.
std::vector<std::vector<std::string>> ReadTexts(const std::string& library, const std::string& options);

// A text value written as 'x' so that expectations can be brief: "" is empty text, "~" an
// empty value.
Value V(const char* text);

}  // namespace ryn::testing
