// The ODBC engine's wizard through the exported Config* functions of the real library, on
// a SQLite database reached through the SQLite ODBC driver: the connection page refusing
// what does not connect, the driver's table list, the query preferred over a table, the
// preview, and the engine changed at ConfigUpdate and only then, never with a password.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "support/wizard_host.h"

namespace ryn {
namespace {

using testing::OptionsText;
using testing::TempDir;
using testing::WizardHost;

const std::string kLibrary = RYNFILER_ODBC_LIBRARY;
const std::string kDriver = RYNFILER_SQLITE_ODBC_DRIVER;

class OdbcConfigTest : public ::testing::Test {
 protected:
  OdbcConfigTest() {
    sqlite3* h = nullptr;
    sqlite3_open(db.c_str(), &h);
    std::string sql = "CREATE TABLE zeta(z TEXT); CREATE TABLE people(name TEXT, age INTEGER);"
                      "CREATE VIEW adults AS SELECT name FROM people WHERE age >= 18; CREATE TABLE 客户(名称 TEXT);";
    for (int i = 1; i <= 25; ++i) sql += "INSERT INTO people VALUES('p" + std::to_string(i) + "', " + std::to_string(i) + ");";
    sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(h);
  }
  std::string Connection() const { return "DRIVER=" + kDriver + ";Database=" + db; }

  TempDir dir;
  const std::string db = dir.Path("data.db");
  WizardHost host{kLibrary};
};

TEST_F(OdbcConfigTest, TheConnectionPageRefusesWhatDoesNotConnect) {
  ASSERT_EQ(host.Open(), 0);
  host.First();
  EXPECT_EQ(host.ShownPage(), "tsConnection");
  const struct {
    const char* dsn;
    std::string connection;
    std::string start;  // the message's beginning
    uint32_t icon;
  } cases[] = {
      {"", "", Ansi("请指定ODBC数据源，或者输入连接串！"), ui::kMbIconInformation},
      {"no_such_dsn", "", Ansi("连接ODBC数据源“no_such_dsn”失败：IM002 "), ui::kMbIconWarning},
      {"", "DRIVER=/no/such.so;PWD=s3cret", Ansi("连接ODBC数据源“DRIVER=/no/such.so”失败："), ui::kMbIconWarning},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtDsn"), c.dsn));
    ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtConnection"), c.connection));
    EXPECT_EQ(host.Check(), -1);
    auto boxes = host.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.starts_with(c.start)) << boxes[0].text;
    EXPECT_EQ(boxes[0].text.find("s3cret"), std::string::npos);
    EXPECT_EQ(boxes[0].flags, ui::kMbOk | c.icon);
  }
  // A connection that works lists the driver's tables and views in name order.
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtConnection"), Connection()));
  EXPECT_EQ(host.Check(), 0);
  std::vector<std::string> tables;
  for (const auto& item : host.Get<ui::ListBox>("lbTables").Items()) tables.push_back(item.text);
  // A name outside ASCII comes back whole, though this process never set its locale.
  EXPECT_EQ(tables, (std::vector<std::string>{"adults", "people", "zeta", Ansi("客户")}));
}

TEST_F(OdbcConfigTest, ATableIsPreviewedAQueryWinsAndUpdateWritesThem) {
  ASSERT_EQ(host.Open(), 0);
  host.First();
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtConnection"), Connection() + ";PWD=s3cret"));
  ASSERT_EQ(host.Check(), 0);
  host.Next();
  EXPECT_EQ(host.Check(), -1) << "neither a table nor a query";
  EXPECT_EQ(host.TakeBoxes().size(), 1u);
  auto& tables = host.Get<ui::ListBox>("lbTables");
  ASSERT_TRUE(ui::Select(tables, tables.IndexOf("people")));
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtSql"), "SELEC"));
  EXPECT_EQ(host.Check(), -1) << "the typed query wins, and the driver refuses it";
  EXPECT_EQ(host.TakeBoxes().size(), 1u);
  ASSERT_TRUE(ui::ReplaceText(host.Get<ui::Edit>("edtSql"), ""));
  ASSERT_EQ(host.Check(), 0);
  host.Next();
  auto& preview = host.Get<ui::ListView>("lvPreview");
  ASSERT_EQ(preview.Columns().size(), 2u);
  EXPECT_EQ(preview.Columns()[1].caption, "age");
  ASSERT_EQ(preview.ItemCount(), 20) << "the first 20 of 25 rows";
  EXPECT_EQ(preview.Item(19).caption, "p20");
  EXPECT_EQ(host.FieldCount(host.engine), 0) << "the engine is untouched so far";
  host.Update();
  EXPECT_EQ(host.Options(), OptionsText({{"连接串", Connection()}, {"表", "people"}}));
  EXPECT_EQ(host.FieldCount(host.engine), 2);
}

}  // namespace
}  // namespace ryn
