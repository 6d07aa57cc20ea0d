// TSqliteSource, the SQLite database engine: a source that steps through the result of
// one SELECT (or of every row of one table) in a database opened read-only. Field names
// come from the result columns, types from the declared column types alone: a column
// without one is text, and a value that does not fit its column's type keeps its text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/source_engine.h"
#include "sqlite/sqlite_values.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ryn {

// SetOptions results of this engine.
constexpr int32_t kSqliteOptionsNoDatabase = 0x10003001;  // no database named
constexpr int32_t kSqliteOptionsOpenFailed = 0x10003002;  // the database cannot be opened
constexpr int32_t kSqliteOptionsBadQuery = 0x10003003;    // neither a query nor a table, or SQLite refused it

constexpr int32_t kSqliteMsgError = 3;  // options refused, reading failed

const std::string& SqliteEngineName();         // "SQLite数据库"
const std::string& SqliteEngineDescription();  // "SQLite数据库中的表或查询结果"

// The keys of the options text. A query is read in preference to a table.
const std::string& SqliteKeyDatabase();  // "数据库"
const std::string& SqliteKeyQuery();     // "查询"
const std::string& SqliteKeyTable();     // "表"

// The names of the tables and views of a database, in name order, without SQLite's own;
// false with SQLite's reason when the file cannot be opened or is no database.
bool SqliteTableNames(const std::string& database, std::vector<std::string>& names, std::string& error);

// The field type code for a declared column type: 7, 18, 50 or 51 when the declaration
// names a number or a date, else 65 (BLOB columns too: their values come out as hex).
int32_t SqliteDeclaredType(std::string_view declared);
// The SELECT that reads every row of a table, the name quoted as an SQL identifier.
std::string SqliteTableQuery(std::string_view table);

class TSqliteSource final : public TRecordSource {
 public:
  TSqliteSource();
  ~TSqliteSource() override;

  std::string GetName() override { return SqliteEngineName(); }
  // A new wizard that edits a copy of this engine (TSqliteConfig).
  IntfPtr<IEngineConfig> GetConfig() override;
  void Fina() override;
  std::string GetOptions() override;
  int32_t SetOptions(std::string_view options) override;
  bool Established() override { return ready_; }

  int32_t DataCount() override;
  void MoveFirst() override;
  void MoveNext() override;
  bool IsEof() override { return eof_; }

 private:
  // Opens the database and prepares the query; on failure reports SQLite's text and
  // answers the result code.
  int32_t Connect();
  void Close();
  // The query in UTF-8 as the user gave it.
  std::string QueryUtf8() const;
  // True when the SQL from tail to end holds no further statement.
  bool OnlyCommentsFollow(const char* tail, const char* end) const;
  void Step();
  void Load();
  int32_t Fail(int32_t code, const std::string& pattern, const std::string& detail);

  std::string database_, query_, table_;
  std::string statement_;  // the prepared statement's text, without what ends it
  bool ready_ = false;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<int32_t> types_;
  std::vector<std::string> text_;  // the text of the current row's values, per column
  TSqliteValueReader reader_;
  int64_t count_ = -2;             // -2: not counted yet
  int32_t recordNo_ = 0;
  bool eof_ = true;
};

}  // namespace ryn
