// TCustomConfig, the base of every engine's configuration wizard: a borderless form that
// a host embeds in a window of its own by handle and steps through page by page. Unlike
// other forms it is reference counted through its wizard interface and refuses to close
// while referenced; the last Release frees it. Derived wizards add their pages and say
// how a page is shown, checked and committed.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "transport/interfaces.h"
#include "transport/object.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace ryn {

// How a wizard makes the engine it edits addressable by handle while it is open. The
// exported-function layer of an engine library installs its live-handle list here; in a
// program that hands out no handles nothing is listed.
struct TEngineListing {
  intptr_t (*add)(ITransEngine* engine) = nullptr;  // the new handle; 0 when not listed
  void (*remove)(intptr_t handle) = nullptr;
};

class TCustomConfig : public ui::Form,
                      public TObject,
                      public virtual IEngineConfig,
                      public virtual IImplementorAccess {
 public:
  static void SetEngineListing(const TEngineListing& listing);
  // The parent window, not the interfaces' parent type.
  using ui::Control::Parent;

  int32_t QueryInterface(const TGUID& iid, void** obj) override;
  int32_t AddRef() override;
  // The release that brings the count to 0 frees the wizard.
  int32_t Release() override;
  int32_t RefCount() const { return refCount_.load(std::memory_order_acquire); }
  TObject* GetImplementor() override { return this; }

  // The window parent becomes the wizard's parent (a foreign value is kept for the
  // backend); the engine of GetEngine, if any, is listed; the wizard fills the parent and
  // is shown. The option means nothing here.
  bool Init(NativeWindow parent, bool option) override;
  // Delists the engine, hides the wizard and detaches it from its parent.
  void Fina() override;
  bool CheckSucceed() override = 0;
  void Update() override = 0;
  // The port of GetEngine's engine; null without one.
  IntfPtr<ITransPort> GetPort() override;
  bool IsBOF() override;
  bool IsEOF() override;
  void First() override;
  void Last() override;
  // Next on the last page and Previous on the first do nothing. Navigation never checks.
  void Next() override;
  void Previous() override;
  // The engine the wizard edits (its working copy); none in the base.
  virtual IntfPtr<ITransEngine> GetEngine();

  int PageCount() const { return static_cast<int>(pages_.size()); }
  // The current position in the page list; 0 until the host moves.
  int PageIndex() const { return pos_; }
  ui::Control* PageAt(int index) const;

 protected:
  TCustomConfig();
  ~TCustomConfig() override;

  // Shows the page at index (already the current position).
  virtual void ShowPage(int index) = 0;
  // Appends a page to the list; its index.
  int AddPage(ui::Control& page);
  // A label on a page, its caption given in UTF-8; it sizes itself to the caption.
  static ui::Label& AddLabel(ui::Control& page, const char* name, const char* utf8, int left, int top);

 private:
  void GoTo(int index);

  std::atomic<int32_t> refCount_{0};
  std::vector<ui::Control*> pages_;
  int pos_ = 0;
  intptr_t listedHandle_ = 0;  // the handle of the listed engine
};

// A new wizard of type T and the first reference to it.
template <class T, class... Args>
IntfPtr<IEngineConfig> MakeConfig(Args&&... args) {
  return IntfPtr<IEngineConfig>(static_cast<IEngineConfig*>(new T(std::forward<Args>(args)...)));
}

}  // namespace ryn
