// Any options text: the reader hands every entry to its handler without a fault, and the
// exchange file engine takes any text, files kept inside a private folder; what it gives
// back as its options, another engine takes to the same options.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_temp_dir.h"
#include "quiet_events.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/stream.h"
#include "rynengine/rynexport.h"
#include "transport/interfaces.h"
#include "transport/object.h"
#include "transport/options_text.h"

namespace {

using ryn::fuzz::QuietEvents;

const std::vector<std::string>& EngineKeys() {
  static const std::vector<std::string> keys = {
      ryn::Ansi("单位标识"), ryn::Ansi("年度"),     ryn::Ansi("报表类型"), ryn::Ansi("时期"),
      ryn::Ansi("文件名"),   ryn::Ansi("数据类型"), ryn::Ansi("报表信息"), ryn::Ansi("选择列")};
  return keys;
}

// The file names the text gives the engine, read as the engine reads them.
bool NamesConfined(const std::string& text) {
  ryn::TMemoryStream stream(text);
  ryn::TOPtionsReader reader(&stream);
  bool confined = true;
  reader.RegisterHandler(EngineKeys()[4], [&](const std::string& v) { confined = confined && ryn::fuzz::ConfinedName(v); });
  reader.Parse();
  return confined;
}

std::string OptionsAfter(const std::string& text, int32_t* rc = nullptr) {
  ryn::IntfPtr<ryn::TRynExport> engine = ryn::MakeIntf<ryn::TRynExport>();
  engine->SetEvents(ryn::MakeIntf<QuietEvents>().get());
  int32_t code = engine->SetOptions(text);
  if (rc) *rc = code;
  std::string options = engine->GetOptions();
  engine->Fina();
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool inFolder = chdir(ryn::fuzz::TempFolder().c_str()) == 0;
  if (!inFolder) std::abort();
  std::string text(reinterpret_cast<const char*>(data), size);

  // The reader alone, with a handler for every key and one that stops it.
  {
    ryn::TMemoryStream stream(text);
    ryn::TOPtionsReader reader(&stream);
    size_t total = 0;
    for (const std::string& key : EngineKeys())
      reader.RegisterHandler(key, [&](const std::string& v) { total += v.size(); });
    reader.RegisterHandler("a", [&](const std::string& v) { total += v.size(); });
    reader.RegisterHandler("stop", [&](const std::string&) { reader.Stop(); });
    reader.Parse();
    if (total > text.size()) std::abort();
  }

  if (!NamesConfined(text)) return 0;
  const std::string first = OptionsAfter(text);
  ryn::fuzz::EmptyTempFolder();
  if (NamesConfined(first)) {
    const std::string second = OptionsAfter(first);
    if (second != first) std::abort();
  }
  ryn::fuzz::EmptyTempFolder();
  return 0;
}
