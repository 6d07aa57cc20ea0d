#include "sqlite/sqlite_engine.h"

#include <sqlite3.h>

#include "common/message_text.h"
#include "common/transcoder.h"
#include "common/value_text.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

constexpr int32_t kTypeInt64 = 7;
constexpr int32_t kTypeDouble = 18;
constexpr int32_t kTypeDate = 50;
constexpr int32_t kTypeDateTime = 51;
constexpr int32_t kTypeText = 65;
constexpr int32_t kTypeBlob = 67;

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

int32_t StorageType(int storage) {
  switch (storage) {
    case SQLITE_INTEGER: return kTypeInt64;
    case SQLITE_FLOAT: return kTypeDouble;
    case SQLITE_BLOB: return kTypeBlob;
    default: return kTypeText;
  }
}

}  // namespace

const std::string& SqliteKeyDatabase() { return Ansi("数据库"); }
const std::string& SqliteKeyQuery() { return Ansi("查询"); }
const std::string& SqliteKeyTable() { return Ansi("表"); }

const std::string& SqliteEngineName() { return Ansi("SQLite数据库"); }
const std::string& SqliteEngineDescription() { return Ansi("SQLite数据库中的表或查询结果"); }

int32_t SqliteDeclaredType(std::string_view declared) {
  std::string t = AsciiUpper(TrimBlanks(declared));
  if (t.empty()) return 0;
  // Dates first: SQLite itself gives them numeric affinity, but their values are ISO text.
  if (t.rfind("DATETIME", 0) == 0 || t.rfind("TIMESTAMP", 0) == 0) return kTypeDateTime;
  if (t.rfind("DATE", 0) == 0) return kTypeDate;
  // Then SQLite's own affinity rules, in their order.
  if (Contains(t, "INT")) return kTypeInt64;
  if (Contains(t, "CHAR") || Contains(t, "CLOB") || Contains(t, "TEXT")) return kTypeText;
  if (Contains(t, "BLOB")) return kTypeBlob;
  if (Contains(t, "REAL") || Contains(t, "FLOA") || Contains(t, "DOUB") || Contains(t, "NUMERIC") ||
      Contains(t, "DECIMAL"))
    return kTypeDouble;
  return 0;
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

TSqliteSource::TSqliteSource() {
  if (EncodingKey(ProcessCodePage().Name()) != "UTF8")
    toCodePage_ = std::make_unique<TTranscoder>(ProcessCodePage().Name(), "UTF-8");
}

TSqliteSource::~TSqliteSource() { Close(); }

void TSqliteSource::Close() {
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void TSqliteSource::Fina() {
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

  // Declared types decide; a column without one takes the storage class of its first value.
  const int n = sqlite3_column_count(stmt_);
  std::vector<TSourceColumn> columns(static_cast<size_t>(n));
  bool needRow = false;
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt_, i);
    columns[static_cast<size_t>(i)].name = name ? FromUtf8(name) : std::string();
    const char* decl = sqlite3_column_decltype(stmt_, i);
    columns[static_cast<size_t>(i)].type = decl ? SqliteDeclaredType(decl) : 0;
    if (columns[static_cast<size_t>(i)].type == 0) needRow = true;
  }
  if (needRow) {
    bool row = sqlite3_step(stmt_) == SQLITE_ROW;
    for (int i = 0; i < n; ++i) {
      auto& c = columns[static_cast<size_t>(i)];
      if (c.type == 0) c.type = row ? StorageType(sqlite3_column_type(stmt_, i)) : kTypeText;
    }
    sqlite3_reset(stmt_);
  }
  types_.clear();
  for (const auto& c : columns) types_.push_back(c.type);
  text_.assign(columns.size(), std::string());
  SetColumns(columns);
  ready_ = true;
  return 0;
}

int32_t TSqliteSource::Fail(int32_t code, const std::string& pattern, const std::string& detail) {
  Report(kSqliteMsgError, Format(pattern.c_str(), database_.c_str(), detail.c_str()));
  Close();
  return code;
}

std::string TSqliteSource::QueryUtf8() const {
  std::string q = query_.empty() ? SqliteTableQuery(ToUtf8(table_)) : ToUtf8(query_);
  while (!q.empty() && (q.back() == ';' || static_cast<unsigned char>(q.back()) <= ' ')) q.pop_back();
  return q;
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
  if (tail && !TrimBlanks(tail).empty())
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
    std::string sql = "SELECT COUNT(*) FROM (" + QueryUtf8() + "\n)";
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
    Report(kSqliteMsgError, Format(Ansi("SQLite数据库“%s”读取出错：%s").c_str(), database_.c_str(),
                                   FromUtf8(sqlite3_errmsg(db_)).c_str()));
  eof_ = true;
  ClearValues();
  sqlite3_reset(stmt_);
}

void TSqliteSource::Load() {
  std::vector<TSourceValue>& values = Values();
  for (size_t i = 0; i < values.size(); ++i) {
    TSourceValue& v = values[i];
    const int col = static_cast<int>(i);
    v = TSourceValue{};
    switch (sqlite3_column_type(stmt_, col)) {
      case SQLITE_NULL: continue;
      case SQLITE_INTEGER:
        v.kind = TSourceValue::Kind::kInteger;
        v.integer = sqlite3_column_int64(stmt_, col);
        break;
      case SQLITE_FLOAT:
        v.kind = TSourceValue::Kind::kReal;
        v.real = sqlite3_column_double(stmt_, col);
        break;
      case SQLITE_BLOB: {
        const void* p = sqlite3_column_blob(stmt_, col);
        int n = sqlite3_column_bytes(stmt_, col);
        v.kind = TSourceValue::Kind::kBlob;
        v.text = std::string_view(static_cast<const char*>(p), p ? static_cast<size_t>(n) : 0);
        break;
      }
      default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        std::string_view utf8(p ? p : "", p ? static_cast<size_t>(sqlite3_column_bytes(stmt_, col)) : 0);
        v.kind = TSourceValue::Kind::kText;
        if (!toCodePage_ || IsAscii(utf8)) {
          v.text = utf8;
        } else {
          toCodePage_->ConvertAll(utf8, text_[i]);
          v.text = text_[i];
        }
        break;
      }
    }
    if (types_[i] != kTypeDate && types_[i] != kTypeDateTime) continue;
    // Date columns hold ISO text; anything else in them is no date.
    double when = 0;
    if (v.kind == TSourceValue::Kind::kText && v.text.empty()) {
      v = TSourceValue{};
    } else if (v.kind == TSourceValue::Kind::kText && ParseIsoDateTime(v.text, when)) {
      v.kind = TSourceValue::Kind::kDateTime;
      v.real = when;
    } else {
      v = TSourceValue{};
      Report(kSqliteMsgConversion, Format(Ansi("第%d行 %d列 数据格式转换失败！").c_str(), recordNo_, col));
    }
  }
}

}  // namespace ryn
