// The lines of a mapping script and how the script host rewrites them into formulas of
// its own functions: "Export(n)=v" becomes a call of SetExport(n, v) (inside the branches
// when v is an IF statement), "Filter=c" keeps its condition as it stands.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ryn {

// A stretch of the formula copied from the user's text: formula[at, at + length) is
// source[from, from + length).
struct TFormulaPiece {
  size_t at = 0;
  size_t from = 0;
  size_t length = 0;
};

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
  // What the user wrote as the formula (the right side of "="), and where its pieces stand
  // in formula: messages about the formula quote the user's text, not the rewrite.
  std::string source;
  std::vector<TFormulaPiece> pieces;
  // Where the destination index stands in formula, and in trimmed (from).
  std::vector<TFormulaPiece> indexes;

  // The offset in source that stands for offset in formula. Text the rewrite added stands
  // at the end of the piece before it (the start of the first piece when none is before).
  size_t SourceOffset(size_t offset) const;
  // The offset in trimmed of offset in formula when it falls in the destination index.
  std::optional<size_t> IndexOffset(size_t offset) const;
};

TScriptLine ParseScriptLine(std::string_view line);

// The formula of a value line for the destination index text n (as written between the
// parentheses) and the right side v; pieces and indexes, when given, receive where v's
// text and n (counted from n's start) stand.
std::string RewriteValueLine(std::string_view n, std::string_view v, std::vector<TFormulaPiece>* pieces = nullptr,
                             std::vector<TFormulaPiece>* indexes = nullptr);

// 0-based offset of word (upper case) in text as a whole word at or after from: outside
// double quotes, compared upper-cased, with the start of the text or a byte of code 32 or
// less on both sides; npos when none.
size_t FindScriptWord(std::string_view text, std::string_view word, size_t from);

}  // namespace ryn
