// The lines of a mapping script and how the script host rewrites them into formulas of
// its own functions: "Export(n)=v" becomes a call of SetExport(n, v) (inside the branches
// when v is an IF statement), "Filter=c" keeps its condition as it stands.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ryn {

struct TScriptLine {
  enum class Kind {
    kBlank,    // nothing but blanks: skipped silently
    kInvalid,  // neither form, or nothing right of "="
    kValue,    // formula: the SetExport call
    kFilter,   // formula: the condition
  };
  Kind kind = Kind::kBlank;
  std::string trimmed;  // the line without surrounding blanks, for messages
  std::string formula;
};

TScriptLine ParseScriptLine(std::string_view line);

// The formula of a value line for the destination index text n (as written between the
// parentheses) and the right side v.
std::string RewriteValueLine(std::string_view n, std::string_view v);

// 0-based offset of word (upper case) in text as a whole word at or after from: outside
// double quotes, compared upper-cased, with the start of the text or a byte of code 32 or
// less on both sides; npos when none.
size_t FindScriptWord(std::string_view text, std::string_view word, size_t from);

}  // namespace ryn
