// An in-memory ini store: ordered sections of ordered lines, most of them "name=value".
// The exchange file engine keeps its field catalogue in one: a section per data type
// holding "column heading=field name" lines.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ryn {

class TIniStore {
 public:
  // "[name]", the section's lines, then an empty line, for every section; lines joined
  // by CR LF.
  std::string GetText() const;
  // Replaces the whole content. Lines are trimmed of blanks and control characters;
  // empty lines and ";" comments are skipped; "[name]" opens a section; lines before
  // the first section are dropped; "name = value" is stored as "name=value".
  void SetText(std::string_view text);
  void Clear() { sections_.clear(); }

  // Section names and line names are found ignoring letter case.
  std::vector<std::string> SectionNames() const;
  bool HasSection(std::string_view section) const;
  // The section's lines; none for an unknown section.
  std::vector<std::string> ReadSection(std::string_view section) const;
  void EraseSection(std::string_view section);
  // The value of the first line with that name; fallback when there is none.
  std::string ReadValue(std::string_view section, std::string_view name, std::string_view fallback = {}) const;
  // Sets the line of that name (in place, or appended), creating the section at the end.
  void WriteValue(std::string_view section, std::string_view name, std::string_view value);
  // The section (moved to the end, or created there) holds exactly these "name=value"
  // lines, as WriteValue for each in turn on an emptied section would leave it (without
  // values it is gone); time in proportion to the lines, not their square.
  void ReplaceSection(std::string_view section, std::span<const std::pair<std::string, std::string>> values);

 private:
  struct Section {
    std::string name;
    std::vector<std::string> lines;
  };
  const Section* Find(std::string_view name) const;
  Section* Find(std::string_view name);

  std::vector<Section> sections_;
};

// The name side of a "name=value" line (the whole line without "=").
std::string_view LineName(std::string_view line);
// The value side (empty without "=").
std::string_view LineValue(std::string_view line);

}  // namespace ryn
