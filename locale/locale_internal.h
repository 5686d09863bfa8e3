// Internals of the locale module shared between its files; not included
// from outside locale/.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "locale/locale.h"

namespace tavero {

// A-Z and a-z paired, 0-9 flagged as digits, everything else cleared.
void SetDefaultCaseTables(LocaleTables& tables);
void SetIdentity(std::array<uint8_t, 256>& table);
// The locale AM/PM texts and the four layouts from intl settings.
void ApplyIntl(LocaleTables& tables, const IntlSettings& intl);
// True the first time only: LoadLocale runs once per process.
bool MarkLocaleLoaded();

// A setting's value as its list of items. A value that starts with '"' is a
// list of double-quoted items ("" inside an item is one quote); otherwise,
// when `split_commas`, every ',' separates items, else the value is one item.
std::vector<std::string> SettingItems(std::string_view value, bool split_commas);

// The platform's own case pairs and ordering of the Windows-1252 characters.
// Upper-case letters paired with their lower-case forms, in code order.
void WindowsCasePairs(std::string& upper, std::string& lower);
// The characters 1..254 in the order the platform's collation puts them.
std::string WindowsCollationOrder();

// The user's locale for a category: LC_ALL, else the category's variable
// (e.g. "LC_TIME"), else LANG; empty when none is set.
std::string UserLocaleName(const char* category_variable);

bool EqualsNoCase(std::string_view a, std::string_view b);  // ASCII letters only

}  // namespace tavero
