// Text at the edge of the ODBC driver manager: connection strings (built from the options,
// and shown to the user without their passwords), the drivers' wide text in the process
// code page, and the diagnostics of a handle as one message.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace ryn {

class TTranscoder;

// A connection string with every PWD= and Password= attribute left out (keys compared
// without case and surrounding blanks; a value in braces may hold ";"), so that it can be
// echoed in options, logs and messages.
std::string HideSecrets(std::string_view connection);
// The attribute key=value for a connection string, the value in braces (a "}" doubled)
// when it holds a character that would end or open it.
std::string ConnectionAttribute(std::string_view key, std::string_view value);

// What converting one value found, for the per-column counts.
struct TOdbcTextNotes {
  size_t unmapped = 0;  // characters the process code page lacks, each now "?"
  size_t badUnits = 0;  // UTF-16 units that were no character (a lone surrogate), each now "?"
};

// The drivers' UTF-16 text in the process code page.
class TWideText {
 public:
  TWideText();
  ~TWideText();
  TWideText(const TWideText&) = delete;
  TWideText& operator=(const TWideText&) = delete;

  // out is replaced by the conversion of units UTF-16 code units.
  TOdbcTextNotes Convert(const SQLWCHAR* units, size_t count, std::string& out);
  // The same for a message: what the code page lacks becomes "?" without counting.
  std::string Narrow(const SQLWCHAR* units, size_t count);

 private:
  std::string utf8_;
  std::unique_ptr<TTranscoder> toCodePage_;
  bool utf8CodePage_;
};

// The narrow text as the UTF-16 units the driver manager takes, 0-terminated.
std::basic_string<SQLWCHAR> ToSqlWide(std::string_view narrow);

// Every diagnostic record of the handle as "SQLSTATE message" (the message as the driver
// manager gives it, with its bracketed source tags), joined by "; ". Empty when the handle
// holds none.
std::string DiagnosticText(SQLSMALLINT handleType, SQLHANDLE handle);
// The SQLSTATE of the handle's first diagnostic record, "" when none.
std::string FirstSqlState(SQLSMALLINT handleType, SQLHANDLE handle);

}  // namespace ryn
