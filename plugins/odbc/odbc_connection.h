// One connection through the driver manager, with its environment: opened from a
// connection string, left with its transaction rolled back, so that a statement that
// slipped past our SELECT check changes nothing.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

namespace ryn {

class TOdbcConnection {
 public:
  TOdbcConnection() = default;
  ~TOdbcConnection() { Close(); }
  TOdbcConnection(const TOdbcConnection&) = delete;
  TOdbcConnection& operator=(const TOdbcConnection&) = delete;

  // Connects without prompting; false with the driver's diagnostics in error.
  bool Open(const std::string& connection, std::string& error);
  void Close();
  bool IsOpen() const { return dbc_ != SQL_NULL_HDBC; }
  SQLHDBC Handle() const { return dbc_; }
  // The driver's SQLGetData abilities (SQL_GD_... bits).
  SQLUINTEGER GetDataExtensions() const { return getData_; }
  // A table name as one quoted identifier of the driver's SQL.
  std::string QuoteIdentifier(const std::string& name) const;
  // The names of the tables and views the driver lists, in name order.
  bool TableNames(std::vector<std::string>& names, std::string& error);
  // The character set the driver manager converts this connection's text into for a
  // driver that takes narrow text only (UTF-8 unless the system has no UTF-8 locale).
  const std::string& NarrowCharset() const { return charset_; }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  SQLUINTEGER getData_ = 0;
  std::string quote_ = "\"";
  std::string charset_;
};

// Everything the options say about where to connect, and the connection string made of it.
struct TOdbcTarget {
  std::string dsn;          // 数据源
  std::string connection;   // 连接串, as given (it may hold a password: never shown)
  std::string passwordVar;  // 密码变量: the environment variable holding the password

  // The source as messages name it: the DSN, or the connection string without passwords.
  std::string Shown() const;
  // The connection string to open; false with the reason when the password variable is
  // named but not set.
  bool ConnectionString(std::string& out, std::string& error) const;
};

}  // namespace ryn
