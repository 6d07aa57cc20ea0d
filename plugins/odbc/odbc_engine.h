// TOdbcSource, the ODBC data source engine: a source that steps through the result of one
// SELECT (or of every row of one table) of any database a driver reaches through the
// driver manager. Field names and types come from the driver's description of the result;
// rows arrive in blocks of bound column arrays, and values with no bound on their size in
// pieces, so that memory stays flat in the number of rows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/source_engine.h"
#include "odbc/odbc_connection.h"
#include "odbc/odbc_values.h"

namespace ryn {

// SetOptions results of this engine.
constexpr int32_t kOdbcOptionsNoSource = 0x10004001;       // neither a DSN nor a connection string
constexpr int32_t kOdbcOptionsConnectFailed = 0x10004002;  // the driver refused the connection
constexpr int32_t kOdbcOptionsBadQuery = 0x10004003;       // neither a query nor a table, or the driver refused it

constexpr int32_t kOdbcMsgError = 3;  // options refused, reading failed

const std::string& OdbcEngineName();         // "ODBC数据源"
const std::string& OdbcEngineDescription();  // "ODBC数据源中的表或查询结果"

// The keys of the options text. A connection string is used in preference to a DSN, a
// query in preference to a table.
const std::string& OdbcKeyDsn();          // "数据源"
const std::string& OdbcKeyConnection();   // "连接串"
const std::string& OdbcKeyPasswordVar();  // "密码变量"
const std::string& OdbcKeyQuery();        // "查询"
const std::string& OdbcKeyTable();        // "表"

// Rows fetched in one block at most, and the bytes a block's bound arrays may take.
constexpr size_t kOdbcBlockRows = 256;
constexpr size_t kOdbcBlockBytes = size_t{8} << 20;

class TOdbcSource final : public TRecordSource {
 public:
  TOdbcSource();
  ~TOdbcSource() override;

  std::string GetName() override { return OdbcEngineName(); }
  IntfPtr<IEngineConfig> GetConfig() override;
  void Fina() override;
  // Never holds a password: PWD= and Password= are left out of the connection string.
  std::string GetOptions() override;
  int32_t SetOptions(std::string_view options) override;
  bool Established() override { return ready_; }

  int32_t DataCount() override;
  void MoveFirst() override;
  void MoveNext() override;
  bool IsEof() override { return eof_; }

  // How many rows one fetch asks for (after SetOptions): for tests and the curious.
  size_t BlockRows() const { return blockRows_; }

 private:
  struct Bound {
    std::vector<char> data;  // blockRows_ values of the column's width
    std::vector<SQLLEN> length;
  };

  int32_t Connect();
  void Close();
  int32_t Fail(int32_t code, const std::string& pattern, const std::string& detail);
  // Ends the reading with an error of the run naming the record (1-based).
  void ReadFailed(int32_t record, const std::string& detail);
  // The statement's text: the query as given, or a SELECT of every row of the table.
  std::string Statement() const;
  // Chooses the block size and which columns are bound, and binds them.
  bool Bind();
  bool Execute();
  void FetchBlock();
  void Advance();
  void Load();
  // The whole value of column col of the current row with SQLGetData, in pieces; false
  // after reporting a failure. null is set for SQL NULL.
  bool ReadLong(size_t col, std::string& raw, bool& null);

  TOdbcTarget target_;
  std::string query_, table_;
  bool ready_ = false;
  TOdbcConnection connection_;
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  bool open_ = false;  // the cursor is open
  std::vector<TOdbcColumn> columns_;
  std::vector<bool> bound_;
  std::vector<Bound> buffers_;
  size_t blockRows_ = 1;
  SQLULEN fetched_ = 0;
  std::vector<SQLUSMALLINT> status_;
  size_t row_ = 0;  // the current row within the block
  std::vector<std::string> text_;
  std::string raw_;
  TOdbcValueReader reader_;
  int64_t count_ = -2;
  int32_t recordNo_ = 0;
  bool eof_ = true;
};

}  // namespace ryn
