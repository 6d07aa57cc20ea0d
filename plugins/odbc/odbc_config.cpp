#include "odbc/odbc_config.h"

#include <vector>

#include "odbc/odbc_engine.h"
#include "odbc/odbc_text.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/options_text.h"

namespace ryn {
IntfPtr<IEngineConfig> TOdbcSource::GetConfig() { return MakeConfig<TOdbcConfig>(this); }

namespace {

struct ReadOptions {
  TOdbcTarget target;
  std::string query, table;
};

ReadOptions Parse(const std::string& options) {
  ReadOptions o;
  TMemoryStream stream{options};
  TOPtionsReader reader(&stream);
  reader.RegisterHandler(OdbcKeyDsn(), [&o](const std::string& v) { o.target.dsn = v; });
  reader.RegisterHandler(OdbcKeyConnection(), [&o](const std::string& v) { o.target.connection = v; });
  reader.RegisterHandler(OdbcKeyPasswordVar(), [&o](const std::string& v) { o.target.passwordVar = v; });
  reader.RegisterHandler(OdbcKeyQuery(), [&o](const std::string& v) { o.query = v; });
  reader.RegisterHandler(OdbcKeyTable(), [&o](const std::string& v) { o.table = v; });
  reader.Parse();
  return o;
}

}  // namespace

TOdbcConfig::TOdbcConfig(TOdbcSource* target) : TSourceConfig(target, MakeIntf<TOdbcSource>()) {
  Build();
  LoadFrom(target->GetOptions());
}

void TOdbcConfig::Build() {
  SetName("OdbcConfig");
  ui::Page& connection = NewPage("tsConnection");
  ui::Label& label1 = AddLabel(connection, "Label1", "数据源(DSN):", 16, 20);
  dsnEdit_ = &connection.Create<ui::Edit>("edtDsn");
  label1.LabelFor(*dsnEdit_, 'D');
  dsnEdit_->SetBounds(110, 16, 370, 21);
  ui::Label& label2 = AddLabel(connection, "Label2", "连接串:", 16, 52);
  connectionEdit_ = &connection.Create<ui::Edit>("edtConnection");
  label2.LabelFor(*connectionEdit_, 'C');
  connectionEdit_->SetBounds(110, 48, 370, 21);
  ui::Label& label3 = AddLabel(connection, "Label3", "密码变量:", 16, 84);
  passwordVarEdit_ = &connection.Create<ui::Edit>("edtPasswordVar");
  label3.LabelFor(*passwordVarEdit_, 'V');
  passwordVarEdit_->SetBounds(110, 80, 160, 21);
  ui::Label& hint = AddLabel(connection, "Label4", "填了连接串时按连接串连接，否则按数据源；密码放在数据源里，或者放在这里指定的环境变量中，不会保存", 110, 112);
  hint.SetBounds(110, 112, 370, 40);
  hint.SetWordWrap(true);

  ui::Page& source = NewPage("tsSource");
  ui::Label& label5 = AddLabel(source, "Label5", "表和视图:", 16, 8);
  tableList_ = &source.Create<ui::ListBox>("lbTables");
  label5.LabelFor(*tableList_, 'T');
  tableList_->SetBounds(16, 28, 220, 172);
  ui::Label& label6 = AddLabel(source, "Label6", "SQL查询:", 250, 8);
  sqlEdit_ = &source.Create<ui::Edit>("edtSql");
  label6.LabelFor(*sqlEdit_, 'Q');
  sqlEdit_->SetBounds(250, 28, 234, 21);
  ui::Label& sourceHint = AddLabel(source, "Label7", "输入了SQL查询时按查询导入，否则导入所选的表", 250, 60);
  sourceHint.SetBounds(250, 60, 234, 40);
  sourceHint.SetWordWrap(true);

  preview_ = &NewPreviewPage("Label8");
}

void TOdbcConfig::LoadFrom(const std::string& options) {
  const ReadOptions o = Parse(options);
  target_ = o.target;
  dsnEdit_->SetText(target_.dsn);
  connectionEdit_->SetText(target_.connection);
  passwordVarEdit_->SetText(target_.passwordVar);
  sqlEdit_->SetText(o.query);
  // A source that cannot be reached now is reported when its page is checked.
  std::string error;
  if (!target_.dsn.empty() || !target_.connection.empty()) FillTables(target_, o.table, error);
}

bool TOdbcConfig::FillTables(const TOdbcTarget& target, const std::string& chosen, std::string& error) {
  std::string text;
  TOdbcConnection connection;
  std::vector<std::string> names;
  if (!target.ConnectionString(text, error) || !connection.Open(text, error) || !connection.TableNames(names, error))
    return false;
  tableList_->ClearItems();
  for (auto& name : names) tableList_->AddItem(std::move(name));
  tableList_->SetItemIndex(tableList_->IndexOf(chosen));
  return true;
}

std::string TOdbcConfig::CompleteOptions(const TOdbcTarget& target, const std::string& query, const std::string& table) {
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  w.WriteOption(OdbcKeyDsn(), target.dsn);
  w.WriteOption(OdbcKeyConnection(), target.connection);
  w.WriteOption(OdbcKeyPasswordVar(), target.passwordVar);
  w.WriteOption(OdbcKeyQuery(), query);
  w.WriteOption(OdbcKeyTable(), table);
  return stream.TakeData();
}

void TOdbcConfig::Update() {
  // The copy's own text leaves out what is empty; the engine would keep its old value.
  const ReadOptions o = Parse(GetEngine()->GetOptions());
  Target()->SetOptions(CompleteOptions(o.target, o.query, o.query.empty() ? o.table : std::string()));
}

bool TOdbcConfig::CheckSucceed() {
  switch (PageIndex()) {
    case 0: return CheckConnection();
    case 1: return CheckSource();
    default: return true;
  }
}

bool TOdbcConfig::CheckConnection() {
  TOdbcTarget target;
  target.dsn = TrimBlanks(dsnEdit_->Text());
  target.connection = TrimBlanks(connectionEdit_->Text());
  target.passwordVar = TrimBlanks(passwordVarEdit_->Text());
  if (target.dsn.empty() && target.connection.empty())
    return Complain(Ansi("请指定ODBC数据源，或者输入连接串！"), ui::kMbIconInformation, dsnEdit_);
  const std::string chosen = tableList_->ItemIndex() < 0 ? std::string() : tableList_->ItemText(tableList_->ItemIndex());
  std::string error;
  if (!FillTables(target, chosen, error))
    return Complain(FormatText(Ansi("连接ODBC数据源“%s”失败：%s").c_str(), target.Shown().c_str(), error.c_str()),
                    ui::kMbIconWarning, target.connection.empty() ? dsnEdit_ : connectionEdit_);
  target_ = target;
  return true;
}

bool TOdbcConfig::CheckSource() {
  const std::string sql(TrimBlanks(sqlEdit_->Text()));
  const int chosen = tableList_->ItemIndex();
  if (sql.empty() && chosen < 0)
    return Complain(Ansi("请选择要导入的表，或者输入SQL查询语句！"), ui::kMbIconInformation, tableList_);
  // Both keys, the unused one empty: the copy keeps what a text leaves out.
  const std::string options = CompleteOptions(target_, sql, sql.empty() ? tableList_->ItemText(chosen) : std::string());
  std::string problem;
  if (!ApplyToWork(options, problem))
    return Complain(problem, ui::kMbIconWarning, sql.empty() ? static_cast<ui::Control*>(tableList_) : sqlEdit_);
  return true;
}

std::pair<std::string, std::string> TOdbcConfig::PageHeader(int index) {
  switch (index) {
    case 0: return {OdbcEngineName(), Ansi("指定要连接的ODBC数据源或连接串")};
    case 1: return {OdbcEngineName(), Ansi("选择要导入的表，或者输入一条SELECT查询语句")};
    default:
      return {OdbcEngineName(), FormatText(Ansi("数据预览：查询结果的前%d条记录").c_str(), kPreviewRecords)};
  }
}

void TOdbcConfig::PageShown(int index) {
  if (index == 2) FillPreview(*preview_);
}

}  // namespace ryn
