#include "support/wizard_host.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "transport/options_text.h"

namespace ryn::testing {
namespace {

// The adapter keeps one user value for both callbacks: the host itself.
void RYN_CALL LogMessage(intptr_t user, int32_t kind, const char* text) {
  reinterpret_cast<WizardHost*>(user)->messages.emplace_back(kind, text);
}

void RYN_CALL LogStatus(intptr_t user, const char* caption, const char* text) {
  reinterpret_cast<WizardHost*>(user)->statuses.emplace_back(caption, text);
}

}  // namespace

WizardHost::WizardHost(const std::string& library, int32_t direction) : lib(library) {
  ui::Application::Instance().Dialogs().Reset();
  EXPECT_EQ(lib.Get<int32_t (RYN_CALL*)(int32_t, RynHandle*)>("EngineInit")(direction, &engine), 0);
  auto setEvent = lib.Get<void (RYN_CALL*)(RynHandle, intptr_t, int32_t, void*)>("EngineSetEvent");
  setEvent(engine, reinterpret_cast<intptr_t>(this), RYN_EVENT_MESSAGE, reinterpret_cast<void*>(&LogMessage));
  setEvent(engine, reinterpret_cast<intptr_t>(this), RYN_EVENT_STATUS, reinterpret_cast<void*>(&LogStatus));
  form.SetClientSize(520, 260);
  auto& pages = form.Create<ui::PageControl>("pages");
  pages.SetAlign(ui::AlignMode::kClient);
  page = &pages.AddPage(direction == RYN_SOURCE ? "TabConfSrc" : "TabConfTag");
  form.Show();
}

WizardHost::~WizardHost() {
  Fina();
  if (engine) lib.Close(engine);
  ui::Application::Instance().Dialogs().Reset();
}

int32_t WizardHost::SetOptions(const std::string& options) const {
  return lib.Get<int32_t (RYN_CALL*)(RynHandle, const char*)>("EngineSetOptions")(engine, options.c_str());
}

std::string WizardHost::OptionsOf(RynHandle h) const {
  auto get = lib.Get<int32_t (RYN_CALL*)(RynHandle, char*, int32_t*)>("EngineGetOptions");
  int32_t len = 0;
  get(h, nullptr, &len);
  std::string s(static_cast<size_t>(len), '\0');
  if (len > 0) {
    EXPECT_EQ(get(h, s.data(), &len), -1);
  }
  return s;
}

int32_t WizardHost::Open() {
  finished_ = false;
  return lib.Get<int32_t (RYN_CALL*)(RynHandle, intptr_t, int32_t, RynHandle*)>("ConfigInit")(engine, page->Handle(), 1, &config);
}

void WizardHost::Fina() {
  if (config && !finished_) lib.Get<void (RYN_CALL*)(RynHandle)>("ConfigFina")(config);
  finished_ = true;
}

int32_t WizardHost::FieldCount(RynHandle h) const { return lib.Get<int32_t (RYN_CALL*)(RynHandle)>("FieldGetCount")(h); }

void WizardHost::CloseEngine() {
  lib.Close(engine);
  engine = 0;
}

std::string WizardHost::ShownPage() const {
  auto& pages = Get<ui::PageControl>("pcWise");
  return pages.ActivePage() ? pages.ActivePage()->Name() : std::string();
}

std::vector<std::string> WizardHost::Captions(const char* list) const {
  std::vector<std::string> captions;
  const auto& view = Get<ui::ListView>(list);
  for (int i = 0; i < view.ItemCount(); ++i) captions.push_back(view.Item(i).caption);
  return captions;
}

std::vector<ui::MessageBoxRecord> WizardHost::TakeBoxes() {
  const auto& all = ui::Application::Instance().Dialogs().MessageBoxes();
  std::vector<ui::MessageBoxRecord> fresh(all.begin() + static_cast<std::ptrdiff_t>(boxesSeen_), all.end());
  boxesSeen_ = all.size();
  return fresh;
}

std::string OptionsText(const std::vector<std::pair<const char*, std::string>>& entries) {
  TMemoryStream s;
  TOptionsWriter w(&s);
  for (const auto& [key, value] : entries) w.WriteOption(Ansi(key), value);
  return s.TakeData();
}

}  // namespace ryn::testing
