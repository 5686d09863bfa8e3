// What pictures read of the locale: month names, AM/PM texts, the case table,
// collation, the calendar and the locale date and time layouts. Internal to
// pictures/.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "pictures/picture.h"

namespace tavero::pictures::bridge {

std::string_view LongMonthName(int month);   // 1..12, up to 12 characters
std::string_view ShortMonthName(int month);  // 1..12, up to 3 characters
std::string_view AmPmText(int index);        // 0 AM, 1 PM: for @T1..@T6
std::string_view LocaleAmPmText(int index);  // s1159, s2359: for @T7, @T8
char ToUpper(char c);
char ToLower(char c);
bool IsLetter(char c);  // has a case partner
// The first n characters compared by the collation weights of their upper
// case forms: negative, 0 or positive.
int CompareNoCase(std::string_view a, std::string_view b, std::size_t n);

struct Date {
  int year = 0, month = 0, day = 0;
  bool valid = false;
};
Date DateFromDayNumber(std::int32_t day_number);
std::int32_t DayNumber(int month, int day, int year);  // DATE: 0 when it cannot be made

// The locale layouts behind @D17, @D18, @T7 and @T8, token for token.
enum class Layout { ShortDate, LongDate, ShortTime, LongTime };
std::vector<PictureToken> LocaleLayout(Layout layout);

}  // namespace tavero::pictures::bridge
