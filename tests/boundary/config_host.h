// A host of the exchange file engine's configuration wizard: an engine handle, a form of
// ours whose page the wizard is embedded in by ConfigInit, and the exported Config*
// functions as the host's own buttons would call them. Also the engine's options read
// back key by key.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "boundary/host_support.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "rynfiler.h"
#include "transport/options_text.h"
#include "ui/dialogs.h"
#include "ui/driver.h"

namespace ryn::testing {

// The options text of an engine handle (EngineGetOptions); empty for an unknown handle.
inline std::string OptionsOf(RynHandle h) {
  int32_t len = 0;
  EngineGetOptions(h, nullptr, &len);
  std::string s(static_cast<size_t>(len), '\0');
  if (len > 0) {
    EXPECT_EQ(EngineGetOptions(h, s.data(), &len), -1);
  }
  return s;
}

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

class ConfigHost {
 public:
  ConfigHost() : engine(NewEngine()) {
    ui::Application::Instance().Dialogs().Reset();
    form.SetClientSize(520, 260);
    auto& pages = form.Create<ui::PageControl>("pages");
    pages.SetAlign(ui::AlignMode::kClient);
    page = &pages.AddPage("TabConfTag");
    form.Show();
  }
  ~ConfigHost() {
    Fina();
    EngineFina(engine);
    ui::Application::Instance().Dialogs().Reset();
  }
  ConfigHost(const ConfigHost&) = delete;
  ConfigHost& operator=(const ConfigHost&) = delete;

  // ConfigInit into the page; the result code.
  int32_t Open() {
    const int32_t rc = ConfigInit(engine, page->Handle(), 1, &config);
    open_ = rc == RYN_OK;
    return rc;
  }
  void Fina() {
    if (open_) ConfigFina(config);
    open_ = false;
  }

  template <class T>
  T& Get(const char* name) const {
    return ui::ControlOf<T>(*page, name);
  }
  // The name of the wizard's page on show.
  std::string ShownPage() const {
    auto* shown = Get<ui::PageControl>("pcWise").ActivePage();
    return shown ? shown->Name() : std::string();
  }
  // The captions of a list view's items, in order.
  std::vector<std::string> Captions(const char* list) const {
    std::vector<std::string> captions;
    const auto& view = Get<ui::ListView>(list);
    for (int i = 0; i < view.ItemCount(); ++i) captions.push_back(view.Item(i).caption);
    return captions;
  }
  bool Click(const char* button) { return ui::Click(Get<ui::Button>(button)); }
  // The message boxes shown since the last call.
  std::vector<ui::MessageBoxRecord> TakeBoxes() {
    const auto& all = ui::Application::Instance().Dialogs().MessageBoxes();
    std::vector<ui::MessageBoxRecord> fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }
  // The options of the engine, and of the working copy the wizard edits.
  std::map<std::string, std::string> Engine() const { return OptionValues(OptionsOf(engine)); }
  std::map<std::string, std::string> Work() const { return OptionValues(OptionsOf(ConfigPort(config))); }

  RynHandle engine = 0;
  RynHandle config = 0;
  ui::Form form;
  ui::Page* page = nullptr;

 private:
  bool open_ = false;
  size_t seen_ = 0;
};

}  // namespace ryn::testing
