#include "odbc/odbc_connection.h"

#include <algorithm>
#include <cstdlib>

#include "odbc/odbc_charset.h"
#include "odbc/odbc_text.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace ryn {

bool TOdbcConnection::Open(const std::string& connection, std::string& error) {
  Close();
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = SQL_NULL_HENV;
    error = Ansi("ODBC驱动程序管理器无法初始化");
    return false;
  }
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLRETURN allocated = SQL_ERROR;
  {
    // The driver manager takes the character set for narrow-text drivers from the
    // thread's locale now, once for the connection.
    const TUtf8ThreadCharset charset;
    allocated = SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    charset_ = charset.Codeset();
  }
  if (!SQL_SUCCEEDED(allocated)) {
    error = DiagnosticText(SQL_HANDLE_ENV, env_);
    dbc_ = SQL_NULL_HDBC;
    Close();
    return false;
  }
  SQLRETURN rc = SQL_ERROR;
  if (IsUtf8Codeset(charset_)) {
    // The driver manager reads a wide connection string for its own use, and hands it to
    // a narrow-text driver, one byte per unit whatever the character set (a database
    // file named in Chinese became another file). Narrow text in the connection's
    // character set reaches a narrow driver as it is and a wide one converted whole.
    std::string utf8 = ToUtf8(connection);
    rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(utf8.data()), SQL_NTS, nullptr, 0, nullptr,
                          SQL_DRIVER_NOPROMPT);
    // The text held the password: it does not stay in memory longer than needed.
    std::fill(utf8.begin(), utf8.end(), '\0');
  } else {
    std::basic_string<SQLWCHAR> wide = ToSqlWide(connection);
    rc = SQLDriverConnectW(dbc_, nullptr, wide.data(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    std::fill(wide.begin(), wide.end(), SQLWCHAR(0));
  }
  if (!SQL_SUCCEEDED(rc)) {
    // The string may hold the password: the note names it without showing it.
    error = DiagnosticText(SQL_HANDLE_DBC, dbc_) + NarrowDriverNote(charset_, Ansi("连接串"), connection);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
    Close();
    return false;
  }
  // Nothing we run is ever committed; a driver without transactions refuses and reads on.
  SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
  SQLSetConnectAttrW(dbc_, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), SQL_IS_UINTEGER);
  if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_GETDATA_EXTENSIONS, &getData_, sizeof getData_, nullptr))) getData_ = 0;
  SQLWCHAR quote[8] = {};
  SQLSMALLINT len = 0;
  if (SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &len))) {
    quote_.clear();
    for (int i = 0; i < 7 && quote[i]; ++i) quote_ += static_cast<char>(quote[i]);
    if (quote_ == " ") quote_.clear();  // the driver quotes no identifiers
  }
  return true;
}

void TOdbcConnection::Close() {
  if (dbc_ != SQL_NULL_HDBC) {
    SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
  }
  if (env_ != SQL_NULL_HENV) {
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    env_ = SQL_NULL_HENV;
  }
  getData_ = 0;
}

std::string TOdbcConnection::QuoteIdentifier(const std::string& name) const {
  if (quote_.empty()) return name;
  std::string q = quote_;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name.compare(i, quote_.size(), quote_) == 0) q += quote_;
    q += name[i];
  }
  return q + quote_;
}

bool TOdbcConnection::TableNames(std::vector<std::string>& names, std::string& error) {
  names.clear();
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
    error = DiagnosticText(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  std::basic_string<SQLWCHAR> kinds = ToSqlWide("TABLE,VIEW");
  SQLRETURN rc = SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, kinds.data(), SQL_NTS);
  TWideText wide;
  while (SQL_SUCCEEDED(rc)) {
    rc = SQLFetch(stmt);
    if (!SQL_SUCCEEDED(rc)) break;
    SQLWCHAR name[512];
    SQLLEN ind = 0;
    if (SQL_SUCCEEDED(SQLGetData(stmt, 3, SQL_C_WCHAR, name, sizeof name, &ind)) && ind > 0)
      names.push_back(wide.Narrow(name, std::min<size_t>(static_cast<size_t>(ind), sizeof name - 2) / sizeof(SQLWCHAR)));
  }
  const bool ok = rc == SQL_NO_DATA;
  if (!ok) error = DiagnosticText(SQL_HANDLE_STMT, stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  if (!ok) names.clear();
  return ok;
}

std::string TOdbcTarget::Shown() const { return connection.empty() ? dsn : HideSecrets(connection); }

bool TOdbcTarget::ConnectionString(std::string& out, std::string& error) const {
  out = connection.empty() ? ConnectionAttribute("DSN", dsn) : connection;
  if (passwordVar.empty()) return true;
  const char* password = std::getenv(passwordVar.c_str());
  if (!password) {
    error = FormatText(Ansi("环境变量“%s”没有设置").c_str(), passwordVar.c_str());
    return false;
  }
  while (!out.empty() && (out.back() == ';' || out.back() == ' ')) out.pop_back();
  out += ";" + ConnectionAttribute("PWD", password);
  return true;
}

}  // namespace ryn
