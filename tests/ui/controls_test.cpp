// The rules of the controls that forms rely on: typing at the caret, number mode and
// read-only edits; the gauge's percentage; sorted lists keeping their current item; list
// view selection; tab changes that may be refused; pages; the name/value editor's cells
// and buttons; menus; user actions refused on hidden or disabled controls; and the names
// a screen reader gives the controls, with the focus program code sets.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/dialogs.h"
#include "support/ui_driver.h"

namespace ryn::ui {
namespace {

// Users reach only the controls of a window on the screen.
struct ShownForm : Form {
  ShownForm() { Show(); }
};

TEST(Controls, TypingIntoAnEdit) {
  struct Case {
    const char* what;
    std::string text;
    int selStart, selLength;
    bool readOnly, numberMode;
    std::string typed;
    bool accepted;
    std::string result;
    int caret;
    int changes;
  } cases[] = {
      {"at the caret", "abcd", 2, 0, false, false, "XY", true, "abXYcd", 4, 1},
      {"over the selection", "abcd", 1, 2, false, false, "Z", true, "aZd", 2, 1},
      {"at the end", "ab", 2, 0, false, false, "c", true, "abc", 3, 1},
      {"selection past the end is clamped", "ab", 1, 9, false, false, "", true, "a", 1, 1},
      {"read-only", "abcd", 2, 0, true, false, "XY", false, "abcd", 2, 0},
      {"number mode drops letters", "1", 1, 0, false, true, "-2a.5e", true, "1-2.5", 5, 1},
      {"number mode, nothing left to type", "12", 1, 0, false, true, "ab", true, "12", 1, 0},
      {"multi-byte text stays whole", "\xc4\xea\xb6\xc8", 2, 0, false, false, ":", true, "\xc4\xea:\xb6\xc8", 3, 1},
  };
  for (const Case& c : cases) {
    ShownForm form;
    Edit& edit = form.Create<Edit>("edit");
    edit.SetText(c.text);
    edit.SetReadOnly(c.readOnly);
    edit.SetNumberMode(c.numberMode);
    int changes = 0;
    edit.OnChange = [&] { ++changes; };
    edit.SetSelection(c.selStart, c.selLength);
    EXPECT_EQ(TypeText(edit, c.typed), c.accepted) << c.what;
    EXPECT_EQ(edit.Text(), c.result) << c.what;
    EXPECT_EQ(edit.SelStart(), c.caret) << c.what;
    EXPECT_EQ(edit.SelLength(), 0) << c.what;
    EXPECT_EQ(changes, c.changes) << c.what;
  }
}

// What a toolkit's entry reports: its whole text after each edit. The control takes it as
// typing would have made it and never needs the old selection to do so.
TEST(Controls, TheWholeTextAsTheUserLeftIt) {
  struct Case {
    const char* what;
    std::string before;
    bool readOnly, numberMode;
    std::string reported;
    bool accepted;
    std::string result;
    int changes;
  } cases[] = {
      {"typed at the end", "abc", false, false, "abcd", true, "abcd", 1},
      {"deleted in the middle", "abcd", false, false, "acd", true, "acd", 1},
      {"emptied", "abcd", false, false, "", true, "", 1},
      {"the same text is no change", "abcd", false, false, "abcd", true, "abcd", 0},
      {"read-only keeps its text", "kept", true, false, "typed", false, "kept", 0},
      {"number mode drops a pasted letter", "1", false, true, "1a2.5", true, "12.5", 1},
      {"number mode, only letters added", "12", false, true, "12xy", true, "12", 0},
      {"number mode drops a whole Chinese character", "", false, true, "\xc4\xea" "7", true, "7", 1},
  };
  for (const Case& c : cases) {
    ShownForm form;
    Edit& edit = form.Create<Edit>("edit");
    edit.SetText(c.before);
    edit.SetReadOnly(c.readOnly);
    edit.SetNumberMode(c.numberMode);
    edit.SetSelection(0, 1);  // a stale selection of the control plays no part
    int changes = 0;
    edit.OnChange = [&] { ++changes; };
    EXPECT_EQ(edit.UserSetText(c.reported), c.accepted) << c.what;
    EXPECT_EQ(edit.Text(), c.result) << c.what;
    EXPECT_EQ(changes, c.changes) << c.what;
    if (c.accepted) {
      EXPECT_EQ(edit.SelStart(), static_cast<int>(c.result.size())) << c.what;
    }
  }
  // The lines of a memo: a line break at the end is no line of its own.
  ShownForm form;
  RichText& memo = form.Create<RichText>("memo");
  int changes = 0;
  memo.OnChange = [&] { ++changes; };
  EXPECT_FALSE(memo.UserSetText("a\nb"));  // read-only by default
  memo.SetReadOnly(false);
  EXPECT_TRUE(memo.UserSetText("a\nb\r\n"));
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(memo.UserSetText("a\r\nb"));
  EXPECT_EQ(changes, 1);
}

TEST(Controls, ProgramCodeAndTheUserOnAnEdit) {
  ShownForm form;
  Edit& edit = form.Create<Edit>("edit");
  edit.SetText("Import(1)");
  EXPECT_EQ(edit.SelStart(), 0);  // setting the text puts the caret at the start
  edit.SetReadOnly(true);
  edit.SetSelection(6, 3);
  EXPECT_EQ(edit.SelText(), "(1)");
  edit.SetSelText("(2)");  // program code may change a read-only edit
  EXPECT_EQ(edit.Text(), "Import(2)");
  edit.SetReadOnly(false);
  EXPECT_TRUE(ReplaceText(edit, "x"));
  EXPECT_EQ(edit.Text(), "x");
  ButtonEdit& path = form.Create<ButtonEdit>("path");
  int pressed = 0;
  path.OnButtonClick = [&] { ++pressed; };
  EXPECT_TRUE(ClickEllipsis(path));
  EXPECT_EQ(pressed, 1);
}

TEST(Controls, GaugeText) {
  struct Case {
    int min, max, progress;
    std::string text;
  } cases[] = {
      {0, 100, 0, "0%"},   {0, 10, 10, "100%"}, {0, 3, 1, "33%"},          {0, 3, 2, "66%"},
      {0, 0, 5, "0%"},     {5, 15, 10, "50%"},  {0, 2147483647, 2147483647, "100%"},
  };
  for (const Case& c : cases) {
    Gauge gauge;
    gauge.SetMinValue(c.min);
    gauge.SetMaxValue(c.max);
    gauge.SetProgress(c.progress);
    EXPECT_EQ(gauge.Text(), c.text) << c.min << " " << c.max << " " << c.progress;
  }
}

TEST(Controls, SortedListsKeepTheirCurrentItem) {
  ShownForm form;
  ComboBox& combo = form.Create<ComboBox>("combo");
  int objects[3];
  combo.AddItem("b", &objects[0]);
  combo.AddItem("a", &objects[1]);
  combo.SetItemIndex(0);
  combo.SetSorted(true);
  EXPECT_EQ(combo.Text(), "b");
  EXPECT_EQ(combo.ItemIndex(), 1);
  EXPECT_EQ(combo.AddItem("aa", &objects[2]), 1);  // sorted place
  EXPECT_EQ(combo.ItemIndex(), 2);
  EXPECT_EQ(combo.ItemObject(combo.ItemIndex()), &objects[0]);
  combo.DeleteItem(0);
  EXPECT_EQ(combo.Text(), "b");
  combo.DeleteItem(1);
  EXPECT_EQ(combo.ItemIndex(), -1);
  EXPECT_EQ(combo.Text(), "");

  // Only the user's choice fires OnChange; choosing nothing is refused.
  int changes = 0;
  combo.OnChange = [&] { ++changes; };
  combo.SetItemIndex(0);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(Select(combo, std::string_view("aa")));
  EXPECT_FALSE(Select(combo, std::string_view("zz")));
  EXPECT_FALSE(Select(combo, 5));
  EXPECT_EQ(changes, 1);

  ListBox& list = form.Create<ListBox>("list");
  list.AddItem("f");
  list.AddItem("g");
  std::vector<std::string> events;
  list.OnClick = [&] { events.push_back("click " + std::to_string(list.ItemIndex())); };
  list.OnDblClick = [&] { events.push_back("dbl " + std::to_string(list.ItemIndex())); };
  EXPECT_TRUE(DoubleClick(list, 1));
  EXPECT_FALSE(DoubleClick(list, 2));
  EXPECT_EQ(events, (std::vector<std::string>{"click 1", "dbl 1"}));
}

TEST(Controls, ListViewSortingAndSelection) {
  ShownForm form;
  ListView& view = form.Create<ListView>("view");
  view.AddColumn("name", 0, true);
  view.AddColumn("id", 100);
  view.SetSortedByCaption(true);
  for (const char* caption : {"c", "a", "b", "a"}) view.AddItem(caption, {std::string(caption) + std::to_string(view.ItemCount())});
  std::vector<std::string> order;
  for (int i = 0; i < view.ItemCount(); ++i) order.push_back(view.Item(i).subItems[0]);
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "a3", "b2", "c0"}));  // equal captions keep their order
  EXPECT_EQ(view.FindCaption("b"), 2);

  // Single selection: a click replaces it, even with Ctrl.
  EXPECT_TRUE(Select(view, 1));
  EXPECT_TRUE(Select(view, 3, true));
  EXPECT_EQ(view.SelectedCount(), 1);
  EXPECT_EQ(view.SelectedIndex(), 3);
  // Multiple selection: Ctrl adds and removes.
  view.SetMultiSelect(true);
  EXPECT_TRUE(Select(view, 0, true));
  EXPECT_TRUE(Select(view, 2, true));
  EXPECT_TRUE(Select(view, 3, true));
  EXPECT_EQ(view.SelectedCount(), 2);
  EXPECT_EQ(view.SelectedIndex(), 0);
  view.SetMultiSelect(false);  // keeps the first
  EXPECT_EQ(view.SelectedCount(), 1);
  int dbl = -1;
  view.OnDblClick = [&] { dbl = view.SelectedIndex(); };
  EXPECT_TRUE(DoubleClick(view, 2));
  EXPECT_EQ(dbl, 2);
  EXPECT_FALSE(DoubleClick(view, 4));
  view.DeleteItem(2);
  EXPECT_EQ(view.SelectedIndex(), -1);
  view.ClearColumns();
  EXPECT_TRUE(view.Columns().empty());
  EXPECT_EQ(view.ItemCount(), 3) << "the items stay";
}

TEST(Controls, TabChangesMayBeRefused) {
  ShownForm form;
  TabControl& tabs = form.Create<TabControl>("tabs");
  for (const char* t : {"t0", "t1", "t2"}) tabs.AddTab(t);
  std::vector<std::string> events;
  bool allow = true;
  tabs.OnChanging = [&] {
    events.push_back("changing " + std::to_string(tabs.TabIndex()));
    return allow;
  };
  tabs.OnChange = [&] { events.push_back("change " + std::to_string(tabs.TabIndex())); };
  EXPECT_EQ(tabs.TabIndex(), 0);
  EXPECT_TRUE(SelectTab(tabs, 2));
  EXPECT_FALSE(SelectTab(tabs, 2));  // already current: nothing happens
  allow = false;
  EXPECT_FALSE(SelectTab(tabs, 1));
  EXPECT_EQ(tabs.TabIndex(), 2);
  tabs.SetTabIndex(0);  // program code: no events
  tabs.OnChanging = [&]() -> bool { throw std::runtime_error("save failed"); };
  EXPECT_FALSE(SelectTab(tabs, 1));
  EXPECT_EQ(tabs.TabIndex(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"changing 0", "change 2", "changing 2"}));
  Application::Instance().Dialogs().Reset();
}

TEST(Controls, PagesShowOneAtATimeAndServeAsParents) {
  ShownForm form;
  PageControl& pages = form.Create<PageControl>("pages");
  pages.SetTabsVisible(false);
  Page& first = pages.AddPage("first");
  Page& second = pages.AddPage("second");
  Button& button = second.Create<Button>("button");
  EXPECT_EQ(pages.ActivePage(), &first);
  EXPECT_FALSE(second.Visible());
  EXPECT_FALSE(Click(button));  // on a hidden page
  pages.SetActivePage(second);
  EXPECT_EQ(pages.ActivePageIndex(), 1);
  EXPECT_FALSE(first.Visible());
  EXPECT_TRUE(Click(button));
  pages.SetActivePageIndex(7);
  EXPECT_EQ(pages.ActivePageIndex(), 1);
  EXPECT_EQ(second.PageIndex(), 1);
  EXPECT_EQ(Application::Instance().FindWindow(second.Handle()), &second);
  // A form embedded in a page.
  Form wizard;
  wizard.SetParentWindow(second.Handle());
  wizard.SetAlign(AlignMode::kClient);
  Button& next = wizard.Create<Button>("next");
  wizard.Show();
  EXPECT_TRUE(Click(next));
  pages.SetActivePage(first);
  EXPECT_FALSE(wizard.Showing());
  EXPECT_FALSE(Click(next));
}

TEST(Controls, NameValueEditorCellsAndButtons) {
  ShownForm form;
  ValueListEditor& list = form.Create<ValueListEditor>("list");
  list.SetTitles("col", "expr");
  list.SetColumnWidths(83, 411);
  list.AddRow("a", "", true);
  list.AddRow("b", "Import(1)", false);
  std::vector<int> pressed;
  list.OnEditButtonClick = [&] { pressed.push_back(list.CurrentRow()); };
  EXPECT_TRUE(ClickRowEllipsis(list, 0));
  EXPECT_FALSE(ClickRowEllipsis(list, 1));  // no button on that row
  EXPECT_FALSE(ClickRowEllipsis(list, 2));
  EXPECT_EQ(pressed, std::vector<int>{0});
  EXPECT_TRUE(EditRowValue(list, 1, "x"));
  EXPECT_EQ(list.Row(1).value, "x");
  EXPECT_EQ(list.CurrentRow(), 1);
  list.SetReadOnly(true);
  EXPECT_FALSE(EditRowValue(list, 0, "y"));
  int dbl = -1;
  list.OnDblClick = [&] { dbl = list.CurrentRow(); };
  EXPECT_TRUE(DoubleClickRow(list, 0));
  EXPECT_EQ(dbl, 0);
  list.ClearRows();
  EXPECT_EQ(list.CurrentRow(), -1);
}

TEST(Controls, ContextMenus) {
  ShownForm form;
  Panel& grid = form.Create<Panel>("grid");
  PopupMenu menu;
  std::vector<std::string> clicked;
  for (const char* name : {"N1", "N2", "N3", "N4"}) {
    MenuItem& item = menu.AddItem(name, std::string(name) == "N3" ? "-" : std::string("item ") + name);
    item.OnClick = [&clicked, name] { clicked.push_back(name); };
  }
  menu.FindItem("N2")->enabled = false;
  EXPECT_FALSE(ClickMenuItem(grid, "N1"));  // no menu on the control yet
  grid.SetContextMenu(&menu);
  struct Case {
    const char* item;
    bool clicked;
  } cases[] = {{"N1", true}, {"item N4", true}, {"N2", false}, {"N3", false}, {"N9", false}};
  for (const Case& c : cases) EXPECT_EQ(ClickMenuItem(grid, c.item), c.clicked) << c.item;
  EXPECT_EQ(clicked, (std::vector<std::string>{"N1", "N4"}));
}

TEST(Controls, UsersCannotReachHiddenOrDisabledControls) {
  ShownForm form;
  Panel& panel = form.Create<Panel>("panel");
  Button& button = panel.Create<Button>("button");
  Edit& edit = panel.Create<Edit>("edit");
  ComboBox& combo = panel.Create<ComboBox>("combo");
  combo.AddItem("x");
  struct Case {
    const char* what;
    std::function<void()> arrange;
    bool usable;
  } cases[] = {
      {"all enabled and visible", [] {}, true},
      {"panel disabled", [&] { panel.SetEnabled(false); }, false},
      {"panel hidden", [&] { panel.Hide(); }, false},
      {"controls disabled", [&] {
         button.SetEnabled(false);
         edit.SetEnabled(false);
         combo.SetEnabled(false);
       }, false},
  };
  for (const Case& c : cases) {
    panel.SetEnabled(true);
    panel.Show();
    for (Control* control : std::vector<Control*>{&button, &edit, &combo}) control->SetEnabled(true);
    c.arrange();
    EXPECT_EQ(Click(button), c.usable) << c.what;
    EXPECT_EQ(TypeText(edit, "a"), c.usable) << c.what;
    EXPECT_EQ(Select(combo, 0), c.usable) << c.what;
  }
  EXPECT_EQ(FindControl<Button>(form, "edit"), nullptr);  // the wrong type
  EXPECT_THROW(ControlOf<Edit>(form, "missing"), std::out_of_range);
}

// What a screen reader says for a control: a label's caption (its colon in either code page
// dropped) names the field it stands for, a name of its own wins, a button speaks its
// caption, and a field nothing names is silent.
TEST(Controls, AccessibleNames) {
  struct Case {
    const char* what;
    const char* label;     // nullptr: no label
    const char* own;       // nullptr: none set
    ControlKind kind;
    std::string caption;  // a button's
    std::string expected;
  } const cases[] = {
      {"a label with an ASCII colon", "Name: ", nullptr, ControlKind::kEdit, "", "Name"},
      {"a GBK full-width colon", "\xB5\xA5\xCE\xBB\xA3\xBA", nullptr, ControlKind::kEdit, "", "\xB5\xA5\xCE\xBB"},
      {"a UTF-8 full-width colon", "\xE5\xB9\xB4\xEF\xBC\x9A", nullptr, ControlKind::kComboBox, "", "\xE5\xB9\xB4"},
      // A GBK character whose trail byte is ':' or ' ' cannot exist (trail bytes are 0x40
      // and up): a caption ending in one keeps it whole.
      {"a caption without a colon", "\xB5\xA5\xCE\xBB", nullptr, ControlKind::kListView, "", "\xB5\xA5\xCE\xBB"},
      {"its own name over the label", "Name:", "Unit code", ControlKind::kEdit, "", "Unit code"},
      {"a button", nullptr, nullptr, ControlKind::kButton, "< Back", "< Back"},
      {"a button named otherwise", nullptr, "Move all", ControlKind::kButton, ">>", "Move all"},
      {"a field without a label", nullptr, nullptr, ControlKind::kEdit, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShownForm form;
    Label* label = c.label ? &form.Create<Label>("label") : nullptr;
    Control* control = nullptr;
    if (c.kind == ControlKind::kButton) {
      auto& button = form.Create<Button>("control");
      button.SetCaption(c.caption);
      control = &button;
    } else if (c.kind == ControlKind::kComboBox) {
      control = &form.Create<ComboBox>("control");
    } else if (c.kind == ControlKind::kListView) {
      control = &form.Create<ListView>("control");
    } else {
      control = &form.Create<Edit>("control");
    }
    if (label) {
      label->SetCaption(c.label);
      label->LabelFor(*control, 'N');
      EXPECT_EQ(control->LabelledBy(), label);
      EXPECT_EQ(label->Mnemonic(), 'N');
    }
    if (c.own) control->SetAccessibleName(c.own);
    EXPECT_EQ(control->AccessibleName(), c.expected);
  }
}

// A label and its field may go in either order, and a label may be pointed elsewhere: no
// name is left over from a control that no longer has the label, and nothing dangles.
TEST(Controls, LabelsAndFieldsComeAndGo) {
  ShownForm form;
  auto& label = form.Create<Label>("label");
  label.SetCaption("Year:");
  auto& first = form.Create<Edit>("first");
  auto& second = form.Create<Edit>("second");
  label.SetFocusControl(&first);
  label.SetFocusControl(&second);
  EXPECT_EQ(first.AccessibleName(), "");
  EXPECT_EQ(second.AccessibleName(), "Year");
  label.SetCaption("Period:");
  EXPECT_EQ(second.AccessibleName(), "Period");

  auto field = std::make_unique<Edit>();
  field->SetParent(&form);
  label.SetFocusControl(field.get());
  field.reset();
  EXPECT_EQ(label.FocusControl(), nullptr);

  auto gone = std::make_unique<Label>();
  gone->SetParent(&form);
  gone->SetCaption("Code:");
  gone->SetFocusControl(&first);
  EXPECT_EQ(first.AccessibleName(), "Code");
  gone.reset();
  EXPECT_EQ(first.LabelledBy(), nullptr);
  EXPECT_EQ(first.AccessibleName(), "");
}

// The focus program code gives is the form's to remember (a backend moves it on screen),
// and forgotten with the control.
TEST(Controls, TheFocusProgramCodeSets) {
  ShownForm form;
  EXPECT_EQ(form.ActiveControl(), nullptr);
  auto& panel = form.Create<Panel>("panel");
  auto& year = panel.Create<Edit>("year");
  year.SetFocus();
  EXPECT_EQ(form.ActiveControl(), &year);
  auto period = std::make_unique<Edit>();
  period->SetParent(&panel);
  period->SetFocus();
  EXPECT_EQ(form.ActiveControl(), period.get());
  period.reset();
  EXPECT_EQ(form.ActiveControl(), nullptr);
}

}  // namespace
}  // namespace ryn::ui
