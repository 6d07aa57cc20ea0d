#include "odbc/odbc_engine.h"

#include <algorithm>

#include "odbc/odbc_charset.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "transport/field_types.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

// SQLGetData takes a long value this many bytes at a time.
constexpr size_t kPiece = 64 * 1024;

std::string ColumnName(const std::vector<SQLWCHAR>& name, SQLSMALLINT length) {
  // The name ends at its terminator too: a driver may count a name outside ASCII in
  // bytes of UTF-8 rather than in characters (the SQLite driver does), which would take
  // whatever lies after the terminator into the name.
  size_t end = std::min(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), name.size() - 1);
  end = static_cast<size_t>(std::find(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(end), SQLWCHAR{0}) - name.begin());
  TWideText wide;
  return wide.Narrow(name.data(), end);
}

}  // namespace

const std::string& OdbcKeyDsn() { return Ansi("数据源"); }
const std::string& OdbcKeyConnection() { return Ansi("连接串"); }
const std::string& OdbcKeyPasswordVar() { return Ansi("密码变量"); }
const std::string& OdbcKeyQuery() { return Ansi("查询"); }
const std::string& OdbcKeyTable() { return Ansi("表"); }

const std::string& OdbcEngineName() { return Ansi("ODBC数据源"); }
const std::string& OdbcEngineDescription() { return Ansi("ODBC数据源中的表或查询结果"); }

TOdbcSource::TOdbcSource() = default;

TOdbcSource::~TOdbcSource() { Close(); }

void TOdbcSource::Close() {
  if (stmt_ != SQL_NULL_HSTMT) {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    stmt_ = SQL_NULL_HSTMT;
  }
  open_ = false;
  connection_.Close();
}

void TOdbcSource::Fina() {
  // A reading stopped before its end still tells what it found so far.
  ReportProblems();
  Close();
  eof_ = true;
  ClearValues();
}

std::string TOdbcSource::GetOptions() {
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  if (!target_.dsn.empty()) w.WriteOption(OdbcKeyDsn(), target_.dsn);
  if (!target_.connection.empty()) w.WriteOption(OdbcKeyConnection(), HideSecrets(target_.connection));
  if (!target_.passwordVar.empty()) w.WriteOption(OdbcKeyPasswordVar(), target_.passwordVar);
  if (!query_.empty()) w.WriteOption(OdbcKeyQuery(), query_);
  if (!table_.empty()) w.WriteOption(OdbcKeyTable(), table_);
  return stream.TakeData();
}

int32_t TOdbcSource::SetOptions(std::string_view options) {
  TMemoryStream stream{std::string(options)};
  TOPtionsReader reader(&stream);
  reader.RegisterHandler(OdbcKeyDsn(), [this](const std::string& v) { target_.dsn = TrimBlanks(v); });
  reader.RegisterHandler(OdbcKeyConnection(), [this](const std::string& v) { target_.connection = TrimBlanks(v); });
  reader.RegisterHandler(OdbcKeyPasswordVar(), [this](const std::string& v) { target_.passwordVar = TrimBlanks(v); });
  reader.RegisterHandler(OdbcKeyQuery(), [this](const std::string& v) { query_ = TrimBlanks(v); });
  reader.RegisterHandler(OdbcKeyTable(), [this](const std::string& v) { table_ = v; });
  reader.Parse();
  Fina();
  if (!reader.UnknownKeys().empty()) Report(kMsgUnknownOptionKeys, UnknownOptionKeysText(GetName(), reader.UnknownKeys()));
  ready_ = false;
  count_ = -2;
  SetColumns({});
  columns_.clear();
  if (target_.dsn.empty() && target_.connection.empty()) {
    Report(kOdbcMsgError, Ansi("没有指定ODBC数据源或连接串！"));
    return kOdbcOptionsNoSource;
  }
  if (query_.empty() && table_.empty()) {
    Report(kOdbcMsgError, Ansi("没有指定查询或表！"));
    return kOdbcOptionsBadQuery;
  }
  const int32_t rc = Connect();
  if (rc != 0) return rc;

  SQLSMALLINT n = 0;
  SQLNumResultCols(stmt_, &n);
  std::vector<TSourceColumn> fields(static_cast<size_t>(n));
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(n); ++i) {
    std::vector<SQLWCHAR> name(256);
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeColW(stmt_, i, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                       &sqlType, &size, &digits, &nullable)))
      return Fail(kOdbcOptionsBadQuery, Ansi("ODBC数据源“%s”的查询出错：%s"), DiagnosticText(SQL_HANDLE_STMT, stmt_));
    if (static_cast<size_t>(nameLength) >= name.size()) {
      name.resize(static_cast<size_t>(nameLength) + 1);
      SQLDescribeColW(stmt_, i, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType, &size,
                      &digits, &nullable);
    }
    SQLLEN isUnsigned = SQL_FALSE;
    SQLColAttributeW(stmt_, i, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
    const TOdbcColumn c = DescribeOdbcColumn(sqlType, size, isUnsigned == SQL_TRUE);
    columns_.push_back(c);
    fields[i - 1u].name = ColumnName(name, nameLength);
    fields[i - 1u].type = c.fieldType;
  }
  text_.assign(columns_.size(), std::string());
  if (!Bind()) return Fail(kOdbcOptionsBadQuery, Ansi("ODBC数据源“%s”的查询出错：%s"), DiagnosticText(SQL_HANDLE_STMT, stmt_));
  SetColumns(fields);
  ready_ = true;
  return 0;
}

int32_t TOdbcSource::Fail(int32_t code, const std::string& pattern, const std::string& detail) {
  Report(kOdbcMsgError, FormatText(pattern.c_str(), target_.Shown().c_str(), detail.c_str()));
  Close();
  columns_.clear();
  return code;
}

void TOdbcSource::ReadFailed(int32_t record, const std::string& detail) {
  Report(kOdbcMsgError, FormatText(Ansi("ODBC数据源“%s”读取第%d行时出错：%s").c_str(), target_.Shown().c_str(),
                                   record, detail.c_str()));
  eof_ = true;
  ClearValues();
  // The cursor is in no state to go on: the next reading starts again from the connection.
  Close();
  ReportProblems();
}

std::string TOdbcSource::Statement() const {
  return query_.empty() ? "SELECT * FROM " + connection_.QuoteIdentifier(table_) : query_;
}

int32_t TOdbcSource::Connect() {
  Close();
  std::string text, error;
  if (!target_.ConnectionString(text, error) || !connection_.Open(text, error)) {
    std::fill(text.begin(), text.end(), '\0');
    return Fail(kOdbcOptionsConnectFailed, Ansi("连接ODBC数据源“%s”失败：%s"), error);
  }
  std::fill(text.begin(), text.end(), '\0');
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.Handle(), &stmt_))) {
    stmt_ = SQL_NULL_HSTMT;
    return Fail(kOdbcOptionsBadQuery, Ansi("ODBC数据源“%s”的查询出错：%s"), DiagnosticText(SQL_HANDLE_DBC, connection_.Handle()));
  }
  std::basic_string<SQLWCHAR> sql = ToSqlWide(Statement());
  SQLSMALLINT n = 0;
  if (!SQL_SUCCEEDED(SQLPrepareW(stmt_, sql.data(), SQL_NTS)) || !SQL_SUCCEEDED(SQLNumResultCols(stmt_, &n))) {
    // A database the driver could not find by its name may have been made anew, empty.
    const std::string& charset = connection_.NarrowCharset();
    const std::string what = query_.empty() ? FormatText(Ansi("表“%s”").c_str(), table_.c_str()) : Ansi("查询");
    return Fail(kOdbcOptionsBadQuery, Ansi("ODBC数据源“%s”的查询出错：%s"),
                DiagnosticText(SQL_HANDLE_STMT, stmt_) + NarrowDriverNote(charset, what, Statement()) +
                    NarrowDriverNote(charset, target_.connection.empty() ? OdbcKeyDsn() : OdbcKeyConnection(),
                                     target_.Shown()));
  }
  // A statement without a result is not run at all.
  if (n <= 0) return Fail(kOdbcOptionsBadQuery, Ansi("ODBC数据源“%s”的查询出错：%s"), Ansi("不是SELECT语句"));
  return 0;
}

bool TOdbcSource::Bind() {
  const SQLUINTEGER gd = connection_.GetDataExtensions();
  const bool anyColumn = (gd & SQL_GD_ANY_COLUMN) != 0;
  bool anyLong = false;
  bool mayTruncate = false;
  size_t rowBytes = 0;
  bound_.assign(columns_.size(), false);
  for (size_t i = 0; i < columns_.size(); ++i) {
    bound_[i] = columns_[i].width > 0;
    anyLong = anyLong || !bound_[i];
    const SQLSMALLINT t = columns_[i].cType;
    mayTruncate = mayTruncate || (bound_[i] && (t == SQL_C_CHAR || t == SQL_C_WCHAR || t == SQL_C_BINARY));
    if (bound_[i]) rowBytes += columns_[i].width + sizeof(SQLLEN);
  }
  // Without SQL_GD_ANY_COLUMN a value read in pieces must follow every bound column: the
  // simplest sound choice is then to read every value in pieces.
  if (anyLong && !anyColumn) {
    bound_.assign(columns_.size(), false);
    rowBytes = 0;
  }
  // A value longer than its bound array is read again in full, which needs SQLGetData on
  // bound columns, and within a block SQLSetPos to the row: a driver without it reads
  // one row at a time. So does a result with values read in pieces.
  blockRows_ = kOdbcBlockRows;
  if (anyLong || (mayTruncate && !((gd & SQL_GD_BOUND) && (gd & SQL_GD_BLOCK)))) blockRows_ = 1;
  if (rowBytes > 0) blockRows_ = std::max<size_t>(1, std::min(blockRows_, kOdbcBlockBytes / rowBytes));
  if (SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows_), 0) != SQL_SUCCESS) {
    // The driver may have chosen a size of its own (01S02): ours is what it says now.
    SQLULEN actual = 1;
    SQLGetStmtAttrW(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, &actual, 0, nullptr);
    blockRows_ = std::max<SQLULEN>(actual, 1);
  }
  status_.assign(blockRows_, SQL_ROW_NOROW);
  if (!SQL_SUCCEEDED(SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
      !SQL_SUCCEEDED(SQLSetStmtAttrW(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0)) ||
      !SQL_SUCCEEDED(SQLSetStmtAttrW(stmt_, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0)))
    return false;
  buffers_.assign(columns_.size(), Bound{});
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (!bound_[i]) continue;
    Bound& b = buffers_[i];
    b.data.assign(columns_[i].width * blockRows_, '\0');
    b.length.assign(blockRows_, 0);
    if (!SQL_SUCCEEDED(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i + 1), columns_[i].cType, b.data.data(),
                                  static_cast<SQLLEN>(columns_[i].width), b.length.data())))
      return false;
  }
  return true;
}

bool TOdbcSource::Execute() {
  if (!connection_.IsOpen()) {
    if (Connect() != 0 || !Bind()) return false;
  }
  if (open_) {
    SQLCloseCursor(stmt_);
    open_ = false;
  }
  const SQLRETURN rc = SQLExecute(stmt_);
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    ReadFailed(recordNo_ + 1, DiagnosticText(SQL_HANDLE_STMT, stmt_));
    return false;
  }
  open_ = true;
  return true;
}

int32_t TOdbcSource::DataCount() {
  if (!ready_) return -1;
  // Counting needs a statement of its own beside an open cursor, which not every driver
  // allows: a reading under way is not disturbed, and the count is tried again later.
  if (count_ == -2 && !open_) {
    count_ = -1;
    if (!connection_.IsOpen() && (Connect() != 0 || !Bind())) return -1;
    std::string statement = Statement();
    while (!statement.empty() && (statement.back() == ';' || static_cast<unsigned char>(statement.back()) <= ' '))
      statement.pop_back();
    std::basic_string<SQLWCHAR> sql = ToSqlWide("SELECT COUNT(*) FROM (" + statement + "\n) ryn_count");
    SQLHSTMT s = SQL_NULL_HSTMT;
    SQLBIGINT n = -1;
    SQLLEN ind = 0;
    bool ok = SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_.Handle(), &s)) &&
              SQL_SUCCEEDED(SQLExecDirectW(s, sql.data(), SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(s)) &&
              SQL_SUCCEEDED(SQLGetData(s, 1, SQL_C_SBIGINT, &n, sizeof n, &ind)) && ind != SQL_NULL_DATA;
    if (s != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, s);
    // A failed statement may leave the transaction unusable (PostgreSQL does).
    if (!ok) SQLEndTran(SQL_HANDLE_DBC, connection_.Handle(), SQL_ROLLBACK);
    if (ok && n >= 0 && n <= INT32_MAX) count_ = n;
  }
  return count_ < 0 ? -1 : static_cast<int32_t>(count_);
}

void TOdbcSource::MoveFirst() {
  ReportProblems();
  ForgetProblems();
  recordNo_ = 0;
  eof_ = true;
  ClearValues();
  if (!ready_) return;
  if (!Execute()) return;
  eof_ = false;
  FetchBlock();
}

void TOdbcSource::MoveNext() {
  if (!eof_) Advance();
}

void TOdbcSource::Advance() {
  // The next row of the block, skipping rows the driver marked as none; then a new block.
  while (++row_ < fetched_) {
    if (status_[row_] == SQL_ROW_ERROR) return ReadFailed(recordNo_ + 1, DiagnosticText(SQL_HANDLE_STMT, stmt_));
    if (status_[row_] != SQL_ROW_NOROW) {
      ++recordNo_;
      Load();
      return;
    }
  }
  FetchBlock();
}

void TOdbcSource::FetchBlock() {
  fetched_ = 0;
  const SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) {
    eof_ = true;
    ClearValues();
    SQLCloseCursor(stmt_);
    open_ = false;
    ReportProblems();
    return;
  }
  if (!SQL_SUCCEEDED(rc)) return ReadFailed(recordNo_ + 1, DiagnosticText(SQL_HANDLE_STMT, stmt_));
  // A driver that leaves the count unset fetched one row.
  if (fetched_ == 0) fetched_ = 1;
  row_ = static_cast<size_t>(-1);
  Advance();
}

bool TOdbcSource::ReadLong(size_t col, std::string& raw, bool& null) {
  const TOdbcColumn& c = columns_[col];
  const size_t term = TerminatorSize(c.cType);
  raw.clear();
  null = false;
  std::string piece(kPiece, '\0');
  for (;;) {
    SQLLEN ind = 0;
    const SQLRETURN rc = SQLGetData(stmt_, static_cast<SQLUSMALLINT>(col + 1), c.cType, piece.data(),
                                    static_cast<SQLLEN>(piece.size()), &ind);
    if (rc == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(rc)) {
      ReadFailed(recordNo_, DiagnosticText(SQL_HANDLE_STMT, stmt_));
      return false;
    }
    if (ind == SQL_NULL_DATA) {
      null = true;
      return true;
    }
    const size_t room = piece.size() - term;
    const size_t got = ind == SQL_NO_TOTAL || static_cast<size_t>(ind) > room ? room : static_cast<size_t>(ind);
    raw.append(piece.data(), got);
    if (rc == SQL_SUCCESS) return true;
    // SQL_SUCCESS_WITH_INFO: more follows when the piece was full (01004); otherwise a
    // warning that changes nothing.
    if (got < room) return true;
  }
}

void TOdbcSource::Load() {
  ClearRecordProblems();
  std::vector<TSourceValue>& values = Values();
  bool positioned = blockRows_ == 1;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const TOdbcColumn& c = columns_[i];
    const auto col = static_cast<int32_t>(i);
    const char* data = nullptr;
    size_t bytes = 0;
    bool null = false;
    if (bound_[i]) {
      const SQLLEN ind = buffers_[i].length[row_];
      const size_t room = c.width - TerminatorSize(c.cType);
      if (ind == SQL_NULL_DATA) {
        null = true;
      } else if (ind != SQL_NO_TOTAL && static_cast<size_t>(ind) <= room) {
        data = buffers_[i].data.data() + row_ * c.width;
        bytes = static_cast<size_t>(ind);
        if (c.form == TOdbcForm::kInteger || c.form == TOdbcForm::kFloat || c.form == TOdbcForm::kDouble) bytes = c.width;
      } else {
        // Longer than the driver said its values could be: read again in full.
        if (!positioned) {
          if (!SQL_SUCCEEDED(SQLSetPos(stmt_, static_cast<SQLSETPOSIROW>(row_ + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE)))
            return ReadFailed(recordNo_, DiagnosticText(SQL_HANDLE_STMT, stmt_));
          positioned = true;
        }
        if (!ReadLong(i, raw_, null)) return;
        data = raw_.data();
        bytes = raw_.size();
      }
    } else {
      if (!ReadLong(i, raw_, null)) return;
      data = raw_.data();
      bytes = raw_.size();
    }
    if (null) {
      values[i] = TSourceValue{};
      continue;
    }
    const TOdbcReadNotes notes = reader_.Read(c, data, bytes, text_[i], values[i]);
    if (notes.unfit) NoteUnfit(col, recordNo_, text_[i]);
    if (notes.text.unmapped > 0) NoteCodePage(col, recordNo_, text_[i]);
    if (notes.text.badUnits > 0) NoteBadBytes(col, recordNo_, text_[i]);
  }
}

}  // namespace ryn
