// Any text read into the ini store: its text form reads back to the same store, and what
// one line of a section says is what a lookup of its name finds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rynengine/ini_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  ryn::TIniStore store;
  store.SetText(text);
  const std::string once = store.GetText();

  ryn::TIniStore again;
  again.SetText(once);
  if (again.GetText() != once) std::abort();
  if (again.SectionNames() != store.SectionNames()) std::abort();
  for (const std::string& section : store.SectionNames()) {
    if (!store.HasSection(section)) std::abort();
    if (again.ReadSection(section) != store.ReadSection(section)) std::abort();
  }

  // A value written under a plain name reads back as written.
  ryn::TIniStore edited;
  edited.SetText(once);
  std::string section = store.SectionNames().empty() ? std::string("s") : store.SectionNames().front();
  edited.WriteValue(section, "fuzz_key", "value of " + std::to_string(size));
  if (edited.ReadValue(section, "FUZZ_KEY") != "value of " + std::to_string(size)) std::abort();
  return 0;
}
