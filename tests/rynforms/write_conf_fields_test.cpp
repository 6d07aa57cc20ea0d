// The fields page of the exchange file engine's wizard: the catalogue of the chosen data
// type in one list, the fields to export in the other, the buttons and double-clicks that
// move them, the page's check, and "维护" editing the catalogue in the field dialog.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "rynforms/exchange_host.h"
#include "rynforms/fields_dialog_user.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::ExchangeHost;
using Names = std::vector<std::string>;

// An engine of data type type whose catalogue holds sections (caption UTF-8, lines) and
// whose selected columns are columns.
void Configure(ExchangeHost& host, int type, const std::vector<std::pair<const char*, std::string>>& sections,
               const std::string& columns = "") {
  std::string info;
  for (const auto& [caption, lines] : sections) info += "[" + Ansi(caption) + "]\r\n" + lines + "\r\n";
  std::string options = Ansi("数据类型") + "=" + std::to_string(type) + ";" + Ansi("报表信息") + "={" + info + "}";
  if (!columns.empty()) options += ";" + Ansi("选择列") + "={" + columns + "}";
  ASSERT_EQ(EngineSetOptions(host.engine, options.c_str()), 0x10001003);
}

TEST(WriteConfFieldsTest, TheListsShowTheDataTypesCatalogueAndAChangeEmptiesTheSelection) {
  ExchangeHost host;
  Configure(host, 1, {{"浮动数据", "C=c\r\nA=a\r\nB=b\r\nD=d"}, {"固定数据", "X=x"}}, "B=b\r\nZ=z\r\nA=a");
  ASSERT_EQ(host.Open(), RYN_OK);
  auto& type = host.Get<ui::ComboBox>("cbPartType");
  EXPECT_EQ(type.Text(), Ansi("浮动数据"));
  EXPECT_EQ(host.Captions("lvList"), (Names{"C", "D"})) << "sorted, the selected ones taken out";
  EXPECT_EQ(host.Captions("lvSel"), (Names{"B", "Z", "A"})) << "in the engine's order, Z though the catalogue lacks it";
  EXPECT_EQ(host.Get<ui::ListView>("lvSel").Item(1).subItems, Names{"z"});
  EXPECT_EQ(host.Get<ui::ListView>("lvSel").Item(0).subItems, Names{"b"});

  ASSERT_TRUE(ui::Select(type, Ansi("固定数据")));
  EXPECT_EQ(host.Captions("lvList"), Names{"X"});
  EXPECT_TRUE(host.Captions("lvSel").empty());
  EXPECT_EQ(ConfigCheckSucceed(host.config), -1);
  auto boxes = host.TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Ansi("请选择要导出的字段"));
  EXPECT_EQ(boxes[0].caption, Ansi("提示"));
  EXPECT_EQ(boxes[0].flags, ui::kMbOk | ui::kMbIconInformation);
  EXPECT_EQ(host.ShownPage(), "WZTabSheet2");

  ASSERT_TRUE(ui::Select(type, Ansi("维度数据")));
  EXPECT_TRUE(host.Captions("lvList").empty()) << "no section for this type";
  ASSERT_TRUE(ui::Select(type, Ansi("固定数据")));
  ASSERT_TRUE(ui::DoubleClick(host.Get<ui::ListView>("lvList"), 0));
  EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
  EXPECT_TRUE(host.TakeBoxes().empty());
  auto work = host.Work();
  EXPECT_EQ(work["数据类型"], "0");
  EXPECT_EQ(work["选择列"], "X=x") << "the columns of the other type are gone";
}

TEST(WriteConfFieldsTest, TheMoveButtonsAndDoubleClicks) {
  ExchangeHost host;
  Configure(host, 1, {{"浮动数据", "D=d\r\nB=b\r\nA=a\r\nC=c"}});
  ASSERT_EQ(host.Open(), RYN_OK);
  auto& list = host.Get<ui::ListView>("lvList");
  auto& sel = host.Get<ui::ListView>("lvSel");
  struct Step {
    const char* what;
    std::function<bool()> act;
    Names list, sel;
  } const steps[] = {
      {"select B and D, >|", [&] { return ui::Select(list, 1) && ui::Select(list, 3, true) && host.Click("WZButton3"); },
       {"A", "C"}, {"D", "B"}},  // several arrive in reverse order
      {">| with nothing selected", [&] { return host.Click("WZButton3"); }, {"A", "C"}, {"D", "B"}},
      {"select D, |<", [&] { return ui::Select(sel, 0) && host.Click("WZButton4"); }, {"A", "C", "D"}, {"B"}},
      {">>", [&] { return host.Click("WZButton1"); }, {}, {"B", "A", "C", "D"}},
      {"<<", [&] { return host.Click("WZButton2"); }, {"A", "B", "C", "D"}, {}},
      {"double-click C", [&] { return ui::DoubleClick(list, 2); }, {"A", "B", "D"}, {"C"}},
      {"double-click A", [&] { return ui::DoubleClick(list, 0); }, {"B", "D"}, {"C", "A"}},
      {"double-click C back", [&] { return ui::DoubleClick(sel, 0); }, {"B", "C", "D"}, {"A"}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    ASSERT_TRUE(step.act());
    EXPECT_EQ(host.Captions("lvList"), step.list);
    EXPECT_EQ(host.Captions("lvSel"), step.sel);
  }
  EXPECT_EQ(list.Item(1).subItems, Names{"c"}) << "the field name travels with the heading";
}

TEST(WriteConfFieldsTest, TheCheckKeepsOneColumnPerHeading) {
  struct Case {
    const char* name;
    std::string catalogue;
    const char* columns;  // "选择列" of the working copy after the check; nullptr: refused
  } const cases[] = {
      {"same heading twice: the later field", "A=first\r\nB=b\r\nA=second", "A=second\r\nB=b"},
      {"headings differing in case are one", "a=lower\r\nA=upper", "a=lower"},  // A sorts first
      {"no field name: no column", "E=\r\nF", nullptr},
      {"an empty field name removes the heading", "G=g\r\nG=", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExchangeHost host;
    Configure(host, 1, {{"浮动数据", c.catalogue}});
    ASSERT_EQ(host.Open(), RYN_OK);
    ASSERT_TRUE(host.Click("WZButton1"));  // ">>": every line, in the list's order
    if (c.columns) {
      EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
      EXPECT_EQ(host.Work()["选择列"], c.columns);
    } else {
      EXPECT_EQ(ConfigCheckSucceed(host.config), -1);
      EXPECT_EQ(host.TakeBoxes().size(), 1u);
    }
  }
}

// The sample options name their columns without a catalogue: the fields page shows them
// as chosen and the check keeps them; a refused fields page (its selection emptied by a
// change of data type) leaves the copy's columns alone, so finishing from another page
// still exports them.
TEST(WriteConfFieldsTest, TheSamplesColumnsWithoutACatalogueAreShownAndKept) {
  testing::TempDir dir;
  const std::string sample = testing::TempDir::Read(RYNFILER_SAMPLE_DIR "/ryn_export.options");
  ASSERT_NE(sample.find("选择列"), std::string::npos);
  const std::string options =
      FromUtf8(std::regex_replace(sample, std::regex("文件名=[^;]*;"), "文件名=" + dir.Path("out.ryn") + ";"));
  const Names columns{"单位代码=DWDM", "单位名称=DWMC", "营业收入(万元)=YYSR", "利润率(%)=LRL", "从业人数=CYRS", "规模=GM", "备注=BZ"};
  std::string joined;
  for (const std::string& c : columns) joined += (joined.empty() ? "" : "\r\n") + Ansi(c);

  struct Case {
    const char* what;
    std::function<void(ExchangeHost&)> act;  // from the fields page, before 确定
  } const cases[] = {
      {"确定 on the fields page", [](ExchangeHost& host) { EXPECT_EQ(host.Check(), 0); }},
      {"back to the identity page, 确定 there",
       [](ExchangeHost& host) {
         host.Previous();
         EXPECT_EQ(host.Check(), 0);
       }},
      {"确定 on the fields page, then back and 确定 on the identity page",
       [](ExchangeHost& host) {
         EXPECT_EQ(host.Check(), 0);
         host.Previous();
         EXPECT_EQ(host.Check(), 0);
       }},
      {"the selection emptied and refused, then 确定 on the identity page",
       [](ExchangeHost& host) {
         ASSERT_TRUE(ui::Select(host.Get<ui::ComboBox>("cbPartType"), Ansi("浮动数据")));
         EXPECT_EQ(host.Check(), -1);
         EXPECT_EQ(host.TakeBoxes().size(), 1u);
         host.Previous();
         EXPECT_EQ(host.Check(), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExchangeHost host;
    host.SetOptions(options);
    ASSERT_EQ(host.Open(), RYN_OK);
    host.Last();
    ASSERT_EQ(host.ShownPage(), "WZTabSheet2");
    Names shown;
    for (const std::string& caption : host.Captions("lvSel")) shown.push_back(ToUtf8(caption));
    EXPECT_EQ(shown.size(), columns.size());
    for (size_t i = 0; i < shown.size() && i < columns.size(); ++i)
      EXPECT_EQ(shown[i] + "=" + ToUtf8(host.Get<ui::ListView>("lvSel").Item(static_cast<int>(i)).subItems.at(0)),
                columns[i]);
    c.act(host);
    host.Update();
    EXPECT_EQ(host.Engine()["选择列"], joined);
    EXPECT_TRUE(host.TakeBoxes().empty());
  }
}

// "维护": the field dialog on the working copy; after OK the lists are filled again with
// the chosen fields still chosen, after cancel they stay as they were.
TEST(WriteConfFieldsTest, MaintainingTheCatalogueRefillsTheListsAndKeepsTheChoice) {
  ExchangeHost host;
  Configure(host, 1, {{"浮动数据", "A=a\r\nB=b\r\nC=c"}}, "A=a");
  const std::string original = host.Options();
  ASSERT_EQ(host.Open(), RYN_OK);
  ASSERT_TRUE(ui::DoubleClick(host.Get<ui::ListView>("lvList"), 1));  // C, not checked yet
  ASSERT_EQ(host.Captions("lvSel"), (Names{"A", "C"}));

  int shown = 0;
  bool ok = false;
  std::vector<std::string> rows;
  ui::ScopedModalDriver driver([&](ui::Form& form) {
    ++shown;
    testing::FieldsUser user(form);
    ASSERT_TRUE(user.Tab(1));  // 浮动数据
    rows = user.Rows();
    // B goes, C takes another field name, D comes.
    user.Type({{"A", "a"}, {"C", "c2"}, {"D", "d"}});
    ASSERT_TRUE(ok ? user.Ok() : user.Cancel());
  });
  ASSERT_TRUE(host.Click("WZButton5"));
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(rows, (std::vector<std::string>{"A=a", "B=b", "C=c"})) << "the working copy's catalogue";
  EXPECT_EQ(host.Captions("lvList"), (Names{"B"})) << "cancelled: as before";
  EXPECT_EQ(host.Captions("lvSel"), (Names{"A", "C"}));

  ok = true;
  ASSERT_TRUE(host.Click("WZButton5"));
  EXPECT_EQ(host.Captions("lvList"), (Names{"D"}));
  EXPECT_EQ(host.Captions("lvSel"), (Names{"A", "C"}));
  EXPECT_EQ(host.Get<ui::ListView>("lvSel").Item(1).subItems, Names{"c2"});
  EXPECT_EQ(host.Options(), original) << "the catalogue changed in the copy only";

  EXPECT_EQ(ConfigCheckSucceed(host.config), 0);
  ConfigUpdate(host.config);
  auto options = host.Engine();
  EXPECT_EQ(options["报表信息"], "[" + Ansi("浮动数据") + "]\r\nA=a\r\nC=c2\r\nD=d");
  EXPECT_EQ(options["选择列"], "A=a\r\nC=c2");
  EXPECT_TRUE(host.TakeBoxes().empty());
}

}  // namespace
}  // namespace ryn
