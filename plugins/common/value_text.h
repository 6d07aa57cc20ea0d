// Reading numbers and ISO dates out of the text of a source value, and their text forms.
// The readers take the whole text or nothing: no blanks, no thousands separators, no
// trailing characters. The Canonical readers take only text that the value's own text
// form gives back byte for byte, so that a column's type is only ever inferred from
// values that read back exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace ryn {

// Optional sign and decimal digits, within 64 bits.
bool ParseInteger(std::string_view text, int64_t& out);
// Optional sign, digits with at most one decimal point (a digit on at least one side),
// optional exponent.
bool ParseDecimal(std::string_view text, double& out);
// Exactly yyyy-mm-dd naming a real day.
bool ParseIsoDate(std::string_view text, TDateTime& out);
// yyyy-mm-dd, optionally followed by " " or "T" and hh:nn, hh:nn:ss or hh:nn:ss.fff (more
// fraction digits are cut to milliseconds), optionally ending in "Z".
bool ParseIsoDateTime(std::string_view text, TDateTime& out);
// Text that is std::to_string of its value: no sign "+", no leading zero, no "-0".
bool ParseCanonicalInteger(std::string_view text, int64_t& out);
// Text that is the general number form (FormatGeneral, 15 significant digits) of its
// value: "2.75", "1E20", "0.1"; not "3.10", "12E3", "+5", "-0" or a 16th digit.
bool ParseCanonicalDecimal(std::string_view text, double& out);
// yyyy-mm-dd naming a real day, exactly as IsoDateTimeText writes it.
bool ParseCanonicalDate(std::string_view text, TDateTime& out);
// The shortest text that reads back as exactly this double: the general number form when
// it does ("2.75", "1E20"), otherwise up to 17 significant digits. Infinities and NaN
// have no such text and give "INF", "-INF" or "NAN".
std::string ShortestRealText(double value);
// "yyyy-mm-dd", or "yyyy-mm-dd hh:nn:ss" when withTime is set.
std::string IsoDateTimeText(TDateTime value, bool withTime);

}  // namespace ryn
