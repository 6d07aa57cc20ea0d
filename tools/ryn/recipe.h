// A transfer recipe: what one `ryn transfer` run used (both engines, both options texts,
// the mapping script) and the source's field list at the time, so that the same job can
// be run again next month and stops when the source's fields are no longer what the
// script was written against. Kept as a UTF-8 text file a user can read and edit; the
// layout is described in the README ("Recipes").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "transport/interfaces.h"

namespace ryn::tool {

// A recipe text that cannot be read: the message names the line (from 1; 0 when the
// problem is the text as a whole). The message is ASCII with the file's own text in UTF-8.
class ERecipeFormat : public ERynError {
 public:
  ERecipeFormat(int line, std::string message) : ERynError(std::move(message)), line_(line) {}
  int Line() const { return line_; }

 private:
  int line_;
};

struct TRecipeField {
  std::string name;  // process code page
  int32_t type = 0;  // the field's data type code
  bool operator==(const TRecipeField&) const = default;
};

// Texts are in the process code page, exactly as the run used them.
struct TRecipe {
  std::string from, to;  // engine names
  std::optional<std::string> fromOptions, toOptions, script;
  std::vector<TRecipeField> fields;  // the source's fields, in port order
  bool operator==(const TRecipe&) const = default;

  // The UTF-8 text of the recipe. Raises ERecipeFormat (line 0) when a text holds bytes
  // that are no character of the process code page, since they could not come back.
  std::string Format() const;
  // Reads a recipe text (UTF-8; a byte-order mark is skipped, CR LF line ends are taken
  // as LF). Raises ERecipeFormat naming the line of the first problem.
  static TRecipe Parse(std::string_view utf8);

  // The field list of the engine's port as it stands; empty without a port. Reads each
  // field right after its lookup, as a port may re-point one field object.
  static std::vector<TRecipeField> FieldsOf(ITransEngine& engine);
  // How the fields now differ from the recorded ones, one line each (process code page):
  // the count, then each recorded field that was removed, renamed, moved or retyped (by
  // its recorded number), then each field added (by its number now). Empty when equal.
  std::vector<std::string> DriftTo(const std::vector<TRecipeField>& now) const;
};

}  // namespace ryn::tool
