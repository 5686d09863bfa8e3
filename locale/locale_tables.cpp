// The process-wide LocaleTables and their defaults.
//
// What holds of the tables at every moment (every writer keeps it):
//  (1) long month names have at most 12 characters, short ones at most 3,
//      the AM/PM and locale AM/PM texts at most 2;
//  (2) at most kMaxDigraphs digraphs;
//  (3) a layout's width never passes its capacity (17, 33, 13, 17 tokens);
//  (4) case partners come in pairs: when c is flagged upper-case with
//      partner p, p is flagged lower-case with partner c (and the reverse);
//  (5) LoadLocale has run at most once since program start or ResetLocale.
// States: defaults --LoadLocale--> loaded; ApplySetting and
// LoadEnvironmentFile change the tables in either state; ResetLocale goes
// back to the defaults.
#include <utility>

#include "locale/locale.h"
#include "locale/locale_internal.h"

namespace tavero {
namespace {

constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};

// The one piece of process-wide locale state, with the flag that keeps
// LoadLocale to one run.
struct LocaleState {
  LocaleTables tables = LocaleTables::Defaults();
  bool loaded = false;
};

LocaleState& State() {
  static LocaleState state;
  return state;
}

}  // namespace

void LocaleLayout::Add(char character, LayoutKind kind, int capacity) {
  if (width >= capacity || width >= kMaxLayoutTokens) return;
  tokens[width++] = {character, kind};
}

void SetDefaultCaseTables(LocaleTables& tables) {
  tables.case_partner.fill(0);
  tables.character_class.fill(0);
  for (int c = 'A'; c <= 'Z'; ++c) {
    tables.case_partner[c] = static_cast<uint8_t>(c + 32);
    tables.case_partner[c + 32] = static_cast<uint8_t>(c);
    tables.character_class[c] = kUpperLetter;
    tables.character_class[c + 32] = kLowerLetter;
  }
  for (int c = '0'; c <= '9'; ++c) tables.character_class[c] = kDigit;
}

void SetIdentity(std::array<uint8_t, 256>& table) {
  for (int c = 0; c < 256; ++c) table[c] = static_cast<uint8_t>(c);
}

void ApplyIntl(LocaleTables& tables, const IntlSettings& intl) {
  tables.locale_am_pm = {intl.am_text.substr(0, 2), intl.pm_text.substr(0, 2)};
  tables.short_time = BuildTimeLayout(intl, false);
  tables.long_time = BuildTimeLayout(intl, true);
  tables.short_date = BuildShortDateLayout(intl.short_date);
  tables.long_date = BuildLongDateLayout(intl.long_date);
}

LocaleTables LocaleTables::Defaults() {
  LocaleTables tables;
  for (int m = 0; m < 12; ++m) {
    tables.long_month_names[m] = kMonthNames[m];
    tables.short_month_names[m] = std::string(kMonthNames[m], 3);
  }
  tables.am_pm = {"AM", "PM"};
  SetDefaultCaseTables(tables);
  SetIdentity(tables.collation_ansi);
  SetIdentity(tables.collation_oem);
  ApplyIntl(tables, IntlSettings{});
  return tables;
}

const LocaleTables& Locale() { return State().tables; }
LocaleTables& MutableLocale() { return State().tables; }

void ResetLocale() { State() = LocaleState{}; }

bool MarkLocaleLoaded() { return !std::exchange(State().loaded, true); }

std::optional<std::string_view> MessageOverride(int code) {
  const auto& overrides = Locale().message_overrides;
  const auto found = overrides.find(code);
  if (found == overrides.end()) return std::nullopt;
  return std::string_view(found->second);
}

}  // namespace tavero
