// The wizard base: its reference count frees it with the last reference and keeps it from
// closing while referenced, the default page navigation, placing it in a host window by
// handle, and listing the engine it edits while it is open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "wizard/form_config_base.h"
#include "support/table_ports.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/pages.h"

namespace ryn {
namespace {

using testing::Column;
using testing::TableSource;

// Records what the base asks of a derived wizard.
class ProbeConfig final : public TCustomConfig {
 public:
  ProbeConfig(int pages, std::vector<int>* shown, bool* freed, IntfPtr<ITransEngine> engine = nullptr)
      : shown_(shown), freed_(freed), engine_(std::move(engine)) {
    for (int i = 0; i < pages; ++i) AddPage(Create<ui::Panel>("page" + std::to_string(i)));
  }
  ~ProbeConfig() override {
    if (freed_) *freed_ = true;
  }
  bool CheckSucceed() override { return true; }
  void Update() override {}
  IntfPtr<ITransEngine> GetEngine() override { return engine_; }

 protected:
  void ShowPage(int index) override {
    if (shown_) shown_->push_back(index);
  }

 private:
  std::vector<int>* shown_;
  bool* freed_;
  IntfPtr<ITransEngine> engine_;
};

TEST(CustomConfigTest, TheLastReleaseFreesTheFormAndItRefusesToCloseWhileReferenced) {
  bool freed = false;
  auto* raw = new ProbeConfig(1, nullptr, &freed);
  const ui::WindowHandle window = raw->Handle();
  EXPECT_EQ(raw->RefCount(), 0) << "made without a reference";
  // Unreferenced, it closes as any form does.
  raw->Show();
  raw->Close();
  EXPECT_FALSE(raw->Visible());

  raw->Show();
  IntfPtr<IEngineConfig> first(static_cast<IEngineConfig*>(raw));
  IntfPtr<ITransConfigWise> second = first.Query<ITransConfigWise>();
  ASSERT_TRUE(second);
  EXPECT_EQ(raw->RefCount(), 2);
  raw->Close();
  EXPECT_TRUE(raw->Visible()) << "closing is refused while the wizard is referenced";

  first.Reset();
  EXPECT_FALSE(freed);
  EXPECT_EQ(ui::Application::Instance().FindWindow(window), raw);
  second.Reset();
  EXPECT_TRUE(freed) << "the last release frees the form";
  EXPECT_EQ(ui::Application::Instance().FindWindow(window), nullptr);
}

TEST(CustomConfigTest, DefaultNavigationStaysWithinThePageList) {
  enum Op { kFirst, kLast, kNext, kPrevious };
  struct Case {
    const char* name;
    int pages;
    std::vector<Op> ops;
    int position;
    std::vector<int> shown;
    bool bof, eof;
  } const cases[] = {
      {"a fresh wizard is at its first page", 3, {}, 0, {}, true, false},
      {"next steps by one", 3, {kNext, kNext}, 2, {1, 2}, false, true},
      {"next on the last page does nothing", 3, {kLast, kNext}, 2, {2}, false, true},
      {"previous on the first page does nothing", 3, {kPrevious, kFirst, kPrevious}, 0, {0}, true, false},
      {"previous steps back", 3, {kLast, kPrevious}, 1, {2, 1}, false, false},
      {"first and last show their page again", 3, {kFirst, kFirst, kLast, kLast}, 2, {0, 0, 2, 2}, false, true},
      {"one page is both ends", 1, {kNext, kLast, kPrevious}, 0, {0}, true, true},
      {"without pages nothing is shown", 0, {kFirst, kLast, kNext, kPrevious}, 0, {}, true, true},
  };
  for (const auto& c : cases) {
    std::vector<int> shown;
    IntfPtr<IEngineConfig> config = MakeConfig<ProbeConfig>(c.pages, &shown, nullptr);
    for (Op op : c.ops) {
      switch (op) {
        case kFirst: config->First(); break;
        case kLast: config->Last(); break;
        case kNext: config->Next(); break;
        case kPrevious: config->Previous(); break;
      }
    }
    auto* probe = dynamic_cast<ProbeConfig*>(ImplementorOf(config.get()));
    ASSERT_TRUE(probe) << c.name;
    EXPECT_EQ(probe->PageIndex(), c.position) << c.name;
    EXPECT_EQ(shown, c.shown) << c.name;
    EXPECT_EQ(config->IsBOF(), c.bof) << c.name;
    EXPECT_EQ(config->IsEOF(), c.eof) << c.name;
  }
}

TEST(CustomConfigTest, InitPlacesTheFormInTheWindowAndFinaTakesItOut) {
  IntfPtr<IEngineConfig> config = MakeConfig<ProbeConfig>(1, nullptr, nullptr);
  auto* form = dynamic_cast<ProbeConfig*>(ImplementorOf(config.get()));
  ASSERT_TRUE(form);
  EXPECT_EQ(form->BorderStyle(), ui::FormBorder::kNone);
  EXPECT_EQ(form->ClientWidth(), 500);
  EXPECT_EQ(form->ClientHeight(), 210);
  EXPECT_EQ(form->Font(), (ui::FontInfo{Ansi("宋体"), 9, false, ui::kCharsetDefault}));
  EXPECT_FALSE(config->GetPort()) << "no engine, no port";

  ui::Form host;
  host.SetClientSize(640, 300);
  auto& pages = host.Create<ui::PageControl>("pages");
  pages.SetAlign(ui::AlignMode::kClient);
  ui::Page& page = pages.AddPage("TabConf");
  host.Show();

  EXPECT_TRUE(config->Init(page.Handle(), true));
  EXPECT_EQ(form->Parent(), &page);
  EXPECT_TRUE(form->Showing());
  EXPECT_EQ(form->Bounds(), (ui::Rect{0, 0, page.Width(), page.Height()})) << "fills its parent";
  config->Fina();
  EXPECT_EQ(form->Parent(), nullptr);
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(page.Children().empty());

  // A window that is not ours is kept for the backend to embed into.
  EXPECT_TRUE(config->Init(0x7FFF0001, false));
  EXPECT_EQ(form->ForeignParent(), 0x7FFF0001);
  EXPECT_EQ(form->ParentWindow(), 0x7FFF0001);
  config->Fina();
  EXPECT_EQ(form->ParentWindow(), 0);
}

// A listing that records what wizards ask of it.
struct Listing {
  static inline std::vector<ITransEngine*> added;
  static inline std::vector<intptr_t> removed;
  static intptr_t Add(ITransEngine* engine) {
    added.push_back(engine);
    return static_cast<intptr_t>(100 + added.size());
  }
  static void Remove(intptr_t handle) { removed.push_back(handle); }
};

class CustomConfigListingTest : public ::testing::Test {
 protected:
  CustomConfigListingTest() {
    Listing::added.clear();
    Listing::removed.clear();
    TCustomConfig::SetEngineListing(TEngineListing{&Listing::Add, &Listing::Remove});
  }
  ~CustomConfigListingTest() override { TCustomConfig::SetEngineListing(TEngineListing{}); }

  IntfPtr<ITransEngine> engine =
      MakeIntf<TableSource>(std::vector<Column>{{"a", 6}}, std::vector<std::vector<std::string>>{{"1"}});
};

TEST_F(CustomConfigListingTest, TheEngineIsListedFromInitToFina) {
  IntfPtr<IEngineConfig> config = MakeConfig<ProbeConfig>(1, nullptr, nullptr, engine);
  EXPECT_EQ(config->GetPort().Query<ITransEngine>(), engine) << "the port of the wizard's engine";

  config->Init(0, true);
  config->Init(0, true);
  EXPECT_EQ(Listing::added, std::vector<ITransEngine*>{engine.get()}) << "listed once while open";
  config->Fina();
  EXPECT_EQ(Listing::removed, std::vector<intptr_t>{101});
  config->Fina();
  EXPECT_EQ(Listing::removed.size(), 1u) << "nothing left to delist";

  // Freed while open (never finished), the wizard still delists its engine.
  config->Init(0, true);
  config.Reset();
  EXPECT_EQ(Listing::removed, (std::vector<intptr_t>{101, 102}));

  // A wizard without an engine lists nothing.
  IntfPtr<IEngineConfig> plain = MakeConfig<ProbeConfig>(1, nullptr, nullptr);
  plain->Init(0, true);
  plain->Fina();
  EXPECT_EQ(Listing::added.size(), 2u);
  EXPECT_EQ(Listing::removed.size(), 2u);
}

}  // namespace
}  // namespace ryn
