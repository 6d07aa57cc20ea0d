#include "expr/check_codes.h"

#include <algorithm>

namespace ryn {
namespace {

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int DigitsValue(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

// A real date other than the empty date 0.
bool BirthDate(int year, int month, int day, TDateTime* birth) {
  TDateTime d = 0;
  if (!TryEncodeDate(year, month, day, d) || d == 0) return false;
  if (birth) *birth = d;
  return true;
}

}  // namespace

char IdCardCheckChar(std::string_view first17) {
  static constexpr int kWeights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  static constexpr char kChars[] = "10X98765432";
  if (first17.size() != 17 || !AllDigits(first17)) return 0;
  int sum = 0;
  for (size_t i = 0; i < 17; ++i) sum += (first17[i] - '0') * kWeights[i];
  return kChars[sum % 11];
}

bool IsIdCard(std::string_view number, TDateTime* birth) {
  if (number.size() == 15) {
    if (!AllDigits(number)) return false;
    return BirthDate(1900 + DigitsValue(number.substr(6, 2)), DigitsValue(number.substr(8, 2)),
                     DigitsValue(number.substr(10, 2)), birth);
  }
  if (number.size() != 18) return false;
  std::string_view first17 = number.substr(0, 17);
  if (!AllDigits(first17)) return false;
  if (number[17] != IdCardCheckChar(first17)) return false;
  return BirthDate(DigitsValue(number.substr(6, 4)), DigitsValue(number.substr(10, 2)),
                   DigitsValue(number.substr(12, 2)), birth);
}

std::string IdCard18(std::string_view number) {
  if (!IsIdCard(number)) return {};
  if (number.size() == 18) return std::string(number);
  std::string s(number.substr(0, 6));
  s += "19";
  s += number.substr(6);
  s += IdCardCheckChar(s);
  return s;
}

char OrgCodeCheckChar(std::string_view code) {
  static constexpr int kWeights[8] = {3, 7, 9, 10, 5, 8, 4, 2};
  if (code.size() != 8) return 0;
  int sum = 0;
  for (size_t i = 0; i < 8; ++i) {
    char c = code[i];
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'A' && c <= 'Z') v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 10;
    else if (c == '#') v = 36;
    else return 0;
    sum += v * kWeights[i];
  }
  int r = sum % 11;
  if (r == 0) return '0';
  if (r == 1) return 'X';
  return static_cast<char>('0' + 11 - r);
}

}  // namespace ryn
