// Check characters of the two national identification codes the functions know:
// personal identity-card numbers (GB 11643, 15 or 18 characters, birth date inside) and
// eight-character organization codes (weighting of GB 11714).
#pragma once

#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace ryn {

// The 18th character of an identity-card number over its first 17 digits; 0 when
// first17 is not 17 digits.
char IdCardCheckChar(std::string_view first17);

// True for a valid 15-character (all digits, 19yymmdd a real date) or 18-character (17
// digits, yyyymmdd a real date, the right upper-case check character) number; birth
// receives the birth date then.
bool IsIdCard(std::string_view number, TDateTime* birth = nullptr);

// A valid 15-character number widened to 18 ("19" before the year, check character
// appended); a valid 18-character number unchanged; otherwise empty.
std::string IdCard18(std::string_view number);

// The check character of an organization code: "0"-"9" or "X"; 0 when code is not
// eight characters of 0-9, A-Z, a-z and "#".
char OrgCodeCheckChar(std::string_view code);

}  // namespace ryn
