// Dates, times and the process-wide locale: day numbers and time values, the
// date functions, the LocaleTables (month names, AM/PM texts, case and
// collation tables, digraphs, the locale date and time layouts, message
// overrides) and the environment file that changes them.
//
// Text is single-byte Windows-1252 ("ANSI"); the OEM character set is code
// page 437. Characters travel as `char` and index the tables as unsigned
// bytes.
//
// The tables have their defaults from program start. LoadLocale fills them
// once at start-up; afterwards they change only through LoadEnvironmentFile
// or ApplySetting. Nothing here locks: the runtime's threads are serialised
// by the window engine and the tables are written only during start-up.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavero {

// ---------------------------------------------------------------------------
// Day numbers and time values
// ---------------------------------------------------------------------------

// A date is the count of days since 28 December 1800: day 4 is 1 January
// 1801, day 72687 is 1 January 2000, day 109211 is 31 December 2099. 0 means
// "no date".
inline constexpr int32_t kFirstDayNumber = 4;
inline constexpr int32_t kLastDayNumber = 109211;

// A time is hundredths of a second since midnight plus 1: 1 is 00:00:00.00,
// 8640000 is 23:59:59.99. 0 means "no time".
inline constexpr int32_t kLastTimeValue = 8640000;

struct CalendarDate {
  int year = 0;   // four digits, 1801..2099
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  bool valid = false;
};

struct TimeOfDay {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int hundredths = 0;
  bool valid = false;
};

bool IsLeapYear(int year);     // divisible by 4, except 1900
int DaysInMonth(int month, int year);

// The (year, month, day) of a day number; all zero and not valid outside
// kFirstDayNumber..kLastDayNumber.
CalendarDate DateFromDayNumber(int32_t day_number);
// The parts of a time value; all zero and not valid outside 1..kLastTimeValue.
TimeOfDay SplitTimeValue(int32_t time_value);
// hours x 360000 + minutes x 6000 + seconds x 100 + hundredths + 1.
int32_t MakeTimeValue(int hours, int minutes, int seconds, int hundredths = 0);

// The day number of (month, day, year), 0 when the date cannot be made. A
// year below 100 means 1900 + year; months above 12 roll into following
// years and days beyond the month into following months; month 0 or day 0
// make the date invalid.
int32_t DATE(int month, int day, int year);
int DAY(int32_t day_number);    // 0 for an invalid day number
int MONTH(int32_t day_number);
int YEAR(int32_t day_number);

// The current local date and time (the platform's local time zone).
int32_t TODAY();
// 0 at exactly midnight, like "no time".
int32_t CLOCK();
// The same for a given moment, read in the local time zone.
int32_t DayNumberAt(std::time_t moment);
int32_t TimeValueAt(std::time_t moment, int hundredths);

// "n DAYS" when base is fewer than 61 days after birth, else "n MOS" for
// fewer than 25 whole months, else "n YRS". A birth date after the base is
// taken 100 years earlier; when it is still after the base, or either date is
// not a valid day number, the result is 255 asterisks.
std::string AGE(int32_t birth, int32_t base);
std::string AGE(int32_t birth);  // base: TODAY()

// ---------------------------------------------------------------------------
// Locale date and time layouts (pictures @D17, @D18, @T7, @T8)
// ---------------------------------------------------------------------------

// The token kinds a layout uses; the numbers are the picture token codes, so
// the picture compiler copies a layout token for token.
enum class LayoutKind : uint8_t {
  Literal = 0,
  MonthDigit = 7,
  DayDigit = 8,
  YearDigit = 9,
  MonthLetter = 10,
  HourDigit = 11,
  MinuteDigit = 12,
  SecondDigit = 13,
  DateSeparator = 19,
  AmPm = 20,
};

// For a digit kind the character is its fill ('0' or ' '); for a separator
// or literal it is the character printed; the AmPm token carries 'A' and is
// followed by a literal 'M'.
struct LayoutToken {
  char character = ' ';
  LayoutKind kind = LayoutKind::Literal;
  bool operator==(const LayoutToken&) const = default;
};

inline constexpr int kMaxLayoutTokens = 33;

struct LocaleLayout {
  uint8_t width = 0;  // tokens in use
  std::array<LayoutToken, kMaxLayoutTokens> tokens{};
  std::span<const LayoutToken> Tokens() const { return {tokens.data(), width}; }
  // Appends a token; beyond `capacity` tokens it is dropped.
  void Add(char character, LayoutKind kind, int capacity = kMaxLayoutTokens);
};

inline constexpr int kShortDateLayoutTokens = 17;
inline constexpr int kLongDateLayoutTokens = 33;
inline constexpr int kShortTimeLayoutTokens = 13;
inline constexpr int kLongTimeLayoutTokens = 17;

// The platform's "intl" settings the layouts are built from.
struct IntlSettings {
  int time_format = 0;          // iTime: 0 12-hour clock, 1 24-hour clock
  int time_leading_zero = 1;    // iTLzero: 1 hours with a leading zero
  std::string time_separator = ":";  // sTime, one character
  std::string am_text = "AM";   // s1159
  std::string pm_text = "PM";   // s2359
  std::string short_date = "MM/dd/yy";                    // sShortDate
  std::string long_date = "ddd', 'MMMM' 'dd', 'yyyy";     // sLongDate
};

LocaleLayout BuildShortDateLayout(std::string_view short_date);
LocaleLayout BuildLongDateLayout(std::string_view long_date);
// long_form adds the seconds.
LocaleLayout BuildTimeLayout(const IntlSettings& intl, bool long_form);

// The intl settings the user's POSIX locale (LC_TIME) states: date order and
// separators, 12 or 24 hour clock, AM/PM texts. A locale that says nothing
// (C, POSIX) or cannot be loaded gives the defaults.
IntlSettings IntlFromPosixLocale();
// The same from the locale's own texts (nl_langinfo D_FMT, T_FMT, AM_STR,
// PM_STR, already in Windows-1252); a format this cannot read keeps the
// default of that item.
IntlSettings IntlFromPosixFormats(std::string_view date_format, std::string_view time_format,
                                  std::string_view am_text, std::string_view pm_text);

// ---------------------------------------------------------------------------
// LocaleTables
// ---------------------------------------------------------------------------

enum class CharacterSet : uint8_t { Ansi = 0, Oem = 1 };

// Character class flags.
inline constexpr uint8_t kUpperLetter = 1;
inline constexpr uint8_t kLowerLetter = 2;
inline constexpr uint8_t kDigit = 4;

// A character that sorts as the two characters `first` then `second`.
struct Digraph {
  char character = 0;
  char first = 0;
  char second = 0;
};
inline constexpr int kMaxDigraphs = 16;

// Button captions of the message boxes are message overrides from this
// number on (TAVBUTTON).
inline constexpr int kFirstButtonMessage = 32512;

struct LocaleTables {
  std::array<std::string, 12> long_month_names;   // up to 12 characters each
  std::array<std::string, 12> short_month_names;  // up to 3 characters each
  std::array<std::string, 2> am_pm;               // up to 2 characters each
  std::array<std::string, 2> locale_am_pm;        // s1159, s2359: for @T7, @T8
  std::array<uint8_t, 256> case_partner{};        // other-case partner, 0 if none
  std::array<uint8_t, 256> character_class{};     // kUpperLetter | kLowerLetter | kDigit
  std::array<uint8_t, 256> collation_ansi{};      // sort weight of each ANSI character
  std::array<uint8_t, 256> collation_oem{};       // sort weight of each OEM character
  std::vector<Digraph> digraphs;                  // at most kMaxDigraphs
  LocaleLayout short_date;                        // @D17
  LocaleLayout long_date;                         // @D18
  LocaleLayout short_time;                        // @T7
  LocaleLayout long_time;                         // @T8
  std::map<int, std::string> message_overrides;   // message number -> text
  CharacterSet environment_charset = CharacterSet::Ansi;

  // The tables as they are at program start.
  static LocaleTables Defaults();
};

// The process-wide tables, read by every comparison, case conversion and
// date picture.
const LocaleTables& Locale();
// Write access for start-up code and tests.
LocaleTables& MutableLocale();
// Back to the defaults, and LoadLocale may run again (tests).
void ResetLocale();

// The TAVMSG/TAVBUTTON override of a runtime message, nullopt when none. The
// view stays valid until that number is overridden again or the tables reset.
std::optional<std::string_view> MessageOverride(int code);

// ---------------------------------------------------------------------------
// Case, comparison and sort keys
// ---------------------------------------------------------------------------

char ToUpper(char c);  // a lower-case letter becomes its partner
char ToLower(char c);  // an upper-case letter becomes its partner
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
void ToUpperInPlace(std::span<char> text);
void ToLowerInPlace(std::span<char> text);
bool IsUpper(char c);         // flagged upper-case
bool IsAlphanumeric(char c);  // any class flag
bool IsLetter(char c);        // has a case partner

uint8_t CollationWeight(char c);  // through the ANSI collation table

// Compares through the collation table, digraphs expanded: the first
// differing weights decide by their difference; the end of a text sorts
// before any character. Negative, 0 or positive.
int CompareCollated(std::string_view a, std::string_view b);
// As CompareCollated after mapping both texts to upper case.
int CompareCollatedNoCase(std::string_view a, std::string_view b);
// The first n characters of each (fewer when a text is shorter) compared by
// the collation weights of their upper-case forms; no digraph expansion.
int CompareNoCase(std::string_view a, std::string_view b, std::size_t n);

// Every character replaced by its ANSI collation weight, digraphs expanded.
std::string SortKeyAnsi(std::string_view text);
// Digraphs expanded, converted to the OEM set, every character replaced by
// its OEM collation weight.
std::string SortKeyOem(std::string_view text);
// The sort key of `text` padded with NULs to out.size() characters,
// upper-cased first when asked, cut at out.size(): what SortKeyAnsi (or
// SortKeyOem) of the padded, upper-cased text gives, resized to out.size(),
// without building the intermediate texts.
void SortKeyInto(std::span<char> out, std::string_view text, bool upper, bool oem);

// ---------------------------------------------------------------------------
// Character sets
// ---------------------------------------------------------------------------

// Windows-1252 <-> code page 437. A character the other set lacks becomes its
// closest plain form (an accented letter its base letter) or '?'.
char AnsiToOem(char c);
char OemToAnsi(char c);
std::string AnsiToOem(std::string_view text);
std::string OemToAnsi(std::string_view text);

// Windows-1252 <-> UTF-8, for the platform boundary. A code point that
// Windows-1252 lacks, or malformed UTF-8, becomes '?'.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);
// The Unicode code point of a Windows-1252 character (0xFFFD for the five
// unassigned bytes).
char32_t AnsiToUnicode(char c);

// ---------------------------------------------------------------------------
// Start-up and the environment file
// ---------------------------------------------------------------------------

// Applies one setting (TAVCHARSET, TAVCOLSEQ, TAVCASE, TAVMONTH, TAVMON,
// TAVAMPM, TAVDIGRAPH, TAVBUTTON, TAVMSG<number>); names compare
// case-insensitively; unknown names change nothing.
void ApplySetting(std::string_view name, std::string_view value);

// Applies an environment file. "WINDOWS" (any case) instead applies the
// platform's collation, case and AM/PM settings. Returns 0, or 2 (File Not
// Found) when the file cannot be opened, in which case nothing changes; the
// caller posts the error.
int LoadEnvironmentFile(std::string_view file_name);
// Applies the text of an environment file, as read from disk.
void ApplyEnvironmentText(std::string_view text);

// The environment file of a program: its path with the extension ".ENV".
std::string EnvironmentFilePath(std::string_view program_path);

// Once per process (later calls return 0 and do nothing): the intl settings
// from the user's POSIX locale, the layouts built from them, the ANSI
// collation copied into the OEM one, then the environment file beside the
// program. Returns what LoadEnvironmentFile returned (2 when there is none).
int LoadLocale();
// The same with the intl settings and program path given (tests, tools).
int LoadLocale(const IntlSettings& intl, std::string_view program_path);

}  // namespace tavero
