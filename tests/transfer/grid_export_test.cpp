// The grid destination: fields named by the heading row, rows filled below it, the grid
// grown in blocks of 100 rows and trimmed by Fina; and a transfer into it end to end.
#include <gtest/gtest.h>

#include "expr/common_functions.h"
#include "platform/codepage.h"
#include "support/recording_events.h"
#include "support/table_ports.h"
#include "transfer/grid_export.h"
#include "transfer/trans_frame.h"

namespace ryn {
namespace {

class GridExportTest : public ::testing::Test {
 protected:
  GridExportTest() {
    grid->SetText(1, 0, Ansi("代码"));
    grid->SetText(2, 0, Ansi("名称"));
    engine->SetGridData(grid.get());
  }

  // Appends a record with the given texts for fields 0 and 1, by index.
  void Record(const std::string& a, const std::string& b) {
    engine->Append();
    engine->GetField(0).Query<IFieldWriter>()->SetAsString(a);
    engine->GetField(1).Query<IFieldWriter>()->SetAsString(b);
    engine->Post();
  }

  IntfPtr<TGridData> grid = MakeIntf<TGridData>(3, 51);
  IntfPtr<TGridExport> engine = MakeIntf<TGridExport>();
};

TEST_F(GridExportTest, FieldsAreTheColumnsAfterTheFirst) {
  EXPECT_EQ(engine->GetFieldCount(), 2);
  struct Case {
    std::string name;
    int32_t index;  // -1: none
  } cases[] = {{Ansi("代码"), 0}, {Ansi("名称"), 1}, {"", -1}, {Ansi("代"), -1}};
  for (const Case& c : cases) {
    IntfPtr<ITransField> f = engine->FindField(c.name);
    ASSERT_EQ(f != nullptr, c.index >= 0) << c.name;
    if (!f) continue;
    EXPECT_EQ(f->GetIndex(), c.index);
    EXPECT_EQ(f->GetName(), c.name);
    EXPECT_EQ(f->GetDataType(), 65);
    EXPECT_FALSE(f.Query<IFieldReader>());
  }
  EXPECT_FALSE(engine->GetField(2));
  EXPECT_FALSE(engine->GetField(-1));
  EXPECT_EQ(engine->GetField(1)->GetName(), Ansi("名称"));

  // Letter case is ignored by ASCII rules; a grid of one column has no fields.
  grid->SetText(1, 0, "Code");
  EXPECT_EQ(engine->FindField("cODE")->GetIndex(), 0);
  auto narrow = MakeIntf<TGridExport>();
  narrow->SetGridData(MakeIntf<TGridData>(1, 3).get());
  EXPECT_EQ(narrow->GetFieldCount(), 0);
  EXPECT_FALSE(narrow->FindField(""));
  EXPECT_FALSE(MakeIntf<TGridExport>()->GetPort());
  EXPECT_TRUE(engine->GetPort().Query<IExport>());
}

TEST_F(GridExportTest, GrowsByHundredRowsAndFinaTrims) {
  for (int r = 1; r <= 50; ++r) Record("c" + std::to_string(r), "n");
  EXPECT_EQ(grid->GetRowCount(), 51);  // 50 records below the heading, no row added
  Record("c51", "n51");
  EXPECT_EQ(grid->GetRowCount(), 151);
  EXPECT_EQ(grid->Text(1, 51), "c51");
  EXPECT_EQ(grid->Text(2, 51), "n51");
  EXPECT_EQ(grid->Text(1, 1), "c1");
  EXPECT_EQ(grid->Text(1, 0), Ansi("代码"));
  engine->Fina();
  EXPECT_EQ(grid->GetRowCount(), 52);
}

TEST_F(GridExportTest, FinaKeepsTheRecordsOnlyAndNothingWithoutThem) {
  grid->SetText(1, 2, "old");
  grid->SetText(2, 2, "old");
  grid->SetText(1, 10, "below");
  engine->Fina();  // no record yet: unchanged
  EXPECT_EQ(grid->GetRowCount(), 51);

  Record("a", "b");
  engine->Append();  // a record whose second field is not set keeps the old text
  engine->GetField(0).Query<IFieldWriter>()->SetAsString("c");
  engine->Post();
  Record("e", "f");
  engine->Fina();
  EXPECT_EQ(grid->GetRowCount(), 4);
  const std::string expected[4][2] = {{Ansi("代码"), Ansi("名称")}, {"a", "b"}, {"c", "old"}, {"e", "f"}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 2; ++c) EXPECT_EQ(grid->Text(c + 1, r), expected[r][c]) << r << "," << c;

  // A second transfer continues below the first.
  Record("g", "h");
  engine->Fina();
  EXPECT_EQ(grid->GetRowCount(), 5);
  EXPECT_EQ(grid->Text(1, 4), "g");
}

TEST_F(GridExportTest, SinkAndLifetime) {
  auto events = MakeIntf<testing::RecordingEvents>();
  EXPECT_FALSE(QueryIntf<ITransEvents>(static_cast<ITransEngine*>(engine.get())));
  engine->SetEvents(events.get());
  EXPECT_EQ(QueryIntf<ITransEvents>(static_cast<ITransEngine*>(engine.get())).get(),
            static_cast<ITransEvents*>(events.get()));
  // A field kept by a caller keeps the engine alive.
  IntfPtr<ITransField> field = engine->GetField(0);
  ITransEngine* raw = engine.get();
  engine.Reset();
  EXPECT_EQ(raw->GetName(), "GridDataExport");
  field.Reset();
}

TEST(GridTransfer, SourceRecordsFillTheGrid) {
  TCommonFunctionsRegistration common;
  auto grid = MakeIntf<TGridData>(3, 2);
  grid->SetText(1, 0, "name");
  grid->SetText(2, 0, "type");
  grid->SetText(1, 1, "stale");
  auto engine = MakeIntf<TGridExport>();
  engine->SetGridData(grid.get());
  auto source = MakeIntf<testing::TableSource>(std::vector<testing::Column>{{"f", 65}, {"t", 6}},
                                               std::vector<std::vector<std::string>>{{"A", "6"}, {"B", "65"}});
  auto events = MakeIntf<testing::RecordingEvents>();
  {
    TTransFrame frame;
    frame.SetEvents(events.get());
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(engine.get(), false);
    frame.Execute();  // the default script: the text column first, then the integer
  }
  EXPECT_EQ(events->messages, (std::vector<std::pair<int32_t, std::string>>{}));
  ASSERT_EQ(grid->GetRowCount(), 3);
  EXPECT_EQ(grid->Text(1, 1), "A");
  EXPECT_EQ(grid->Text(2, 1), "6");
  EXPECT_EQ(grid->Text(1, 2), "B");
  EXPECT_EQ(grid->Text(2, 2), "65");
}

}  // namespace
}  // namespace ryn
