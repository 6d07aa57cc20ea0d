#include "sqlite/sqlite_config.h"

#include <vector>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "sqlite/sqlite_engine.h"
#include "transport/options_text.h"

namespace ryn {
IntfPtr<IEngineConfig> TSqliteSource::GetConfig() { return MakeConfig<TSqliteConfig>(this); }

TSqliteConfig::TSqliteConfig(TSqliteSource* target) : TSourceConfig(target, MakeIntf<TSqliteSource>()) {
  Build();
  LoadFrom(target->GetOptions());
}

void TSqliteConfig::Build() {
  SetName("SqliteConfig");
  ui::Page& database = NewPage("tsDatabase");
  ui::Label& label1 = AddLabel(database, "Label1", "SQLite数据库:", 16, 20);
  databaseEdit_ = &database.Create<ui::ButtonEdit>("edtDatabase");
  label1.LabelFor(*databaseEdit_, 'S');
  databaseEdit_->SetBounds(110, 16, 370, 21);
  databaseEdit_->OnButtonClick = [this] { ChooseFile(*databaseEdit_, openDialog_); };
  AddLabel(database, "Label2", "请指定要导入的SQLite数据库文件", 110, 46);

  ui::Page& source = NewPage("tsSource");
  ui::Label& label3 = AddLabel(source, "Label3", "表和视图:", 16, 8);
  tableList_ = &source.Create<ui::ListBox>("lbTables");
  label3.LabelFor(*tableList_, 'T');
  tableList_->SetBounds(16, 28, 220, 172);
  ui::Label& label4 = AddLabel(source, "Label4", "SQL查询:", 250, 8);
  sqlEdit_ = &source.Create<ui::Edit>("edtSql");
  label4.LabelFor(*sqlEdit_, 'Q');
  sqlEdit_->SetBounds(250, 28, 234, 21);
  ui::Label& hint = AddLabel(source, "Label5", "输入了SQL查询时按查询导入，否则导入所选的表", 250, 60);
  hint.SetBounds(250, 60, 234, 40);
  hint.SetWordWrap(true);

  preview_ = &NewPreviewPage("Label6");

  openDialog_.title = Ansi("选择SQLite数据库");
  openDialog_.filter = Ansi("SQLite数据库(*.db;*.sqlite;*.db3)|*.db;*.sqlite;*.db3|所有文件(*.*)|*.*");
}

void TSqliteConfig::LoadFrom(const std::string& options) {
  TMemoryStream stream{options};
  TOPtionsReader reader(&stream);
  std::string table;
  reader.RegisterHandler(SqliteKeyDatabase(), [this](const std::string& v) { database_ = v; });
  reader.RegisterHandler(SqliteKeyQuery(), [this](const std::string& v) { sqlEdit_->SetText(v); });
  reader.RegisterHandler(SqliteKeyTable(), [&table](const std::string& v) { table = v; });
  reader.Parse();
  databaseEdit_->SetText(database_);
  // A database that cannot be read now is reported when its page is checked.
  std::string error;
  if (!database_.empty()) FillTables(database_, table, error);
}

bool TSqliteConfig::FillTables(const std::string& database, const std::string& chosen, std::string& error) {
  std::vector<std::string> names;
  if (!SqliteTableNames(database, names, error)) return false;
  tableList_->ClearItems();
  for (auto& name : names) tableList_->AddItem(std::move(name));
  tableList_->SetItemIndex(tableList_->IndexOf(chosen));
  return true;
}

std::string TSqliteConfig::CompleteOptions(const std::string& database, const std::string& query, const std::string& table) {
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  w.WriteOption(SqliteKeyDatabase(), database);
  w.WriteOption(SqliteKeyQuery(), query);
  w.WriteOption(SqliteKeyTable(), table);
  return stream.TakeData();
}

void TSqliteConfig::Update() {
  // The copy's own text leaves out what is empty; the engine would keep its old value.
  TMemoryStream stream{GetEngine()->GetOptions()};
  TOPtionsReader reader(&stream);
  std::string database, query, table;
  reader.RegisterHandler(SqliteKeyDatabase(), [&database](const std::string& v) { database = v; });
  reader.RegisterHandler(SqliteKeyQuery(), [&query](const std::string& v) { query = v; });
  reader.RegisterHandler(SqliteKeyTable(), [&table](const std::string& v) { table = v; });
  reader.Parse();
  Target()->SetOptions(CompleteOptions(database, query, query.empty() ? table : std::string()));
}

bool TSqliteConfig::CheckSucceed() {
  switch (PageIndex()) {
    case 0: return CheckDatabase();
    case 1: return CheckSource();
    default: return true;
  }
}

bool TSqliteConfig::CheckDatabase() {
  std::string path, error;
  if (!TakeExistingFile(*databaseEdit_, Ansi("请指定要导入的SQLite数据库文件！"), path)) return false;
  const std::string chosen = tableList_->ItemIndex() < 0 ? std::string() : tableList_->ItemText(tableList_->ItemIndex());
  if (!FillTables(path, chosen, error))
    return Complain(FormatText(Ansi("文件“%s”不是SQLite数据库，或者无法读取：%s").c_str(), path.c_str(), error.c_str()),
                    ui::kMbIconWarning, databaseEdit_);
  database_ = path;
  return true;
}

bool TSqliteConfig::CheckSource() {
  const std::string sql(TrimBlanks(sqlEdit_->Text()));
  const int chosen = tableList_->ItemIndex();
  if (sql.empty() && chosen < 0)
    return Complain(Ansi("请选择要导入的表，或者输入SQL查询语句！"), ui::kMbIconInformation, tableList_);
  // Both keys, the unused one empty: the copy keeps what a text leaves out, and a query
  // applied before would go on winning over the table.
  const std::string options = CompleteOptions(database_, sql, sql.empty() ? tableList_->ItemText(chosen) : std::string());
  std::string problem;
  if (!ApplyToWork(options, problem))
    return Complain(problem, ui::kMbIconWarning, sql.empty() ? static_cast<ui::Control*>(tableList_) : sqlEdit_);
  return true;
}

std::pair<std::string, std::string> TSqliteConfig::PageHeader(int index) {
  switch (index) {
    case 0: return {SqliteEngineName(), Ansi("选择要导入的SQLite数据库文件")};
    case 1: return {SqliteEngineName(), Ansi("选择要导入的表，或者输入一条SELECT查询语句")};
    default:
      return {SqliteEngineName(), FormatText(Ansi("数据预览：查询结果的前%d条记录").c_str(), kPreviewRecords)};
  }
}

void TSqliteConfig::PageShown(int index) {
  if (index == 2) FillPreview(*preview_);
}

}  // namespace ryn
