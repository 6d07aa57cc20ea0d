#include "recipe_run.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "file_names.h"
#include "platform/codepage.h"
#include "transport/object.h"

namespace ryn::tool {
namespace {

class TRecipeSaver final : public TInterfacedObject, public virtual ITransEvents {
 public:
  TRecipeSaver(ITransEvents* next, TRecipe recipe, std::string path, ITransEngine* source,
               std::function<std::string()> script)
      : next_(next), recipe_(std::move(recipe)), path_(std::move(path)), source_(source), script_(std::move(script)) {}

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransEvents>(this, iid, obj); }
  void OnMessage(int32_t kind, std::string_view text) override { next_->OnMessage(kind, text); }
  void OnStatus(std::string_view caption, std::string_view text) override { next_->OnStatus(caption, text); }
  void OnProgress(uint8_t kind, int32_t value, bool& cont) override {
    next_->OnProgress(kind, value, cont);
    if (kind != kProgressStart || saved_) return;
    saved_ = true;
    if (source_) recipe_.fields = TRecipe::FieldsOf(*source_);
    recipe_.script = script_();
    if (std::string problem = SaveRecipe(recipe_, path_); !problem.empty()) {
      next_->OnMessage(kSeverityError, FromUtf8(problem));
      cont = false;
    }
  }

 private:
  IntfPtr<ITransEvents> next_;
  TRecipe recipe_;
  std::string path_;
  // Borrowed: the engine takes its sink from the frame, so a counted reference here would
  // keep the engine and this sink alive through each other.
  ITransEngine* source_;
  std::function<std::string()> script_;
  bool saved_ = false;
};

}  // namespace

std::string LoadRecipe(std::string_view pathUtf8, TRecipe& recipe) {
  const std::string path(pathUtf8);
  std::ifstream in(FilePath(path), std::ios::binary);
  if (!in) return "cannot read recipe " + path;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return "cannot read recipe " + path;
  try {
    recipe = TRecipe::Parse(text);
  } catch (const ERecipeFormat& e) {
    return "recipe " + path + (e.Line() > 0 ? ", line " + std::to_string(e.Line()) : std::string()) + ": " +
           e.Message();
  }
  return {};
}

std::string SaveRecipe(const TRecipe& recipe, std::string_view pathUtf8) {
  const std::string path(pathUtf8);
  std::string text;
  try {
    text = recipe.Format();
  } catch (const ERecipeFormat& e) {
    return "cannot save recipe " + path + ": " + e.Message();
  }
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(FilePath(temp), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      RemoveFile(temp);
      return "cannot write recipe " + path;
    }
  }
  if (!ReplaceWith(temp, path)) {
    RemoveFile(temp);
    return "cannot write recipe " + path;
  }
  return {};
}

bool CheckRecipeDrift(const TRecipe& recipe, ITransEngine& source, bool allowDrift, ITransEvents& events) {
  const std::vector<std::string> lines = recipe.DriftTo(TRecipe::FieldsOf(source));
  for (const std::string& line : lines) events.OnMessage(allowDrift ? kSeverityWarning : kSeverityError, line);
  return allowDrift || lines.empty();
}

IntfPtr<ITransEvents> SaveRecipeAtStart(ITransEvents* next, TRecipe recipe, std::string pathUtf8, ITransEngine* source,
                                        std::function<std::string()> script) {
  return MakeIntf<TRecipeSaver>(next, std::move(recipe), std::move(pathUtf8), source, std::move(script));
}

}  // namespace ryn::tool
