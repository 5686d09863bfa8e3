// Interim locale bridge: the default tables, until the locale module is in.
#include "pictures/locale_bridge.h"

#include <array>

namespace tavero::pictures::bridge {
namespace {

constexpr std::array<std::string_view, 12> kLongMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr int kCumulativeDays[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsLeap(int year) { return year % 4 == 0 && year != 1900; }
int DaysIn(int month, int year) { return month == 2 && IsLeap(year) ? 29 : kMonthDays[month - 1]; }

}  // namespace

std::string_view LongMonthName(int month) { return kLongMonths[static_cast<std::size_t>(month - 1)]; }
std::string_view ShortMonthName(int month) { return LongMonthName(month).substr(0, 3); }
std::string_view AmPmText(int index) { return index == 0 ? "AM" : "PM"; }
std::string_view LocaleAmPmText(int index) { return index == 0 ? "AM" : "PM"; }
char ToUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsLetter(char c) { return ToUpper(c) != c || ToLower(c) != c; }

int CompareNoCase(std::string_view a, std::string_view b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (i >= a.size() || i >= b.size()) return static_cast<int>(a.size() > i) - static_cast<int>(b.size() > i);
    const int d = static_cast<unsigned char>(ToUpper(a[i])) - static_cast<unsigned char>(ToUpper(b[i]));
    if (d != 0) return d;
  }
  return 0;
}

Date DateFromDayNumber(std::int32_t n) {
  if (n < 4 || n > 109211) return {};
  int rest = n - 3 - (n < 36528 ? 1 : 0);
  int year = 1801 + 4 * (rest / 1461);
  int in_cycle = rest % 1461;
  int day_of_year;
  if (in_cycle == 1460) {
    year += 3;
    day_of_year = 365;
  } else {
    year += in_cycle / 365;
    day_of_year = in_cycle % 365;
  }
  int month = 1;
  while (month < 12 && day_of_year >= DaysIn(month, year)) day_of_year -= DaysIn(month++, year);
  return {year, month, day_of_year + 1, true};
}

std::int32_t DayNumber(int month, int day, int year) {
  if (year < 100) year += 1900;
  if (month <= 0 || day <= 0) return 0;
  const int start_year = year;
  while (month > 12) month -= 12, ++year;
  while (day > (month == 2 && IsLeap(start_year) ? 29 : kMonthDays[month - 1])) {
    day -= month == 2 && IsLeap(start_year) ? 29 : kMonthDays[month - 1];
    if (++month > 12) month -= 12, ++year;
  }
  if (year < 1801 || year > 2099) return 0;
  std::int32_t n = (year - 1801) * 1461 / 4 + kCumulativeDays[month - 1] + day + 2;
  if (year < 1901) ++n;
  if (month > 2 && IsLeap(year)) ++n;
  return n;
}

std::vector<PictureToken> LocaleLayout(Layout layout) {
  using K = TokenKind;
  switch (layout) {
    case Layout::ShortDate:  // from "MM/dd/yy"
      return {{'0', K::MonthDigit}, {'0', K::MonthDigit}, {'/', K::DateSeparator},
              {'0', K::DayDigit},   {'0', K::DayDigit},   {'/', K::DateSeparator},
              {'0', K::YearDigit},  {'0', K::YearDigit}};
    case Layout::LongDate: {  // from "ddd', 'MMMM' 'dd', 'yyyy"
      std::vector<PictureToken> t(9, {' ', K::MonthLetter});
      t.insert(t.end(), {{' ', K::DateSeparator}, {'0', K::DayDigit}, {'0', K::DayDigit},
                         {',', K::DateSeparator}, {' ', K::DateSeparator}, {'0', K::YearDigit},
                         {'0', K::YearDigit}, {'0', K::YearDigit}, {'0', K::YearDigit}});
      return t;
    }
    case Layout::ShortTime:
    case Layout::LongTime: {  // 12-hour clock, leading zero, ':'
      std::vector<PictureToken> t = {{'0', K::HourDigit}, {'0', K::HourDigit}, {':', K::DateSeparator},
                                     {'0', K::MinuteDigit}, {'0', K::MinuteDigit}};
      if (layout == Layout::LongTime) {
        t.insert(t.end(), {{':', K::DateSeparator}, {'0', K::SecondDigit}, {'0', K::SecondDigit}});
      }
      t.insert(t.end(), {{' ', K::Literal}, {'A', K::AmPm}, {'M', K::Literal}});
      return t;
    }
  }
  return {};
}

}  // namespace tavero::pictures::bridge
