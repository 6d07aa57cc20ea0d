// The exchange file engine's wizard as a host embeds it: the common wizard host over
// librynfiler, and the engine's options read back key by key.
#pragma once

#include <map>
#include <string>

#include "boundary/host_support.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "support/wizard_host.h"
#include "transport/options_text.h"

namespace ryn::testing {

// The options of a text by key (UTF-8 keys of the engine's table).
inline std::map<std::string, std::string> OptionValues(const std::string& text) {
  std::map<std::string, std::string> values;
  TMemoryStream stream{text};
  TOPtionsReader reader(&stream);
  for (const char* key : {"单位标识", "年度", "报表类型", "时期", "文件名", "数据类型", "报表信息", "选择列"})
    reader.RegisterHandler(Ansi(key), [&values, key](const std::string& v) { values[key] = v; });
  reader.Parse();
  return values;
}

// A destination engine of librynfiler with its wizard's page ready.
class ExchangeHost : public WizardHost {
 public:
  ExchangeHost() : WizardHost(RYNFILER_LIBRARY_PATH, RYN_DESTINATION) {}
  // The options of the engine, and of the working copy the wizard edits.
  std::map<std::string, std::string> Engine() const { return OptionValues(Options()); }
  std::map<std::string, std::string> Work() const { return OptionValues(OptionsOf(Port())); }
};

}  // namespace ryn::testing
