// TTransFrom, the transfer wizard "配置向导": the modal dialog that configures one
// transfer frame step by step. The user chooses a source among the registered engine
// factories, goes through the engine's own configuration wizard embedded in a page, does
// the same for the destination, and maps destination columns to expressions (plus an
// optional filter); on finish the mapping is compiled and handed to the frame's script
// host. While attached it is the frame's event sink: messages become message boxes and
// the engines' wizards set its header.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/interfaces.h"
#include "transport/object.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/lists.h"
#include "ui/pages.h"

namespace ryn {

class TExprEdit;
class TTransFrame;

class TTransFrom final : public TInterfacedObject, public virtual ITransEvents, public virtual IImplementorAccess {
 public:
  // The pages of pcWise, in the order the steps visit them.
  enum PageIndex { kTabFrame, kTabSelSrc, kTabConfSrc, kTabSelTag, kTabConfTag, kTabRelation };

  // Lists the registered engine factories by direction.
  TTransFrom();
  ~TTransFrom() override;

  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEvents, IImplementorAccess>(this, iid, obj);
  }
  // A message box captioned by the severity ("提示", "警告", "错误").
  void OnMessage(int32_t kind, std::string_view text) override;
  // The header: caption and text.
  void OnStatus(std::string_view caption, std::string_view text) override;
  void OnProgress(uint8_t kind, int32_t value, bool& cont) override;
  TObject* GetImplementor() override { return this; }

  // Gives a previously attached frame its sink back, becomes the sink of frame and runs
  // the start step. Raises ETransFromError when a preset engine that may not be replaced
  // cannot be opened.
  void SetFrame(TTransFrame* frame);
  TTransFrame* Frame() const { return FFrame; }

  // OK when the mapping was stored into the frame's host.
  int ShowModal() { return FWindow ? FWindow->ShowModal() : ui::kMrCancel; }
  // Closes the engines' configuration wizards, lets the edit host go, gives the frame its
  // sink back and destroys the window. The object goes with its last reference; events
  // that still arrive change nothing.
  void Destroy();

  ui::Form& Window() { return *FWindow; }
  int CurrentPage() const { return pcWise->ActivePageIndex(); }
  IEngineConfig* SourceConfig() const { return FSource.config.get(); }
  IEngineConfig* DestinationConfig() const { return FDest.config.get(); }
  // The host the mapping is edited and checked in; null before the relations page.
  ITransScriptHost* EditHost() const { return FEditHost.get(); }

 private:
  // What the source and the destination steps share, told apart by direction.
  struct Side {
    int32_t direction = 0;
    std::string_view word;  // UTF-8: "导入" or "导出"
    int selectPage = 0;
    int configPage = 0;
    ui::ComboBox* list = nullptr;
    ui::RichText* description = nullptr;
    IntfPtr<IEngineConfig> config;
    // The engine whose wizard was asked for, so that one refusing to start is not asked
    // again on every pass; cleared whenever the side's engine changes.
    mutable const ITransEngine* configAsked = nullptr;
    // The engine was the frame's before the wizard started (the caller's choice): its
    // wizard is shown first, not the list it could be replaced from. The user's own pick
    // ends it.
    bool preset = false;
  };
  int FMessagesShown = 0;  // message boxes shown for the engines' messages

  void Build();
  void BuildSelectPage(Side& side, ui::Page& page, const char* listName, const char* boxName, int top);
  void BuildRelationPage(ui::Page& page);
  void FillLists();

  ITransEngine* Engine(const Side& side) const;
  // Hands the side's wizard settings to its engine; false (the user told) when the engine
  // is not ready to run with them.
  bool UpdateApplied(Side& side);
  bool Replaceable(const Side& side) const;
  void SetEngine(const Side& side, ITransEngine* engine);
  ITransEngineFactory* FactoryAt(const Side& side, int index) const;
  std::string InitFailedText(const Side& side) const;

  void SideStep(Side& side);
  void AfterSide(const Side& side);
  void StartConfig(Side& side, ITransEngine* engine);
  void ShowPage(int page);
  void UpdateButtons();
  bool CanGoBack() const;

  void Next();
  void NextFromSelection(Side& side);
  void NextFromConfig(Side& side);
  void Previous();
  void BackFromDestinationConfig();
  void BackToSource();
  void BackFromSourceConfig();
  void ChoiceChanged(Side& side);

  void EnterRelations();
  IntfPtr<ITransPort> PortOf(const Side& side) const;
  void FillRelations();
  // The script of the filter box and the rows; rows whose name the destination does not
  // know are reported and left out.
  std::string RelationScript();
  void Finish();
  std::optional<std::string> EditExpression(std::string text);

  TTransFrame* FFrame = nullptr;
  IntfPtr<ITransEvents> FSavedSink;
  IntfPtr<ITransScriptHost> FEditHost;
  std::vector<IntfPtr<ITransEngineFactory>> FFactories;  // what the lists' items point at
  Side FSource;
  Side FDest;
  std::unique_ptr<TExprEdit> FEditor;
  std::unique_ptr<ui::Form> FWindow;
  ui::Label* LbCaption = nullptr;
  ui::Label* LbText = nullptr;
  ui::Button* btnPre = nullptr;
  ui::Button* btnNxt = nullptr;
  ui::PageControl* pcWise = nullptr;
  ui::Edit* edtFilter = nullptr;
  ui::ValueListEditor* edtRelations = nullptr;
};

}  // namespace ryn
