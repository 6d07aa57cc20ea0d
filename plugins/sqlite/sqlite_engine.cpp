#include "sqlite/sqlite_engine.h"

#include <sqlite3.h>

#include "common/transcoder.h"
#include "common/value_text.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/field_types.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

}  // namespace

const std::string& SqliteKeyDatabase() { return Ansi("数据库"); }
const std::string& SqliteKeyQuery() { return Ansi("查询"); }
const std::string& SqliteKeyTable() { return Ansi("表"); }

const std::string& SqliteEngineName() { return Ansi("SQLite数据库"); }
const std::string& SqliteEngineDescription() { return Ansi("SQLite数据库中的表或查询结果"); }

int32_t SqliteDeclaredType(std::string_view declared) {
  std::string t = AsciiUpper(TrimBlanks(declared));
  if (t.empty()) return kFtString;
  // Dates first: SQLite itself gives them numeric affinity, but their values are ISO text.
  if (t.rfind("DATETIME", 0) == 0 || t.rfind("TIMESTAMP", 0) == 0) return kFtDateTime;
  if (t.rfind("DATE", 0) == 0) return kFtDate;
  // Then SQLite's own affinity rules, in their order.
  if (Contains(t, "INT")) return kFtInt64;
  // BLOB columns come out as the hexadecimal text of their bytes.
  if (Contains(t, "CHAR") || Contains(t, "CLOB") || Contains(t, "TEXT") || Contains(t, "BLOB")) return kFtString;
  if (Contains(t, "REAL") || Contains(t, "FLOA") || Contains(t, "DOUB") || Contains(t, "NUMERIC") ||
      Contains(t, "DECIMAL"))
    return kFtDouble;
  return kFtString;
}

std::string SqliteTableQuery(std::string_view table) {
  std::string q = "SELECT * FROM \"";
  for (char c : table) {
    if (c == '"') q += '"';
    q += c;
  }
  q += '"';
  return q;
}

bool SqliteTableNames(const std::string& database, std::vector<std::string>& names, std::string& error) {
  names.clear();
  OsPath path;
  if (!ToOsPath(database, path)) {
    error = Ansi("文件名无效");
    return false;
  }
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  // A file that is no database opens; SQLite finds out when it reads the schema.
  if (rc == SQLITE_OK)
    rc = sqlite3_prepare_v2(db,
                            "SELECT name FROM sqlite_master WHERE type IN ('table','view')"
                            " AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name",
                            -1, &stmt, nullptr);
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      names.push_back(FromUtf8(name ? name : ""));
    }
  }
  const bool ok = rc == SQLITE_DONE;
  if (!ok) error = db ? FromUtf8(sqlite3_errmsg(db)) : FromUtf8(sqlite3_errstr(rc));
  sqlite3_finalize(stmt);
  sqlite3_close_v2(db);
  if (!ok) names.clear();
  return ok;
}

TSqliteSource::TSqliteSource() = default;

TSqliteSource::~TSqliteSource() { Close(); }

void TSqliteSource::Close() {
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void TSqliteSource::Fina() {
  // A reading stopped before its end still tells what it found so far.
  ReportProblems();
  Close();
  eof_ = true;
  ClearValues();
}

std::string TSqliteSource::GetOptions() {
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  if (!database_.empty()) w.WriteOption(SqliteKeyDatabase(), database_);
  if (!query_.empty()) w.WriteOption(SqliteKeyQuery(), query_);
  if (!table_.empty()) w.WriteOption(SqliteKeyTable(), table_);
  return stream.TakeData();
}

int32_t TSqliteSource::SetOptions(std::string_view options) {
  TMemoryStream stream{std::string(options)};
  TOPtionsReader reader(&stream);
  reader.RegisterHandler(SqliteKeyDatabase(), [this](const std::string& v) { database_ = v; });
  reader.RegisterHandler(SqliteKeyQuery(), [this](const std::string& v) { query_ = TrimBlanks(v); });
  reader.RegisterHandler(SqliteKeyTable(), [this](const std::string& v) { table_ = v; });
  reader.Parse();
  Fina();
  if (!reader.UnknownKeys().empty()) Report(kMsgUnknownOptionKeys, UnknownOptionKeysText(GetName(), reader.UnknownKeys()));
  ready_ = false;
  count_ = -2;
  SetColumns({});
  if (database_.empty()) {
    Report(kSqliteMsgError, Ansi("没有指定SQLite数据库！"));
    return kSqliteOptionsNoDatabase;
  }
  if (query_.empty() && table_.empty()) {
    Report(kSqliteMsgError, Ansi("没有指定SQLite查询或表！"));
    return kSqliteOptionsBadQuery;
  }
  int32_t rc = Connect();
  if (rc != 0) return rc;

  // Only a declared type makes a column a number or a date: SQLite lets every row hold
  // another storage class, so the first row's says nothing about the next one's.
  const int n = sqlite3_column_count(stmt_);
  std::vector<TSourceColumn> columns(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt_, i);
    columns[static_cast<size_t>(i)].name = name ? FromUtf8(name) : std::string();
    const char* decl = sqlite3_column_decltype(stmt_, i);
    columns[static_cast<size_t>(i)].type = decl ? SqliteDeclaredType(decl) : kFtString;
  }
  types_.clear();
  for (const auto& c : columns) types_.push_back(c.type);
  text_.assign(columns.size(), std::string());
  SetColumns(columns);
  ready_ = true;
  return 0;
}

int32_t TSqliteSource::Fail(int32_t code, const std::string& pattern, const std::string& detail) {
  Report(kSqliteMsgError, FormatText(pattern.c_str(), database_.c_str(), detail.c_str()));
  Close();
  return code;
}

std::string TSqliteSource::QueryUtf8() const {
  return query_.empty() ? SqliteTableQuery(ToUtf8(table_)) : ToUtf8(query_);
}

bool TSqliteSource::OnlyCommentsFollow(const char* tail, const char* end) const {
  // SQLite prepares comments, blanks and ";" to no statement; anything else, even what it
  // cannot read, would be a statement of its own.
  while (tail && tail < end) {
    sqlite3_stmt* next = nullptr;
    const char* nextTail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &next, &nextTail);
    const bool statement = next != nullptr;
    sqlite3_finalize(next);
    if (rc != SQLITE_OK || statement) return false;
    if (!nextTail || nextTail <= tail) break;
    tail = nextTail;
  }
  return true;
}

int32_t TSqliteSource::Connect() {
  Close();
  OsPath path;
  if (!ToOsPath(database_, path))
    return Fail(kSqliteOptionsOpenFailed, Ansi("SQLite数据库“%s”打开失败：%s"), Ansi("文件名无效"));
  int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
  if (rc != SQLITE_OK) {
    std::string detail = db_ ? FromUtf8(sqlite3_errmsg(db_)) : FromUtf8(sqlite3_errstr(rc));
    return Fail(kSqliteOptionsOpenFailed, Ansi("SQLite数据库“%s”打开失败：%s"), detail);
  }
  std::string sql = QueryUtf8();
  const char* tail = nullptr;
  rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, &tail);
  if (rc != SQLITE_OK || !stmt_) {
    std::string detail = rc != SQLITE_OK ? FromUtf8(sqlite3_errmsg(db_)) : Ansi("查询是空的");
    return Fail(kSqliteOptionsBadQuery, Ansi("SQLite数据库“%s”的查询出错：%s"), detail);
  }
  statement_.assign(sql.c_str(), tail ? static_cast<size_t>(tail - sql.c_str()) : sql.size());
  while (!statement_.empty() && (statement_.back() == ';' || static_cast<unsigned char>(statement_.back()) <= ' '))
    statement_.pop_back();
  if (!OnlyCommentsFollow(tail, sql.c_str() + sql.size()))
    return Fail(kSqliteOptionsBadQuery, Ansi("SQLite数据库“%s”的查询出错：%s"), Ansi("只能有一条SELECT语句"));
  if (sqlite3_column_count(stmt_) == 0 || !sqlite3_stmt_readonly(stmt_))
    return Fail(kSqliteOptionsBadQuery, Ansi("SQLite数据库“%s”的查询出错：%s"), Ansi("不是SELECT语句"));
  // The database itself may be unreadable even though it opened (not a database, say):
  // SQLite finds out on the first step.
  rc = sqlite3_step(stmt_);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE)
    return Fail(kSqliteOptionsBadQuery, Ansi("SQLite数据库“%s”的查询出错：%s"), FromUtf8(sqlite3_errmsg(db_)));
  sqlite3_reset(stmt_);
  return 0;
}

int32_t TSqliteSource::DataCount() {
  if (!ready_) return -1;
  if (count_ == -2) {
    count_ = -1;
    if (!db_ && Connect() != 0) return -1;
    std::string sql = "SELECT COUNT(*) FROM (" + statement_ + "\n)";
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
      int64_t n = sqlite3_column_int64(s, 0);
      if (n <= INT32_MAX) count_ = n;
    }
    sqlite3_finalize(s);
  }
  return static_cast<int32_t>(count_);
}

void TSqliteSource::MoveFirst() {
  ReportProblems();
  ForgetProblems();
  recordNo_ = 0;
  eof_ = true;
  ClearValues();
  if (!ready_) return;
  if (!stmt_ && Connect() != 0) return;
  sqlite3_reset(stmt_);
  Step();
}

void TSqliteSource::MoveNext() {
  if (!eof_) Step();
}

void TSqliteSource::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) {
    eof_ = false;
    ++recordNo_;
    Load();
    return;
  }
  if (rc != SQLITE_DONE)
    Report(kSqliteMsgError, FormatText(Ansi("SQLite数据库“%s”读取出错：%s").c_str(), database_.c_str(),
                                   FromUtf8(sqlite3_errmsg(db_)).c_str()));
  eof_ = true;
  ClearValues();
  sqlite3_reset(stmt_);
  ReportProblems();
}

void TSqliteSource::Load() {
  ClearRecordProblems();
  std::vector<TSourceValue>& values = Values();
  for (size_t i = 0; i < values.size(); ++i) {
    const auto col = static_cast<int32_t>(i);
    const TSqliteReadNotes notes = reader_.Read(stmt_, col, types_[i], text_[i], values[i]);
    if (notes.unfit) NoteUnfit(col, recordNo_, text_[i]);
    if (notes.unmapped > 0) NoteCodePage(col, recordNo_, text_[i]);
    if (notes.badBytes > 0) NoteBadBytes(col, recordNo_, text_[i]);
  }
}

}  // namespace ryn
