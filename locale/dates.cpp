// Day numbers, time values and the date functions.
#include <ctime>
#include <string>

#include "locale/locale.h"

namespace tavero {
namespace {

constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int kDaysPerCycle = 1461;      // four years, one of them leap
constexpr int32_t kFirst1901Day = 36528;  // 1 January 1901: 1900 had no 29 February

int MonthLength(int month, bool leap) {
  static constexpr int kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap ? 29 : kLength[month - 1];
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && year != 1900; }

int DaysInMonth(int month, int year) {
  if (month < 1 || month > 12) return 0;
  return MonthLength(month, IsLeapYear(year));
}

int32_t DATE(int month, int day, int year) {
  if (month < 1 || day < 1 || year < 0) return 0;
  if (year < 100) year += 1900;
  if (year > 2099) return 0;
  const bool starting_year_leap = IsLeapYear(year);
  // Months above 12 roll into following years.
  const int extra_years = (month - 1) / 12;
  if (extra_years > 2099 - year) return 0;
  year += extra_years;
  month = (month - 1) % 12 + 1;
  // Days beyond the month roll into following months, February taken with
  // the starting year's length. Every round moves forward at least 28 days,
  // so leaving the valid years ends the loop soon.
  while (day > MonthLength(month, starting_year_leap)) {
    day -= MonthLength(month, starting_year_leap);
    if (++month > 12) {
      month = 1;
      if (++year > 2099) return 0;
    }
  }
  if (year < 1801 || day > DaysInMonth(month, year)) return 0;
  int32_t number = (year - 1801) * kDaysPerCycle / 4 + kDaysBeforeMonth[month - 1] + day + 2;
  if (year < 1901) ++number;
  if (month > 2 && IsLeapYear(year)) ++number;
  return number;
}

CalendarDate DateFromDayNumber(int32_t day_number) {
  if (day_number < kFirstDayNumber || day_number > kLastDayNumber) return {};
  int32_t n = day_number - 3;
  if (day_number < kFirst1901Day) --n;
  const int32_t cycle = n / kDaysPerCycle;
  const int32_t remainder = n % kDaysPerCycle;
  // The fourth year of a cycle is the leap year: its day 365 is remainder 1460.
  const int32_t year_in_cycle = remainder == 1460 ? 3 : remainder / 365;
  int day_of_year = static_cast<int>(remainder - year_in_cycle * 365);
  CalendarDate date;
  date.year = 1801 + 4 * static_cast<int>(cycle) + static_cast<int>(year_in_cycle);
  const bool leap = IsLeapYear(date.year);
  date.month = 1;
  while (day_of_year >= MonthLength(date.month, leap)) {
    day_of_year -= MonthLength(date.month, leap);
    ++date.month;
  }
  date.day = day_of_year + 1;
  date.valid = true;
  return date;
}

int DAY(int32_t day_number) { return DateFromDayNumber(day_number).day; }
int MONTH(int32_t day_number) { return DateFromDayNumber(day_number).month; }
int YEAR(int32_t day_number) { return DateFromDayNumber(day_number).year; }

TimeOfDay SplitTimeValue(int32_t time_value) {
  if (time_value < 1 || time_value > kLastTimeValue) return {};
  const int32_t t = time_value - 1;
  return {static_cast<int>(t / 360000), static_cast<int>(t % 360000 / 6000),
          static_cast<int>(t % 6000 / 100), static_cast<int>(t % 100), true};
}

int32_t MakeTimeValue(int hours, int minutes, int seconds, int hundredths) {
  return hours * 360000 + minutes * 6000 + seconds * 100 + hundredths + 1;
}

// The date and time are the local ones: a card entered in the evening gets
// that evening's date, not the date already reached in Greenwich.
int32_t DayNumberAt(std::time_t moment) {
  std::tm local{};
  if (localtime_r(&moment, &local) == nullptr) return 0;
  return DATE(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
}

int32_t TimeValueAt(std::time_t moment, int hundredths) {
  std::tm local{};
  if (localtime_r(&moment, &local) == nullptr) return 0;
  // A leap second reads as the last second of its minute.
  const int seconds = local.tm_sec > 59 ? 59 : local.tm_sec;
  const int32_t value = MakeTimeValue(local.tm_hour, local.tm_min, seconds, hundredths);
  return value == 1 ? 0 : value;  // exactly midnight reads as 0
}

int32_t TODAY() { return DayNumberAt(std::time(nullptr)); }

int32_t CLOCK() {
  std::timespec now{};
  std::timespec_get(&now, TIME_UTC);
  return TimeValueAt(now.tv_sec, static_cast<int>(now.tv_nsec / 10'000'000));
}

std::string AGE(int32_t birth, int32_t base) {
  const std::string kUnknown(255, '*');
  const CalendarDate base_date = DateFromDayNumber(base);
  CalendarDate birth_date = DateFromDayNumber(birth);
  if (!base_date.valid || !birth_date.valid) return kUnknown;
  if (birth > base) {
    birth = DATE(birth_date.month, birth_date.day, birth_date.year - 100);
    if (birth == 0 || birth > base) return kUnknown;
    birth_date = DateFromDayNumber(birth);
  }
  if (base - birth < 61) return std::to_string(base - birth) + " DAYS";
  int months = (base_date.year - birth_date.year) * 12 + base_date.month - birth_date.month;
  if (base_date.day < birth_date.day) --months;
  if (months < 25) return std::to_string(months) + " MOS";
  int years = base_date.year - birth_date.year;
  if (base_date.month < birth_date.month ||
      (base_date.month == birth_date.month && base_date.day < birth_date.day)) {
    --years;
  }
  return std::to_string(years) + " YRS";
}

std::string AGE(int32_t birth) { return AGE(birth, TODAY()); }

}  // namespace tavero
