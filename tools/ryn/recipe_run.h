// Recipes in a `ryn transfer` run: the recipe file read for --recipe, the source's fields
// held against it before the destination is touched, and the file written for
// --save-recipe once the run has started (script compiled, both engines open).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "recipe.h"
#include "transport/interfaces.h"

namespace ryn::tool {

// Reads the recipe file into recipe; the problem (UTF-8, naming the file and the line),
// or empty.
std::string LoadRecipe(std::string_view pathUtf8, TRecipe& recipe);

// Writes the file whole or not at all: a recipe replayed and saved again in place is never
// left half written. The problem (UTF-8), or empty.
std::string SaveRecipe(const TRecipe& recipe, std::string_view pathUtf8);

// Reports how the source's fields now differ from the recipe's, one message each:
// warnings when drift is allowed, errors otherwise. True when the run may go on.
bool CheckRecipeDrift(const TRecipe& recipe, ITransEngine& source, bool allowDrift, ITransEvents& events);

// A sink that passes everything on to next and, when the record loop starts, saves recipe
// with the source's fields and the script as they are then; a recipe that cannot be
// written is an error that stops the run. source must outlive the sink's use (the run).
IntfPtr<ITransEvents> SaveRecipeAtStart(ITransEvents* next, TRecipe recipe, std::string pathUtf8,
                                        ITransEngine* source, std::function<std::string()> script);

}  // namespace ryn::tool
