#include "rynengine/ini_store.h"

#include <unordered_map>

#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {

std::string_view LineName(std::string_view line) {
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? line : line.substr(0, eq);
}

std::string_view LineValue(std::string_view line) {
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

std::string TIniStore::GetText() const {
  std::string out;
  bool first = true;
  auto add = [&](std::string_view line) {
    if (!first) out += "\r\n";
    out.append(line);
    first = false;
  };
  for (const auto& s : sections_) {
    add("[" + s.name + "]");
    for (const auto& line : s.lines) add(line);
    add("");
  }
  return out;
}

void TIniStore::SetText(std::string_view text) {
  sections_.clear();
  Section* current = nullptr;
  size_t i = 0;
  while (i <= text.size()) {
    size_t j = text.find_first_of("\r\n", i);
    if (j == std::string_view::npos) j = text.size();
    std::string_view line = TrimBlanks(text.substr(i, j - i));
    i = j + ((j + 1 < text.size() && text[j] == '\r' && text[j + 1] == '\n') ? 2 : 1);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      sections_.push_back({std::string(TrimBlanks(line.substr(1, line.size() - 2))), {}});
      current = &sections_.back();
      continue;
    }
    if (!current) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->lines.emplace_back(line);
    } else {
      current->lines.push_back(std::string(TrimBlanks(line.substr(0, eq))) + "=" +
                               std::string(TrimBlanks(line.substr(eq + 1))));
    }
  }
}

const TIniStore::Section* TIniStore::Find(std::string_view name) const {
  for (const auto& s : sections_)
    if (SameTextLocale(s.name, name)) return &s;
  return nullptr;
}

TIniStore::Section* TIniStore::Find(std::string_view name) {
  return const_cast<Section*>(static_cast<const TIniStore*>(this)->Find(name));
}

std::vector<std::string> TIniStore::SectionNames() const {
  std::vector<std::string> names;
  for (const auto& s : sections_) names.push_back(s.name);
  return names;
}

bool TIniStore::HasSection(std::string_view section) const { return Find(section) != nullptr; }

std::vector<std::string> TIniStore::ReadSection(std::string_view section) const {
  const Section* s = Find(section);
  return s ? s->lines : std::vector<std::string>();
}

void TIniStore::EraseSection(std::string_view section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    if (SameTextLocale(it->name, section)) {
      sections_.erase(it);
      return;
    }
  }
}

std::string TIniStore::ReadValue(std::string_view section, std::string_view name, std::string_view fallback) const {
  if (const Section* s = Find(section)) {
    for (const auto& line : s->lines)
      if (line.find('=') != std::string::npos && SameTextLocale(LineName(line), name)) return std::string(LineValue(line));
  }
  return std::string(fallback);
}

void TIniStore::WriteValue(std::string_view section, std::string_view name, std::string_view value) {
  Section* s = Find(section);
  if (!s) {
    sections_.push_back({std::string(section), {}});
    s = &sections_.back();
  }
  std::string line = std::string(name) + "=" + std::string(value);
  for (auto& existing : s->lines) {
    if (SameTextLocale(LineName(existing), name)) {
      existing = std::move(line);
      return;
    }
  }
  s->lines.push_back(std::move(line));
}

void TIniStore::ReplaceSection(std::string_view section, std::span<const std::pair<std::string, std::string>> values) {
  EraseSection(section);
  if (values.empty()) return;  // no value, no section, as no WriteValue made one
  Section fresh{std::string(section), {}};
  // Names compare as SameTextLocale does, by their folded UTF-16 units: each name is
  // converted once, not once per comparison.
  std::unordered_map<std::u16string, size_t> index;
  index.reserve(values.size());
  for (const auto& [name, value] : values) {
    std::u16string key = ToWide(name);
    for (char16_t& c : key) c = FoldCase(c);
    std::string line = name + "=" + value;
    auto [it, added] = index.emplace(std::move(key), fresh.lines.size());
    if (added) fresh.lines.push_back(std::move(line));
    else fresh.lines[it->second] = std::move(line);
  }
  sections_.push_back(std::move(fresh));
}

}  // namespace ryn
