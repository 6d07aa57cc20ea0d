#include "transport/field_values.h"

#include <cmath>

#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/paths.h"
#include "platform/stream.h"
#include "transport/errors.h"
#include "transport/field_types.h"
#include "transport/guid.h"

namespace ryn {

const TFormatSettings& ConversionFormat() {
  static const TFormatSettings fs = [] {
    TFormatSettings s;
    s.dateSeparator = '-';
    s.timeSeparator = ':';
    s.decimalSeparator = '\0';
    s.thousandSeparator = '\0';
    s.shortDateFormat = "yyyy-mm-dd";
    s.longDateFormat = "yyyy-mm-dd";
    s.shortTimeFormat = "hh:nn:ss";
    s.longTimeFormat = "hh:nn:ss:zzz";
    return s;
  }();
  return fs;
}

namespace {

std::string LongTimeText(TDateTime v) { return FormatDateTime(ConversionFormat().longTimeFormat, v, ConversionFormat()); }
std::string DateText(TDateTime v) { return FormatDateTime(ConversionFormat().shortDateFormat, v, ConversionFormat()); }

std::string DateAndTimeText(TDateTime v) {
  std::string s = DateText(v);
  if (v != std::trunc(v)) s += ' ' + LongTimeText(v);
  return s;
}

void AssignTyped(IFieldWriter* field, int32_t type, const TVariant& value) {
  switch (type) {
    case kFtUnknown:
    case kFtString:
      field->SetAsString(value.Type() == VarType::kDate ? DateTimeText(value.ToDateTime()) : value.ToString());
      return;
    case kFtByte: field->SetAsByte(static_cast<uint8_t>(NormalizeNumber(value).ToInt32())); return;
    case kFtWord: field->SetAsWord(static_cast<uint16_t>(NormalizeNumber(value).ToInt32())); return;
    case kFtShortInt: field->SetAsShortInt(static_cast<int8_t>(NormalizeNumber(value).ToInt32())); return;
    case kFtSmallInt: field->SetAsSmallInt(static_cast<int16_t>(NormalizeNumber(value).ToInt32())); return;
    case kFtInteger: field->SetAsInteger(NormalizeNumber(value).ToInt32()); return;
    case kFtLongWord: field->SetAsLongWord(static_cast<uint32_t>(NormalizeNumber(value).ToInt64())); return;
    case kFtInt64: field->SetAsInt64(NormalizeNumber(value).ToInt64()); return;
    case kFtBoolean: field->SetAsBoolean(NormalizeNumber(value).ToBoolean()); return;
    case kFtSingle: field->SetAsSingle(static_cast<float>(NormalizeNumber(value).ToExtended())); return;
    case kFtDouble: field->SetAsDouble(NormalizeNumber(value).ToDouble()); return;
    case kFtExtended: field->SetAsExtended(NormalizeNumber(value).ToExtended()); return;
    case kFtGuid: {
      std::string text = value.ToString();
      if (text.empty()) return;
      auto guid = ParseGuid(text);
      if (!guid) throw EConvertError("'" + text + "' is not a valid GUID value");
      field->SetAsGuid(*guid);
      return;
    }
    case kFtTime:
    case kFtDate:
    case kFtDateTime: {
      TDateTime d;
      if (value.Type() == VarType::kString) {
        if (!TryParseDateTime(value.StringRef(), ConversionFormat(), d)) return;
      } else {
        d = value.ToDateTime();
      }
      field->SetAsDateTime(d);
      return;
    }
    case kFtWideString: field->SetAsWideString(value.ToWideString()); return;
    case kFtBinary: {
      std::string bytes;
      if (!value.RawBytes(bytes)) return;
      TMemoryStream stream(std::move(bytes));
      field->LoadFromStream(stream);
      return;
    }
    default: return;
  }
}

}  // namespace

std::string DateTimeText(TDateTime value) {
  // A time of day stands alone; day 0 itself (1899-12-30) is a date like any other, and
  // "00:00:00:000" in its place would read as a time.
  if (std::trunc(value) == 0 && value != 0) return LongTimeText(value);
  return DateAndTimeText(value);
}

void AssignVariant(IFieldWriter* field, const TVariant& value) {
  if (!field) return;
  try {
    AssignTyped(field, field->GetDataType(), value);
  } catch (const EVariantError&) {
    // A value that cannot take the field's type writes nothing.
  }
}

TVariant NormalizeNumber(const TVariant& value) {
  if (value.Type() != VarType::kString || value.StringRef().find(',') == std::string::npos) return value;
  std::string s;
  s.reserve(value.StringRef().size());
  for (char c : value.StringRef())
    if (c != ',') s += c;
  return TVariant(std::move(s));
}

std::string ValueToText(IFieldReader* field) {
  if (!field || field->IsEmpty()) return std::string();
  switch (field->GetDataType()) {
    case kFtExtended: return FormatGeneral(field->GetAsExtended(), LocaleSettings().decimalSeparator);
    case kFtTime: return LongTimeText(field->GetAsDateTime());
    case kFtDate: return DateText(field->GetAsDateTime());
    case kFtDateTime: return DateAndTimeText(field->GetAsDateTime());
    default: return std::string();
  }
}

bool IsValidFilePath(std::string& path) {
  path = ExpandFileName(path);
  const CodePage& cp = ProcessCodePage();
  const char* p = path.data();
  const char* end = p + path.size();
#ifdef _WIN32
  // The full form starts with its drive ("C:\"), whose colon is no forbidden mark.
  if (path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    p += 2;
#endif
  while (p < end) {
    size_t n = cp.CharLength(p, end);
    if (n == 1) {
      switch (*p) {
        case ':': case '*': case '?': case '"': case '<': case '>': case '|': return false;
        default: break;
      }
    }
    p += n;
  }
  return true;
}

}  // namespace ryn
