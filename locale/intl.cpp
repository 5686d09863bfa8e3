// The locale date and time layouts and the "intl" settings they are built
// from, read on this platform from the user's POSIX locale.
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "locale/locale.h"
#include "locale/locale_internal.h"

namespace tavero {
namespace {

// A pair of digit tokens: a leading-zero pair is zero-filled, otherwise the
// first digit is blank-filled.
void AddDigitPair(LocaleLayout& layout, LayoutKind kind, bool leading_zero, int capacity) {
  layout.Add(leading_zero ? '0' : ' ', kind, capacity);
  layout.Add('0', kind, capacity);
}

std::size_t CountRun(std::string_view text, std::size_t at) {
  std::size_t n = 0;
  while (at + n < text.size() && text[at + n] == text[at]) ++n;
  return n;
}

bool IsFieldLetter(char c) { return c == 'y' || c == 'M' || c == 'd'; }

// Reads quoted text starting at the opening quote; '' inside is one quote.
// Returns the position after the closing quote (or the end of the text).
std::size_t ReadQuoted(std::string_view text, std::size_t at, std::string& out) {
  std::size_t i = at + 1;
  while (i < text.size()) {
    if (text[i] == '\'') {
      if (i + 1 < text.size() && text[i + 1] == '\'') {
        out += '\'';
        i += 2;
        continue;
      }
      return i + 1;
    }
    out += text[i++];
  }
  return i;
}

constexpr std::string_view kDefaultLongDate = "ddd', 'MMMM' 'dd', 'yyyy";

}  // namespace

// Short date: the order follows the first character ('d' day-month-year, 'y'
// year-month-day, else month-day-year); "dd" and "MM" give leading zeros;
// "yyy" gives four year digits; the separator is the character after the
// last 'M'.
LocaleLayout BuildShortDateLayout(std::string_view text) {
  const bool day_zero = text.find("dd") != std::string_view::npos;
  const bool month_zero = text.find("MM") != std::string_view::npos;
  const int year_digits = text.find("yyy") != std::string_view::npos ? 4 : 2;
  char separator = '/';
  const std::size_t last_m = text.rfind('M');
  if (last_m != std::string_view::npos && last_m + 1 < text.size()) separator = text[last_m + 1];

  constexpr int kCap = kShortDateLayoutTokens;
  LocaleLayout layout;
  auto add_year = [&] {
    for (int i = 0; i < year_digits; ++i) layout.Add('0', LayoutKind::YearDigit, kCap);
  };
  auto add_day = [&] { AddDigitPair(layout, LayoutKind::DayDigit, day_zero, kCap); };
  auto add_month = [&] { AddDigitPair(layout, LayoutKind::MonthDigit, month_zero, kCap); };
  auto add_separator = [&] { layout.Add(separator, LayoutKind::DateSeparator, kCap); };
  const char first = text.empty() ? 'M' : text.front();
  if (first == 'd') {
    add_day(), add_separator(), add_month(), add_separator(), add_year();
  } else if (first == 'y') {
    add_year(), add_separator(), add_month(), add_separator(), add_day();
  } else {
    add_month(), add_separator(), add_day(), add_separator(), add_year();
  }
  return layout;
}

// Long date: a leading weekday field ('ddd' or more) and quoted or other text
// before the first field are skipped; then each field in turn, with the text
// after it (quoted or not) up to the next field as separator positions.
//   M, MM: month digits; MMM: 3 month letters; MMMM or more: 9 month letters
//   d, dd: day digits; y..yyyy: that many year digits
LocaleLayout BuildLongDateLayout(std::string_view text) {
  constexpr int kCap = kLongDateLayoutTokens;
  std::size_t i = 0;
  // Skip to the first field.
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\'') {
      std::string ignored;
      i = ReadQuoted(text, i, ignored);
    } else if (c == 'd' && CountRun(text, i) >= 3) {
      i += CountRun(text, i);
    } else if (IsFieldLetter(c)) {
      break;
    } else {
      ++i;
    }
  }
  if (i >= text.size()) {
    return text == kDefaultLongDate ? LocaleLayout{} : BuildLongDateLayout(kDefaultLongDate);
  }
  LocaleLayout layout;
  while (i < text.size()) {
    const char c = text[i];
    if (IsFieldLetter(c)) {
      const std::size_t run = CountRun(text, i);
      i += run;
      if (c == 'M') {
        if (run <= 2) {
          AddDigitPair(layout, LayoutKind::MonthDigit, run == 2, kCap);
        } else {
          for (std::size_t k = 0; k < (run == 3 ? 3u : 9u); ++k) {
            layout.Add(' ', LayoutKind::MonthLetter, kCap);
          }
        }
      } else if (c == 'd') {
        if (run <= 2) AddDigitPair(layout, LayoutKind::DayDigit, run == 2, kCap);
      } else {
        for (std::size_t k = 0; k < std::min<std::size_t>(run, 4); ++k) {
          layout.Add('0', LayoutKind::YearDigit, kCap);
        }
      }
    } else if (c == '\'') {
      std::string quoted;
      i = ReadQuoted(text, i, quoted);
      for (char q : quoted) layout.Add(q, LayoutKind::DateSeparator, kCap);
    } else {
      layout.Add(c, LayoutKind::DateSeparator, kCap);
      ++i;
    }
  }
  return layout;
}

// hh:mm[:ss][ AM]: the hours' first digit zero-filled with iTLzero 1; the
// 12-hour clock (iTime 0) ends with a blank, the AM/PM token and 'M'.
LocaleLayout BuildTimeLayout(const IntlSettings& intl, bool long_form) {
  const int cap = long_form ? kLongTimeLayoutTokens : kShortTimeLayoutTokens;
  const char separator = intl.time_separator.empty() ? ':' : intl.time_separator.front();
  LocaleLayout layout;
  AddDigitPair(layout, LayoutKind::HourDigit, intl.time_leading_zero == 1, cap);
  layout.Add(separator, LayoutKind::DateSeparator, cap);
  AddDigitPair(layout, LayoutKind::MinuteDigit, true, cap);
  if (long_form) {
    layout.Add(separator, LayoutKind::DateSeparator, cap);
    AddDigitPair(layout, LayoutKind::SecondDigit, true, cap);
  }
  if (intl.time_format == 0) {
    layout.Add(' ', LayoutKind::Literal, cap);
    layout.Add('A', LayoutKind::AmPm, cap);
    layout.Add('M', LayoutKind::Literal, cap);
  }
  return layout;
}

// strftime formats to intl settings. Dates: %d dd, %e d, %m MM, %y yy,
// %Y yyyy, %D MM/dd/yy, %F yyyy-MM-dd; the glibc '-' flag drops the leading
// zero and the E/O modifiers are ignored. Times: %H/%I hours with a leading
// zero, %k/%l without; %H and %k mean a 24-hour clock unless %p is there;
// %r is %I:%M:%S %p, %R and %T are %H:%M(:%S).
IntlSettings IntlFromPosixFormats(std::string_view date_format, std::string_view time_format,
                                  std::string_view am_text, std::string_view pm_text) {
  IntlSettings intl;
  // Dates.
  std::string short_date;
  bool readable = true;
  for (std::size_t i = 0; i < date_format.size() && readable; ++i) {
    if (date_format[i] != '%') {
      short_date += date_format[i];
      continue;
    }
    bool no_pad = false;
    ++i;
    while (i < date_format.size() && (date_format[i] == '-' || date_format[i] == 'E' ||
                                      date_format[i] == 'O' || date_format[i] == '_' ||
                                      date_format[i] == '0')) {
      no_pad = no_pad || date_format[i] == '-' || date_format[i] == '_';
      ++i;
    }
    if (i >= date_format.size()) break;
    switch (date_format[i]) {
      case 'd': short_date += no_pad ? "d" : "dd"; break;
      case 'e': short_date += "d"; break;
      case 'm': short_date += no_pad ? "M" : "MM"; break;
      case 'y': short_date += "yy"; break;
      case 'Y': short_date += "yyyy"; break;
      case 'D': short_date += "MM/dd/yy"; break;
      case 'F': short_date += "yyyy-MM-dd"; break;
      case '%': short_date += '%'; break;
      default: readable = false; break;
    }
  }
  const bool has_all = short_date.find('d') != std::string::npos &&
                       short_date.find('M') != std::string::npos &&
                       short_date.find('y') != std::string::npos;
  if (readable && has_all) {
    intl.short_date = short_date;
    // The long date follows the short date's order.
    if (short_date.front() == 'd') {
      intl.long_date = "dd' 'MMMM' 'yyyy";
    } else if (short_date.front() == 'y') {
      intl.long_date = "yyyy' 'MMMM' 'dd";
    }
  }

  // Times.
  std::string expanded;
  for (std::size_t i = 0; i < time_format.size(); ++i) {
    if (time_format[i] == '%' && i + 1 < time_format.size()) {
      const char c = time_format[i + 1];
      if (c == 'r') { expanded += "%I:%M:%S %p"; ++i; continue; }
      if (c == 'T') { expanded += "%H:%M:%S"; ++i; continue; }
      if (c == 'R') { expanded += "%H:%M"; ++i; continue; }
    }
    expanded += time_format[i];
  }
  std::size_t hour = std::string::npos;
  for (std::size_t i = 0; i + 1 < expanded.size(); ++i) {
    if (expanded[i] != '%') continue;
    const char c = expanded[i + 1];
    if (c == 'H' || c == 'I' || c == 'k' || c == 'l') {
      hour = i + 1;
      break;
    }
    ++i;  // "%%" and other conversions
  }
  if (hour != std::string::npos) {
    const char h = expanded[hour];
    const bool am_pm = expanded.find("%p") != std::string::npos ||
                       expanded.find("%P") != std::string::npos;
    intl.time_format = (h == 'H' || h == 'k') && !am_pm ? 1 : 0;
    intl.time_leading_zero = (h == 'H' || h == 'I') ? 1 : 0;
    const std::size_t minute = expanded.find("%M", hour);
    if (minute != std::string::npos && minute > hour + 1) {
      intl.time_separator = expanded.substr(hour + 1, 1);
    }
  }
  if (!am_text.empty()) intl.am_text = std::string(am_text);
  if (!pm_text.empty()) intl.pm_text = std::string(pm_text);
  return intl;
}

namespace {

// The locale's text in Windows-1252: UTF-8 is converted, Latin-1 is taken
// as it is, any other set keeps its ASCII only.
std::string LocaleText(const char* text, std::string_view codeset) {
  if (text == nullptr) return {};
  const std::string_view raw(text);
  if (codeset == "UTF-8" || codeset == "utf8") return Utf8ToAnsi(raw);
  if (codeset.starts_with("ISO-8859-1")) return std::string(raw);
  std::string out;
  for (char c : raw) out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
  return out;
}

bool SaysNothing(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

}  // namespace

std::string UserLocaleName(const char* category_variable) {
  for (const char* variable : {"LC_ALL", category_variable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

IntlSettings IntlFromPosixLocale() {
  const std::string name = UserLocaleName("LC_TIME");
  if (SaysNothing(name)) return {};
  locale_t locale =
      newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return {};
  const std::string codeset = nl_langinfo_l(CODESET, locale);
  const std::string date_format = LocaleText(nl_langinfo_l(D_FMT, locale), codeset);
  std::string time_format = LocaleText(nl_langinfo_l(T_FMT, locale), codeset);
  const std::string am = LocaleText(nl_langinfo_l(AM_STR, locale), codeset);
  const std::string pm = LocaleText(nl_langinfo_l(PM_STR, locale), codeset);
  freelocale(locale);
  return IntlFromPosixFormats(date_format, time_format, am, pm);
}

}  // namespace tavero
