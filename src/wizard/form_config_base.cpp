#include "wizard/form_config_base.h"

#include "platform/codepage.h"

namespace ryn {
namespace {

// Installed once at library start-up, before any wizard exists.
constinit TEngineListing gListing{};

}  // namespace

void TCustomConfig::SetEngineListing(const TEngineListing& listing) { gListing = listing; }

TCustomConfig::TCustomConfig() {
  SetBorderStyle(ui::FormBorder::kNone);
  SetClientSize(500, 210);
  // 9 points are 12 pixels.
  SetFont(ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault});
  OnCloseQuery = [this] { return RefCount() == 0; };
}

TCustomConfig::~TCustomConfig() {
  // A wizard freed without Fina must not leave its engine addressable.
  if (listedHandle_ && gListing.remove) gListing.remove(listedHandle_);
}

int32_t TCustomConfig::QueryInterface(const TGUID& iid, void** obj) {
  return QueryInterfaces<IEngineConfig, IImplementorAccess>(this, iid, obj);
}

int32_t TCustomConfig::AddRef() { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }

int32_t TCustomConfig::Release() {
  const int32_t n = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (n == 0) delete this;
  return n;
}

bool TCustomConfig::Init(NativeWindow parent, bool) {
  SetParentWindow(parent);
  if (!listedHandle_ && gListing.add) {
    if (IntfPtr<ITransEngine> engine = GetEngine()) listedHandle_ = gListing.add(engine.get());
  }
  SetAlign(ui::AlignMode::kClient);
  Show();
  return true;
}

void TCustomConfig::Fina() {
  if (listedHandle_ && gListing.remove) gListing.remove(listedHandle_);
  listedHandle_ = 0;
  Hide();
  SetParentWindow(0);
}

IntfPtr<ITransPort> TCustomConfig::GetPort() {
  IntfPtr<ITransEngine> engine = GetEngine();
  return engine ? engine->GetPort() : nullptr;
}

IntfPtr<ITransEngine> TCustomConfig::GetEngine() { return nullptr; }

bool TCustomConfig::IsBOF() { return pos_ <= 0; }

bool TCustomConfig::IsEOF() { return pos_ >= PageCount() - 1; }

void TCustomConfig::First() { GoTo(0); }

void TCustomConfig::Last() { GoTo(PageCount() - 1); }

void TCustomConfig::Next() {
  if (pos_ < PageCount() - 1) GoTo(pos_ + 1);
}

void TCustomConfig::Previous() {
  if (pos_ > 0) GoTo(pos_ - 1);
}

ui::Control* TCustomConfig::PageAt(int index) const {
  return index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

int TCustomConfig::AddPage(ui::Control& page) {
  pages_.push_back(&page);
  return PageCount() - 1;
}

void TCustomConfig::GoTo(int index) {
  if (index < 0 || index >= PageCount()) return;
  pos_ = index;
  ShowPage(index);
}

ui::Label& TCustomConfig::AddLabel(ui::Control& page, const char* name, const char* utf8, int left, int top) {
  auto& label = page.Create<ui::Label>(name);
  label.SetCaption(Ansi(utf8));
  label.SetBounds(left, top, 0, 12);
  return label;
}

}  // namespace ryn
