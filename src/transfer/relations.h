// The mapping rows the transfer wizard shows (one per destination field, plus the filter)
// and the script text they stand for: reading a script into rows, and writing rows back
// as a script the script host runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ryn {

struct TRelationRow {
  std::string name;   // the destination field's name as shown
  std::string value;  // the expression; blank means no mapping
};

// Fills the values of rows (row i stands for destination field i) and the filter from
// the lines of script. A line longer than 7 characters that starts with "Export(" (any
// letter case) and holds "=" maps the field whose index is written after the parenthesis
// (an optional sign and digits; 0 without digits) to its trimmed right side, when that
// field exists and the side is not empty. A line whose left side is "Filter" (any letter
// case) sets the filter. Other lines are ignored.
void ReadRelations(std::string_view script, std::vector<TRelationRow>& rows, std::string& filter);

// The destination index of a row name, or -1 when the port has no field of that name.
using TFieldIndexOf = std::function<int32_t(std::string_view name)>;

struct TRelationScript {
  std::string script;                    // every line ended by CR LF
  std::vector<std::string> unknownRows;  // trimmed names of rows with a value but no field
};

// The script of a filter and rows: "Filter=" and the trimmed filter first when it is not
// blank, then "Export(n)=" and the value as entered for every row with a non-blank value,
// in row order; a later row for the same index replaces the earlier line in its place.
TRelationScript WriteRelations(std::string_view filter, const std::vector<TRelationRow>& rows,
                               const TFieldIndexOf& indexOf);

// True when text holds nothing but blanks, tabs and line breaks.
bool IsBlankValue(std::string_view text);

}  // namespace ryn
