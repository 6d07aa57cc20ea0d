// Settings for reading and printing dates, times and numbers. One process-wide object
// stands for the user's locale (year-month-day with "-" unless a test sets otherwise);
// fixed records such as the conversion format of the field values are separate instances.
#pragma once

#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace ryn {

struct TFormatSettings {
  char dateSeparator = '-';
  char timeSeparator = ':';
  char decimalSeparator = '.';
  char thousandSeparator = ',';
  std::string shortDateFormat = "yyyy-mm-dd";
  std::string longDateFormat = "yyyy-mm-dd";
  std::string shortTimeFormat = "hh:nn:ss";
  std::string longTimeFormat = "hh:nn:ss";
};

// The process's locale settings; tests may change them.
TFormatSettings& LocaleSettings();

// Formats with the pattern letters yyyy yy m mm d dd h hh n nn s ss z zzz (m after h means
// minutes), "/" and ":" standing for the separators, quoted text copied as it is.
std::string FormatDateTime(std::string_view pattern, TDateTime value, const TFormatSettings& fs);

// Reads a date, a time, or a date followed by a time. Date parts follow the order of
// shortDateFormat and are separated by dateSeparator (two parts: month and day of the
// current year; a year of one or two digits is taken within 50 years of now); time parts
// are hour, minute, optional second and optional millisecond. False when the text is
// anything else or names no real date or time.
bool TryParseDateTime(std::string_view text, const TFormatSettings& fs, TDateTime& out);
bool TryParseDate(std::string_view text, const TFormatSettings& fs, TDateTime& out);
bool TryParseTime(std::string_view text, const TFormatSettings& fs, TDateTime& out);

}  // namespace ryn
