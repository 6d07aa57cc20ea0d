// Reading the options of a `ryn` command: "--name VALUE" or "--name=VALUE" for options with
// a value, "--name" for flags, and tables of single-valued options kept in a settings struct.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ryn::tool {

class ArgReader {
 public:
  explicit ArgReader(std::span<const std::string_view> args) : args_(args) {}

  bool Done() const { return current_ >= args_.size(); }
  std::string_view Current() const { return args_[current_]; }
  // Steps over a flag or an argument that nothing else took.
  void Skip() { ++current_; }
  bool Flag(std::string_view name) {
    if (Current() != name) return false;
    ++current_;
    return true;
  }
  // The value of option name at the current argument; sets missing (and stays on the
  // option) when it stands last without a value.
  std::optional<std::string_view> Value(std::string_view name, bool& missing) {
    std::string_view a = Current();
    if (a.size() > name.size() && a.starts_with(name) && a[name.size()] == '=') {
      ++current_;
      return a.substr(name.size() + 1);
    }
    if (a != name) return std::nullopt;
    if (current_ + 1 >= args_.size()) {
      missing = true;
      return std::nullopt;
    }
    current_ += 2;
    return args_[current_ - 1];
  }

  // An option of the table that takes one value into its slot of the settings.
  template <class Settings>
  struct Named {
    const char* name;
    std::optional<std::string_view> Settings::*slot;
  };
  // Takes the current argument when it is one of the table's options: true when taken;
  // false with error set when it was given twice or lacks its value; false with error
  // empty when it is none of them.
  template <class Settings>
  bool TakeNamed(std::span<const Named<Settings>> named, Settings& s, std::string& error) {
    for (const Named<Settings>& n : named) {
      bool missing = false;
      if (auto v = Value(n.name, missing)) {
        if (s.*n.slot) {
          error = std::string(n.name) + " given twice";
          return false;
        }
        s.*n.slot = v;
        return true;
      }
      if (missing) {
        error = "missing value of " + std::string(n.name);
        return false;
      }
    }
    return false;
  }

 private:
  std::span<const std::string_view> args_;
  size_t current_ = 0;
};

}  // namespace ryn::tool
