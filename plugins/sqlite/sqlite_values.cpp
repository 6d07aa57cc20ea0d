#include "sqlite/sqlite_values.h"

#include <cmath>

#include "common/transcoder.h"
#include "common/value_text.h"
#include "platform/codepage.h"
#include "transport/field_types.h"

namespace ryn {
namespace {

// 2^63: the first double beyond the 64-bit integers.
constexpr double kInt64End = 9223372036854775808.0;

// A double that is a whole number within the 64-bit integers.
bool WholeInt64(double d, int64_t& out) {
  if (!(d >= -kInt64End && d < kInt64End) || std::trunc(d) != d) return false;
  out = static_cast<int64_t>(d);
  return true;
}

// An integer that a double holds exactly. The double goes through memory: 32-bit x86 code
// keeps it in an x87 register, whose 64-bit mantissa holds every 64-bit integer, and would
// compare that rather than the double (2^53 + 1 came back equal).
bool ExactDouble(int64_t i) {
  volatile double stored = static_cast<double>(i);
  const double d = stored;
  return d < kInt64End && static_cast<int64_t>(d) == i;
}

}  // namespace

std::string HexText(const void* bytes, size_t size) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto* p = static_cast<const unsigned char*>(bytes);
  std::string hex;
  hex.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    hex += kHex[p[i] >> 4];
    hex += kHex[p[i] & 15];
  }
  return hex;
}

TSqliteValueReader::TSqliteValueReader()
    : toCodePage_(std::make_unique<TTranscoder>(ProcessCodePage().Name(), "UTF-8")),
      utf8CodePage_(EncodingKey(ProcessCodePage().Name()) == "UTF8") {}

TSqliteValueReader::~TSqliteValueReader() = default;

void TSqliteValueReader::ConvertText(std::string_view utf8, std::string& out, TSqliteReadNotes& notes) {
  // SQLite does not check the text it is given: bytes that are no UTF-8 may be stored.
  if (IsAscii(utf8) || (utf8CodePage_ && IsWholeUtf8(utf8))) {
    out.assign(utf8);
    return;
  }
  toCodePage_->ResetReplaced();
  toCodePage_->ConvertAll(utf8, out);
  notes.unmapped = toCodePage_->Replaced().unmapped;
  notes.badBytes = toCodePage_->Replaced().badInput;
}

TSqliteReadNotes TSqliteValueReader::Read(sqlite3_stmt* stmt, int col, int32_t type, std::string& buffer,
                                          TSourceValue& v) {
  using Kind = TSourceValue::Kind;
  TSqliteReadNotes notes;
  v = TSourceValue{};
  const int storage = sqlite3_column_type(stmt, col);
  if (storage == SQLITE_NULL) return notes;

  // First the value as its storage class has it, with its exact text.
  int64_t integer = 0;
  double real = 0;
  switch (storage) {
    case SQLITE_INTEGER:
      integer = sqlite3_column_int64(stmt, col);
      buffer = std::to_string(integer);
      break;
    case SQLITE_FLOAT:
      real = sqlite3_column_double(stmt, col);
      buffer = ShortestRealText(real);
      break;
    case SQLITE_BLOB: {
      const void* p = sqlite3_column_blob(stmt, col);
      buffer = HexText(p, p ? static_cast<size_t>(sqlite3_column_bytes(stmt, col)) : 0);
      break;
    }
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
      ConvertText(std::string_view(p ? p : "", p ? static_cast<size_t>(sqlite3_column_bytes(stmt, col)) : 0), buffer,
                  notes);
      break;
    }
  }
  v.text = buffer;

  // Then whether it fits the column's type.
  bool fits = true;
  switch (type) {
    case kFtInt64:
      if (storage == SQLITE_INTEGER) {
        v.kind = Kind::kInteger;
        v.integer = integer;
      } else if (storage == SQLITE_FLOAT && WholeInt64(real, v.integer)) {
        // 3.0: the integer it is, written as one.
        v.kind = Kind::kInteger;
        buffer = std::to_string(v.integer);
        v.text = buffer;
      } else if (storage == SQLITE_TEXT && ParseInteger(buffer, v.integer) && std::to_string(v.integer) == buffer) {
        // "007" or "+5" would read back as another text: not this column's kind of value.
        v.kind = Kind::kInteger;
      } else {
        fits = false;
      }
      break;
    case kFtDouble:
      if (storage == SQLITE_FLOAT) {
        v.kind = Kind::kReal;
        v.real = real;
      } else if (storage == SQLITE_INTEGER && ExactDouble(integer)) {
        v.kind = Kind::kInteger;
        v.integer = integer;
      } else if (storage == SQLITE_TEXT && ParseDecimal(buffer, v.real)) {
        v.kind = Kind::kReal;
      } else {
        fits = false;
      }
      break;
    case kFtDate:
    case kFtDateTime:
      if (storage == SQLITE_TEXT && buffer.empty()) {
        v = TSourceValue{};  // no date, and no text lost either
      } else if (storage == SQLITE_TEXT && ParseIsoDateTime(buffer, v.real) &&
                 (type == kFtDateTime || std::trunc(v.real) == v.real)) {
        // A time of day in a DATE column would be lost by every reader of the date.
        v.kind = Kind::kDateTime;
      } else {
        fits = false;
      }
      break;
    default:
      v.kind = storage == SQLITE_INTEGER ? Kind::kInteger : storage == SQLITE_FLOAT ? Kind::kReal : Kind::kText;
      v.integer = integer;
      v.real = real;
      break;
  }
  if (!fits) {
    v = TSourceValue{};
    v.kind = Kind::kUnfit;
    v.text = buffer;
    notes.unfit = true;
  }
  return notes;
}

}  // namespace ryn
