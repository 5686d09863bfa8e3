#include <string>

#include <gtest/gtest.h>

#include "locale/locale.h"

namespace tavero {
namespace {

// A layout written compactly, one letter per token: m/M month digit zero- or
// blank-filled, d/D day digit, y year digit, N month letter, h/H hour digit,
// i minute digit, s second digit, A the AM/PM token; any other character is
// a separator with that character, except that a character after '\' is a
// literal.
std::string Describe(const LocaleLayout& layout) {
  std::string out;
  for (const LayoutToken& token : layout.Tokens()) {
    const bool zero = token.character == '0';
    switch (token.kind) {
      case LayoutKind::MonthDigit: out += zero ? 'm' : 'M'; break;
      case LayoutKind::DayDigit: out += zero ? 'd' : 'D'; break;
      case LayoutKind::YearDigit: out += 'y'; break;
      case LayoutKind::MonthLetter: out += 'N'; break;
      case LayoutKind::HourDigit: out += zero ? 'h' : 'H'; break;
      case LayoutKind::MinuteDigit: out += 'i'; break;
      case LayoutKind::SecondDigit: out += 's'; break;
      case LayoutKind::AmPm: out += 'A'; break;
      case LayoutKind::DateSeparator: out += token.character; break;
      case LayoutKind::Literal: out += '\\', out += token.character; break;
    }
  }
  return out;
}

TEST(LayoutTest, ShortDateLayouts) {
  const struct {
    const char* text;
    const char* layout;
  } cases[] = {
      {"MM/dd/yy", "mm/dd/yy"},
      {"dd.MM.yyyy", "dd.mm.yyyy"},
      {"yy/MM/dd", "yy/mm/dd"},
      {"d/M/yy", "Dd/Mm/yy"},
      {"yyyy-M-d", "yyyy-Mm-Dd"},
      {"M", "Mm/Dd/yy"},   // nothing after the last 'M': '/' stays
      {"", "Mm/Dd/yy"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(BuildShortDateLayout(c.text)), c.layout) << c.text;
}

TEST(LayoutTest, LongDateLayouts) {
  const struct {
    const char* text;
    const char* layout;
  } cases[] = {
      {"ddd', 'MMMM' 'dd', 'yyyy", "NNNNNNNNN dd, yyyy"},
      {"dddd, d. MMMM yyyy", "Dd. NNNNNNNNN yyyy"},
      {"yyyy'\xC5'M'-'d", "yyyy\xC5Mm-Dd"},
      {"d MMM yy", "Dd NNN yy"},
      {"'It''s' MM/dd/yyyy 'ok'", "mm/dd/yyyy ok"},
      {"yyyyyy", "yyyy"},
      {"none at all", "NNNNNNNNN dd, yyyy"},  // no field: the default
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(BuildLongDateLayout(c.text)), c.layout) << c.text;
  }
}

TEST(LayoutTest, LongDateLayoutStopsAtItsCapacity) {
  const LocaleLayout layout = BuildLongDateLayout("MMMM' " + std::string(60, '-') + "'yyyy");
  EXPECT_EQ(layout.width, kLongDateLayoutTokens);
}

TEST(LayoutTest, TimeLayouts) {
  IntlSettings intl;  // 12-hour clock, leading zero, ':'
  EXPECT_EQ(Describe(BuildTimeLayout(intl, false)), "hh:ii\\ A\\M");
  EXPECT_EQ(Describe(BuildTimeLayout(intl, true)), "hh:ii:ss\\ A\\M");
  intl.time_format = 1;
  intl.time_leading_zero = 0;
  intl.time_separator = ".";
  EXPECT_EQ(Describe(BuildTimeLayout(intl, false)), "Hh.ii");
  EXPECT_EQ(Describe(BuildTimeLayout(intl, true)), "Hh.ii.ss");
  intl.time_separator.clear();
  EXPECT_EQ(Describe(BuildTimeLayout(intl, false)), "Hh:ii");
}

TEST(LayoutTest, DefaultTablesCarryTheDefaultLayouts) {
  const LocaleTables tables = LocaleTables::Defaults();
  EXPECT_EQ(Describe(tables.short_date), "mm/dd/yy");
  EXPECT_EQ(Describe(tables.long_date), "NNNNNNNNN dd, yyyy");
  EXPECT_EQ(Describe(tables.short_time), "hh:ii\\ A\\M");
  EXPECT_EQ(tables.locale_am_pm[0], "AM");
  EXPECT_EQ(tables.locale_am_pm[1], "PM");
}

TEST(PosixLocaleTest, ReadsDateOrderSeparatorsAndClock) {
  // Germany: day first with '.', 24-hour clock, no AM/PM texts.
  IntlSettings de = IntlFromPosixFormats("%d.%m.%Y", "%T", "", "");
  EXPECT_EQ(de.short_date, "dd.MM.yyyy");
  EXPECT_EQ(de.long_date, "dd' 'MMMM' 'yyyy");
  EXPECT_EQ(de.time_format, 1);
  EXPECT_EQ(de.time_leading_zero, 1);
  EXPECT_EQ(de.time_separator, ":");
  EXPECT_EQ(de.am_text, "AM");  // says nothing: the default stays

  // United States: %m/%d/%Y and %r (12-hour clock with AM/PM).
  IntlSettings us = IntlFromPosixFormats("%m/%d/%Y", "%r", "AM", "PM");
  EXPECT_EQ(us.short_date, "MM/dd/yyyy");
  EXPECT_EQ(us.long_date, IntlSettings{}.long_date);
  EXPECT_EQ(us.time_format, 0);

  // Sweden: ISO dates; Finland: %H.%M.%S; a 12-hour clock without zero.
  EXPECT_EQ(IntlFromPosixFormats("%F", "", "", "").short_date, "yyyy-MM-dd");
  EXPECT_EQ(IntlFromPosixFormats("%Y-%m-%d", "", "", "").long_date, "yyyy' 'MMMM' 'dd");
  EXPECT_EQ(IntlFromPosixFormats("", "%H.%M.%S", "", "").time_separator, ".");
  IntlSettings twelve = IntlFromPosixFormats("%-d/%-m/%y", "%l:%M %p", "a.m.", "p.m.");
  EXPECT_EQ(twelve.short_date, "d/M/yy");
  EXPECT_EQ(twelve.time_format, 0);
  EXPECT_EQ(twelve.time_leading_zero, 0);
  EXPECT_EQ(twelve.am_text, "a.m.");
}

TEST(PosixLocaleTest, UnreadableFormatsKeepTheDefaults) {
  const IntlSettings defaults;
  for (const char* format : {"%x", "%d.%m", "%a %b", "", "%", "%Ey"}) {
    EXPECT_EQ(IntlFromPosixFormats(format, "", "", "").short_date, defaults.short_date) << format;
  }
  const IntlSettings no_hour = IntlFromPosixFormats("", "%M:%S %%H", "", "");
  EXPECT_EQ(no_hour.time_format, defaults.time_format);
  EXPECT_EQ(no_hour.time_separator, defaults.time_separator);
}

TEST(PosixLocaleTest, CLocaleSaysNothing) {
  // The machines this runs on may have no other locale installed; the C
  // locale must give the defaults (a 12-hour clock), not its own %H:%M:%S.
  const char* old = std::getenv("LC_ALL");
  const std::string saved = old != nullptr ? old : "";
  setenv("LC_ALL", "C", 1);
  const IntlSettings intl = IntlFromPosixLocale();
  if (old != nullptr) {
    setenv("LC_ALL", saved.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  EXPECT_EQ(intl.time_format, 0);
  EXPECT_EQ(intl.short_date, "MM/dd/yy");
}

}  // namespace
}  // namespace tavero
