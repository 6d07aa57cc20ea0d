// The SQLite engine's wizard, driven through the exported Config* functions of the real
// library with the wizard embedded in a page of ours: page moves, the database and source
// pages refusing what cannot be read, the table list, the query preferred over a table,
// the preview, and that the engine changes at ConfigUpdate and only then.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "support/wizard_host.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::OptionsText;
using testing::TempDir;
using testing::WizardHost;

const std::string kLibrary = RYNFILER_SQLITE_LIBRARY;

void Exec(const std::string& db, const std::string& sql) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
  char* err = nullptr;
  EXPECT_EQ(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
  sqlite3_free(err);
  sqlite3_close(h);
}

std::vector<std::string> Items(const ui::ListBox& list) {
  std::vector<std::string> items;
  for (const auto& item : list.Items()) items.push_back(item.text);
  return items;
}

class SqliteConfigTest : public ::testing::Test {
 protected:
  SqliteConfigTest() {
    std::string sql = "BEGIN; CREATE TABLE zeta(z TEXT); CREATE TABLE people(name TEXT, age INTEGER);"
                      "CREATE VIEW adults AS SELECT name FROM people WHERE age >= 18;"
                      "CREATE TABLE counter(id INTEGER PRIMARY KEY AUTOINCREMENT);";
    for (int i = 1; i <= 25; ++i) sql += "INSERT INTO people VALUES('p" + std::to_string(i) + "', " + std::to_string(i) + ");";
    Exec(db, sql + "COMMIT;");
    Exec(other, "CREATE TABLE other(x INTEGER); INSERT INTO other VALUES(7);");
    TempDir::Write(text, "name,qty\r\nnot,a database\r\n");
  }

  // Opens the wizard and passes its database page with db.
  void OpenAt(const std::string& database) {
    ASSERT_EQ(host.Open(), 0);
    host.First();
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtDatabase"), database));
    ASSERT_EQ(host.Check(), 0);
    host.Next();
  }

  TempDir dir;
  const std::string db = dir.Path("data.db");
  const std::string other = dir.Path("other.sqlite");
  const std::string text = dir.Path("text.csv");
  WizardHost host{kLibrary};
};

TEST_F(SqliteConfigTest, PagesMoveWithinTheWizardAndSetTheHostsHeader) {
  ASSERT_EQ(host.Open(), 0);
  struct Step {
    void (WizardHost::*move)() const;
    std::string page;
    int32_t bof, eof;
  } const steps[] = {
      {&WizardHost::First, "tsDatabase", -1, 0}, {&WizardHost::Previous, "tsDatabase", -1, 0},
      {&WizardHost::Next, "tsSource", 0, 0},     {&WizardHost::Next, "tsPreview", 0, -1},
      {&WizardHost::Next, "tsPreview", 0, -1},   {&WizardHost::Previous, "tsSource", 0, 0},
      {&WizardHost::Last, "tsPreview", 0, -1},   {&WizardHost::First, "tsDatabase", -1, 0},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    (host.*steps[i].move)();
    EXPECT_EQ(host.ShownPage(), steps[i].page) << i;
    EXPECT_EQ(host.IsBOF(), steps[i].bof) << i;
    EXPECT_EQ(host.IsEOF(), steps[i].eof) << i;
  }
  ASSERT_EQ(host.statuses.size(), 6u) << "one header per page shown";
  EXPECT_EQ(host.statuses[0], std::make_pair(Ansi("SQLite数据库"), Ansi("选择要导入的SQLite数据库文件")));
  EXPECT_EQ(host.statuses[1], std::make_pair(Ansi("SQLite数据库"), Ansi("选择要导入的表，或者输入一条SELECT查询语句")));
  EXPECT_EQ(host.statuses[2], std::make_pair(Ansi("SQLite数据库"), Ansi("数据预览：查询结果的前20条记录")));
  EXPECT_TRUE(host.TakeBoxes().empty());
}

TEST_F(SqliteConfigTest, TheDatabasePageRefusesWhatIsNoReadableDatabase) {
  struct Case {
    std::string file;
    std::string text;  // the message, or its beginning when it ends with "："
    uint32_t icon;
  } const cases[] = {
      {"", Ansi("请指定要导入的SQLite数据库文件！"), ui::kMbIconInformation},
      {dir.Path("missing.db"), Ansi("文件“") + dir.Path("missing.db") + Ansi("”不存在！"), ui::kMbIconWarning},
      {text, Ansi("文件“") + text + Ansi("”不是SQLite数据库，或者无法读取："), ui::kMbIconWarning},
  };
  ASSERT_EQ(host.Open(), 0);
  host.First();
  auto& edit = host.Get<ui::ButtonEdit>("edtDatabase");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(ui::ReplaceText(edit, c.file));
    EXPECT_EQ(host.Check(), -1);
    auto boxes = host.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    if (c.text.ends_with(Ansi("："))) {
      EXPECT_TRUE(boxes[0].text.starts_with(c.text)) << boxes[0].text;
      EXPECT_GT(boxes[0].text.size(), c.text.size()) << "SQLite's reason follows";
    } else {
      EXPECT_EQ(boxes[0].text, c.text);
    }
    EXPECT_EQ(boxes[0].caption, Ansi("提示"));
    EXPECT_EQ(boxes[0].flags, ui::kMbOk | c.icon);
    EXPECT_EQ(edit.SelLength(), static_cast<int>(edit.Text().size()));
  }
  EXPECT_TRUE(host.Get<ui::ListBox>("lbTables").Items().empty());

  // A database lists its tables and views in name order, without SQLite's own.
  ASSERT_TRUE(ui::ReplaceText(edit, db));
  EXPECT_EQ(host.Check(), 0);
  EXPECT_EQ(Items(host.Get<ui::ListBox>("lbTables")), (std::vector<std::string>{"adults", "counter", "people", "zeta"}));
  EXPECT_TRUE(host.TakeBoxes().empty());
}

TEST_F(SqliteConfigTest, TheSourcePageWantsATableOrAQueryThatSqliteAccepts) {
  const std::string original = host.Options();
  OpenAt(db);
  auto& sql = host.Get<ui::Edit>("edtSql");
  struct Case {
    std::string query;
    std::string text;  // the message, or its beginning when it ends with "："
    uint32_t icon;
  } const cases[] = {
      {"", Ansi("请选择要导入的表，或者输入SQL查询语句！"), ui::kMbIconInformation},
      {"  ", Ansi("请选择要导入的表，或者输入SQL查询语句！"), ui::kMbIconInformation},
      {"SELEC name FROM people", Ansi("SQLite数据库“") + db + Ansi("”的查询出错："), ui::kMbIconWarning},
      {"SELECT nothing FROM people", Ansi("SQLite数据库“") + db + Ansi("”的查询出错："), ui::kMbIconWarning},
      {"DELETE FROM people", Ansi("SQLite数据库“") + db + Ansi("”的查询出错："), ui::kMbIconWarning},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    ASSERT_TRUE(ui::ReplaceText(sql, c.query));
    EXPECT_EQ(host.Check(), -1);
    auto boxes = host.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    if (c.text.ends_with(Ansi("："))) {
      EXPECT_TRUE(boxes[0].text.starts_with(c.text)) << boxes[0].text;
      EXPECT_GT(boxes[0].text.size(), c.text.size()) << "SQLite's reason follows";
    } else {
      EXPECT_EQ(boxes[0].text, c.text);
    }
    EXPECT_EQ(boxes[0].caption, Ansi("提示"));
    EXPECT_EQ(boxes[0].flags, ui::kMbOk | c.icon);
    EXPECT_EQ(host.ShownPage(), "tsSource");
  }
  EXPECT_EQ(host.Options(), original);
  EXPECT_TRUE(host.messages.empty()) << "the engine's own sink heard nothing of the checks";
}

TEST_F(SqliteConfigTest, AChosenTableIsPreviewedAndUpdateWritesIt) {
  OpenAt(db);
  auto& tables = host.Get<ui::ListBox>("lbTables");
  ASSERT_TRUE(ui::Select(tables, tables.IndexOf("people")));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  auto& preview = host.Get<ui::ListView>("lvPreview");
  ASSERT_EQ(preview.Columns().size(), 2u);
  EXPECT_EQ(preview.Columns()[0].caption, "name");
  EXPECT_EQ(preview.Columns()[1].caption, "age");
  ASSERT_EQ(preview.ItemCount(), 20) << "the first 20 of 25 rows";
  EXPECT_EQ(preview.Item(0).caption, "p1");
  EXPECT_EQ(preview.Item(0).subItems, std::vector<std::string>{"1"});
  EXPECT_EQ(preview.Item(19).caption, "p20");

  const RynHandle port = host.Port();
  ASSERT_NE(port, 0);
  EXPECT_EQ(host.FieldCount(port), 2);
  EXPECT_EQ(host.FieldCount(host.engine), 0) << "the engine is untouched so far";
  host.Update();
  EXPECT_EQ(host.Options(), OptionsText({{"数据库", db}, {"表", "people"}}));
  EXPECT_EQ(host.FieldCount(host.engine), 2);
  host.Fina();
  EXPECT_EQ(host.Port(), 0);
  EXPECT_EQ(host.Check(), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(host.FieldCount(port), 0);
}

TEST_F(SqliteConfigTest, AQueryIsPreferredOverAChosenTable) {
  OpenAt(db);
  auto& tables = host.Get<ui::ListBox>("lbTables");
  ASSERT_TRUE(ui::Select(tables, tables.IndexOf("zeta")));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtSql"), " SELECT age FROM people WHERE age > 22 "));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  auto& preview = host.Get<ui::ListView>("lvPreview");
  ASSERT_EQ(preview.Columns().size(), 1u);
  EXPECT_EQ(preview.Columns()[0].caption, "age");
  ASSERT_EQ(preview.ItemCount(), 3);
  EXPECT_EQ(preview.Item(2).caption, "25");
  host.Update();
  EXPECT_EQ(host.Options(), OptionsText({{"数据库", db}, {"查询", "SELECT age FROM people WHERE age > 22"}}));
}

// What the source page last took decides, whatever the engine or the copy held before: a
// query cleared for a table is gone (its error with it), a table left for a query too.
TEST_F(SqliteConfigTest, TheLastChoiceOfTheSourcePageIsTheOnlyOne) {
  const std::string query = "SELECT age FROM people";
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, std::string>> engine;  // the options the engine starts with
    std::vector<std::string> queries;  // typed and checked in turn before the final choice
    bool refused;                      // the last of them is refused
    std::string finalQuery, finalTable;
    std::string options;  // of the engine after Update
    int fields;
  } const cases[] = {
      {"a query checked, cleared for a table", {}, {query}, false, "", "zeta",
       OptionsText({{"数据库", db}, {"表", "zeta"}}), 1},
      {"a refused query cleared for a table", {}, {"SELEC broken"}, true, "", "zeta",
       OptionsText({{"数据库", db}, {"表", "zeta"}}), 1},
      {"the engine's query cleared for a table", {{"数据库", db}, {"查询", query}}, {}, false, "", "zeta",
       OptionsText({{"数据库", db}, {"表", "zeta"}}), 1},
      {"the engine's table left for a query", {{"数据库", db}, {"表", "zeta"}}, {}, false, query, "",
       OptionsText({{"数据库", db}, {"查询", query}}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WizardHost fresh{kLibrary};  // one for each case
    if (!c.engine.empty()) {
      ASSERT_EQ(fresh.SetOptions(OptionsText(c.engine)), 0);
    }
    ASSERT_EQ(fresh.Open(), 0);
    fresh.First();
    ASSERT_TRUE(ui::ReplaceText(fresh.Get<ui::ButtonEdit>("edtDatabase"), db));
    ASSERT_EQ(fresh.Check(), 0);
    fresh.Next();
    auto& sql = fresh.Get<ui::Edit>("edtSql");
    auto& tables = fresh.Get<ui::ListBox>("lbTables");
    for (const std::string& q : c.queries) {
      ASSERT_TRUE(ui::ReplaceText(sql, q));
      EXPECT_EQ(fresh.Check(), c.refused && &q == &c.queries.back() ? -1 : 0);
    }
    fresh.TakeBoxes();
    ASSERT_TRUE(ui::ReplaceText(sql, c.finalQuery));
    if (!c.finalTable.empty()) {
      ASSERT_TRUE(ui::Select(tables, tables.IndexOf(c.finalTable)));
    }
    EXPECT_EQ(fresh.Check(), 0);
    EXPECT_TRUE(fresh.TakeBoxes().empty()) << "no error of an earlier query";
    EXPECT_EQ(fresh.FieldCount(fresh.Port()), c.fields);
    fresh.Update();
    EXPECT_EQ(fresh.Options(), c.options);
    EXPECT_EQ(fresh.FieldCount(fresh.engine), c.fields);
    fresh.Fina();
  }
}

TEST_F(SqliteConfigTest, TheWizardShowsTheEnginesSettingsAndFinaWithoutUpdateKeepsThem) {
  ASSERT_EQ(host.SetOptions(OptionsText({{"数据库", db}, {"表", "people"}})), 0);
  const std::string original = host.Options();
  ASSERT_EQ(host.Open(), 0);
  host.First();
  EXPECT_EQ(host.Get<ui::ButtonEdit>("edtDatabase").Text(), db);
  auto& tables = host.Get<ui::ListBox>("lbTables");
  ASSERT_GE(tables.ItemIndex(), 0) << "the engine's table is chosen";
  EXPECT_EQ(tables.ItemText(tables.ItemIndex()), "people");
  EXPECT_EQ(host.FieldCount(host.Port()), 2) << "the copy reads what the engine reads";

  // Another database: its tables replace the list, and the choice goes with the old one.
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::ButtonEdit>("edtDatabase"), other));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  EXPECT_EQ(Items(tables), std::vector<std::string>{"other"});
  EXPECT_EQ(tables.ItemIndex(), -1);
  ASSERT_TRUE(ui::Select(tables, 0));
  EXPECT_EQ(host.Check(), 0);
  host.Next();
  EXPECT_EQ(host.Get<ui::ListView>("lvPreview").ItemCount(), 1);
  EXPECT_EQ(host.FieldCount(host.Port()), 1);
  EXPECT_EQ(host.Options(), original) << "checked pages go into the copy only";
  host.Fina();
  EXPECT_EQ(host.Options(), original);
  EXPECT_EQ(host.FieldCount(host.engine), 2);
}

}  // namespace
}  // namespace ryn
