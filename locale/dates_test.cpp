#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "locale/locale.h"

namespace tavero {
namespace {

struct DateCase {
  int month, day, year;
  int32_t expected;
};

TEST(DateTest, MakesDayNumbersWithRollOverAndLimits) {
  const DateCase cases[] = {
      {1, 1, 1801, 4},           // first valid day
      {12, 31, 2099, 109211},    // last valid day
      {1, 1, 2000, 72687},
      {12, 31, 1900, 36527},     // 1900 is no leap year
      {1, 1, 1901, 36528},
      {2, 29, 1900, 36222},      // 1900 has no 29 February: it rolls to 1 March
      {13, 1, 96, DATE(1, 1, 1997)},   // month 13 rolls into the next year
      {2, 30, 96, DATE(3, 1, 1996)},   // day 30 rolls into March of a leap year
      {3, 1, 1900, 36222},
      {25, 1, 1996, DATE(1, 1, 1998)},
      {0, 1, 96, 0},             // month 0 never rolls backwards
      {1, 0, 96, 0},
      {1, 1, 1800, 0},
      {1, 1, 2100, 0},
      {12, 32, 2099, 0},         // rolls past the last year
      {1, 1, 150, 0},            // 100..1800 is no year of the range
      {2147483647, 1, 96, 0},    // huge values end quickly, no overflow
      {1, 2147483647, 96, 0},
      {-1, 1, 96, 0},
      {1, 1, -5, 0},
  };
  for (const DateCase& c : cases) {
    EXPECT_EQ(DATE(c.month, c.day, c.year), c.expected) << c.month << "/" << c.day << "/" << c.year;
  }
}

TEST(DateTest, FebruaryLengthOfStartingYearDrivesDayRollOver) {
  // Month 14 of 1995 is February 1996, but February is taken with 1995's 28
  // days, so day 29 becomes 1 March 1996.
  EXPECT_EQ(DATE(14, 29, 1995), DATE(3, 1, 1996));
}

TEST(DateTest, DayNumbersSplitBackIntoTheirDates) {
  // Every valid day number round-trips and the days are consecutive.
  int32_t previous = 0;
  for (int year = 1801; year <= 2099; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(month, year); ++day) {
        const int32_t n = DATE(month, day, year);
        ASSERT_EQ(n, previous == 0 ? kFirstDayNumber : previous + 1) << year << "-" << month << "-" << day;
        const CalendarDate date = DateFromDayNumber(n);
        ASSERT_TRUE(date.valid);
        ASSERT_EQ(date.year, year);
        ASSERT_EQ(date.month, month);
        ASSERT_EQ(date.day, day);
        previous = n;
      }
    }
  }
  EXPECT_EQ(previous, kLastDayNumber);
}

TEST(DateTest, InvalidDayNumbersGiveZeroParts) {
  for (int32_t n : {0, 3, 109212, -1}) {
    EXPECT_FALSE(DateFromDayNumber(n).valid);
    EXPECT_EQ(DAY(n), 0);
    EXPECT_EQ(MONTH(n), 0);
    EXPECT_EQ(YEAR(n), 0);
  }
  EXPECT_EQ(YEAR(36527), 1900);
  EXPECT_EQ(DAY(36527), 31);
  EXPECT_EQ(MONTH(36528), 1);
}

TEST(TimeTest, SplitsTimeValues) {
  const TimeOfDay t = SplitTimeValue(4710901);
  EXPECT_TRUE(t.valid);
  EXPECT_EQ(t.hours, 13);
  EXPECT_EQ(t.minutes, 5);
  EXPECT_EQ(t.seconds, 9);
  EXPECT_EQ(t.hundredths, 0);
  EXPECT_EQ(MakeTimeValue(13, 5, 9), 4710901);
  EXPECT_TRUE(SplitTimeValue(1).valid);  // midnight
  const TimeOfDay last = SplitTimeValue(kLastTimeValue);
  EXPECT_EQ(last.hours * 1000000 + last.minutes * 10000 + last.seconds * 100 + last.hundredths,
            23595999);
  for (int32_t bad : {0, -1, kLastTimeValue + 1}) {
    const TimeOfDay none = SplitTimeValue(bad);
    EXPECT_FALSE(none.valid);
    EXPECT_EQ(none.hours + none.minutes + none.seconds + none.hundredths, 0);
  }
}

// Runs a test body in a given time zone and restores the previous one.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(TodayTest, ReadsTheLocalDateNotGreenwich) {
  ScopedTimeZone new_york("EST5EDT,M3.2.0,M11.1.0");
  // 8 p.m. on 7 December 2026 in New York is already 8 December in UTC.
  const std::time_t evening = 1796691600;  // 2026-12-08 01:00:00 UTC
  EXPECT_EQ(DayNumberAt(evening), DATE(12, 7, 2026));
  EXPECT_EQ(TimeValueAt(evening, 0), MakeTimeValue(20, 0, 0));
}

TEST(TodayTest, ClockIsZeroAtExactlyMidnight) {
  ScopedTimeZone utc("UTC0");
  const std::time_t midnight = 1796601600;  // 2026-12-07 00:00:00 UTC
  EXPECT_EQ(TimeValueAt(midnight, 0), 0);
  EXPECT_EQ(TimeValueAt(midnight, 1), 2);
  EXPECT_EQ(DayNumberAt(midnight), DATE(12, 7, 2026));
}

TEST(TodayTest, TodayAndClockAgreeWithTheLocalCalendar) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int32_t today = TODAY();
  // Around midnight the day may turn between the two reads.
  EXPECT_LE(std::abs(today - DATE(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900)), 1);
  EXPECT_GE(CLOCK(), 0);
  EXPECT_LE(CLOCK(), kLastTimeValue);
}

TEST(AgeTest, ChoosesDaysMonthsOrYears) {
  const int32_t base = DATE(6, 15, 2000);
  EXPECT_EQ(AGE(base - 30, base), "30 DAYS");
  EXPECT_EQ(AGE(base, base), "0 DAYS");
  EXPECT_EQ(AGE(base - 60, base), "60 DAYS");
  EXPECT_EQ(AGE(base - 61, base), "2 MOS");
  EXPECT_EQ(AGE(DATE(5, 15, 1999), base), "13 MOS");  // day of month reached
  EXPECT_EQ(AGE(DATE(5, 16, 1999), base), "12 MOS");  // not yet
  EXPECT_EQ(AGE(DATE(6, 15, 1995), base), "5 YRS");
  EXPECT_EQ(AGE(DATE(6, 16, 1995), base), "4 YRS");
  EXPECT_EQ(AGE(DATE(7, 1, 1995), base), "4 YRS");
}

TEST(AgeTest, BirthAfterBaseIsTakenACenturyEarlier) {
  const int32_t base = DATE(1, 1, 2000);
  EXPECT_EQ(AGE(DATE(1, 1, 2050), base), "50 YRS");  // born 1950
  const std::string stars(255, '*');
  EXPECT_EQ(AGE(DATE(1, 1, 2099), DATE(1, 1, 1850)), stars);  // 1999 still after 1850
  EXPECT_EQ(AGE(DATE(1, 1, 1890), DATE(1, 1, 1850)), stars);  // 1790 cannot be made
  EXPECT_EQ(AGE(0, base), stars);
  EXPECT_EQ(AGE(base, 0), stars);
}

}  // namespace
}  // namespace tavero
