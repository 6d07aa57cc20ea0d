// Moving computed or textual values into typed destination fields, the text form of
// extended and date-time source values, and the file-path check of the wizard.
#pragma once

#include <string>

#include "platform/locale_settings.h"
#include "transport/interfaces.h"
#include "transport/variant.h"

namespace ryn {

// The fixed settings of every value conversion here: dates "yyyy-mm-dd", times
// "hh:nn:ss" (short) and "hh:nn:ss:zzz" (long).
const TFormatSettings& ConversionFormat();

// Date form, a space and the long time form; the time is left out at exact midnight, and
// the date for a time of day (day part 0, not 0 itself: that is 1899-12-30).
std::string DateTimeText(TDateTime value);

// Converts value for the field's own type code and calls the matching setter. Variant
// conversion failures are swallowed (nothing is written); text that is not a GUID raises
// EConvertError; errors of the field itself reach the caller.
void AssignVariant(IFieldWriter* field, const TVariant& value);

// Narrow text without its thousands separators ","; other values unchanged.
TVariant NormalizeNumber(const TVariant& value);

// Text of a type 19, 49, 50 or 51 value; empty for empty values and other types.
std::string ValueToText(IFieldReader* field);

// Replaces path by its absolute form; false when it holds a character no file name may
// hold here (: * ? " < > |).
bool IsValidFilePath(std::string& path);

}  // namespace ryn
