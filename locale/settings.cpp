// Environment settings: ApplySetting and the values it builds the tables
// from.
#include <locale.h>
#include <wchar.h>

#include <algorithm>
#include <charconv>
#include <numeric>
#include <string>

#include "locale/locale.h"
#include "locale/locale_internal.h"

namespace tavero {
namespace {

uint8_t Byte(char c) { return static_cast<uint8_t>(c); }

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// A collation table from a list of characters in the desired order (see
// TAVCOLSEQ): duplicates dropped, first occurrence kept. A list of exactly
// 222 characters orders the printable range: its first 95 characters get the
// weights 32..126, the next 127 the weights 128..254. Any other list reorders
// its characters among their own codes: the k-th listed character gets the
// k-th smallest code of the list. Unlisted characters weigh their own code.
std::array<uint8_t, 256> CollationFromList(std::string_view list) {
  std::string unique;
  std::array<bool, 256> seen{};
  for (char c : list) {
    if (!seen[Byte(c)]) {
      seen[Byte(c)] = true;
      unique += c;
    }
  }
  std::array<uint8_t, 256> table{};
  SetIdentity(table);
  if (unique.size() == 222) {
    for (std::size_t k = 0; k < unique.size(); ++k) {
      table[Byte(unique[k])] = static_cast<uint8_t>(k < 95 ? 32 + k : 128 + (k - 95));
    }
    return table;
  }
  std::string codes = unique;
  std::sort(codes.begin(), codes.end(), [](char a, char b) { return Byte(a) < Byte(b); });
  for (std::size_t k = 0; k < unique.size(); ++k) table[Byte(unique[k])] = Byte(codes[k]);
  return table;
}

void ApplyCollation(LocaleTables& tables, std::string_view value) {
  const std::vector<std::string> items = SettingItems(value, false);
  const std::string list = std::accumulate(items.begin(), items.end(), std::string());
  if (list.empty()) {
    SetIdentity(tables.collation_ansi);
    SetIdentity(tables.collation_oem);
  } else if (EqualsNoCase(list, "WINDOWS")) {
    const std::string order = WindowsCollationOrder();
    tables.collation_ansi = CollationFromList(order);
    tables.collation_oem = CollationFromList(AnsiToOem(order));
  } else if (tables.environment_charset == CharacterSet::Oem) {
    tables.collation_oem = CollationFromList(list);
    tables.collation_ansi = CollationFromList(OemToAnsi(list));
  } else {
    tables.collation_ansi = CollationFromList(list);
    tables.collation_oem = CollationFromList(AnsiToOem(list));
  }
}

// Two items, the upper-case letters and their lower-case partners; only
// pairs of characters 128 and above change the tables.
void ApplyCase(LocaleTables& tables, std::string_view value) {
  if (value.empty()) {
    SetDefaultCaseTables(tables);
    return;
  }
  const std::vector<std::string> items = SettingItems(value, true);
  std::string upper = items.empty() ? std::string() : items[0];
  std::string lower = items.size() > 1 ? items[1] : std::string();
  if (EqualsNoCase(upper, "WINDOWS") || upper.size() != lower.size() || upper.empty()) {
    WindowsCasePairs(upper, lower);
  }
  for (int c = 128; c < 256; ++c) {
    tables.case_partner[c] = 0;
    tables.character_class[c] = 0;
  }
  for (std::size_t k = 0; k < upper.size(); ++k) {
    const uint8_t u = Byte(upper[k]);
    const uint8_t l = Byte(lower[k]);
    if (u < 128 || l < 128) continue;
    tables.case_partner[u] = l;
    tables.case_partner[l] = u;
    tables.character_class[u] = kUpperLetter;
    tables.character_class[l] = kLowerLetter;
  }
}

// Up to 12 month names, each cut to `length`; an empty item ends the list.
void ApplyMonthNames(std::array<std::string, 12>& names, std::string_view value,
                     std::size_t length) {
  const std::vector<std::string> items = SettingItems(value, true);
  for (std::size_t k = 0; k < items.size() && k < names.size(); ++k) {
    if (items[k].empty()) break;
    names[k] = items[k].substr(0, length);
  }
}

void ApplyAmPm(LocaleTables& tables, std::string_view value) {
  const std::vector<std::string> items = SettingItems(value, true);
  if (!items.empty() && EqualsNoCase(items[0], "WINDOWS")) {
    tables.am_pm = tables.locale_am_pm;
    return;
  }
  for (std::size_t k = 0; k < items.size() && k < 2; ++k) tables.am_pm[k] = items[k].substr(0, 2);
}

// Groups of three characters 'cxy': c sorts as x then y. At most 16 groups.
void ApplyDigraphs(LocaleTables& tables, std::string_view value) {
  tables.digraphs.clear();
  for (const std::string& item : SettingItems(value, true)) {
    for (std::size_t k = 0; k + 3 <= item.size(); k += 3) {
      if (tables.digraphs.size() >= kMaxDigraphs) return;
      tables.digraphs.push_back({item[k], item[k + 1], item[k + 2]});
    }
  }
}

void ApplyButtons(LocaleTables& tables, std::string_view value) {
  const std::vector<std::string> items = SettingItems(value, true);
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (!items[k].empty()) {
      tables.message_overrides[kFirstButtonMessage + static_cast<int>(k)] = items[k];
    }
  }
}

// "TAVMSG" followed by the message number, digits only.
std::optional<int> MessageNumber(std::string_view name) {
  constexpr std::string_view kPrefix = "TAVMSG";
  if (!name.starts_with(kPrefix) || name.size() == kPrefix.size()) return std::nullopt;
  const std::string_view digits = name.substr(kPrefix.size());
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.front() == '-') {
    return std::nullopt;
  }
  return number;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

std::vector<std::string> SettingItems(std::string_view value, bool split_commas) {
  std::vector<std::string> items;
  if (value.starts_with('"')) {
    std::size_t i = 0;
    for (;;) {
      while (i < value.size() && value[i] != '"') ++i;  // text between items is ignored
      if (i >= value.size()) break;
      std::string item;
      for (++i; i < value.size(); ++i) {
        if (value[i] == '"') {
          if (i + 1 < value.size() && value[i + 1] == '"') {
            item += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        item += value[i];
      }
      items.push_back(std::move(item));
    }
    return items;
  }
  if (!split_commas) return {std::string(value)};
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = value.find(',', start);
    items.emplace_back(value.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return items;
}

void WindowsCasePairs(std::string& upper, std::string& lower) {
  upper.clear();
  lower.clear();
  auto pair = [&](int u, int l) {
    upper += static_cast<char>(u);
    lower += static_cast<char>(l);
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
  pair(0x8A, 0x9A);  // S with caron
  pair(0x8C, 0x9C);  // OE
  pair(0x8E, 0x9E);  // Z with caron
  pair(0x9F, 0xFF);  // Y with diaeresis
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) pair(c, c + 32);  // 0xD7 is the multiplication sign
  }
}

// The order of the platform's collation for the user's locale (LC_COLLATE),
// each character compared as a one-character string; characters it finds
// equal keep their code order. Without a usable locale the order is that of
// the characters' code points.
std::string WindowsCollationOrder() {
  std::string order;
  for (int c = 1; c <= 254; ++c) order += static_cast<char>(c);
  const std::string name = UserLocaleName("LC_COLLATE");
  locale_t locale = newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, name.empty() ? "C" : name.c_str(),
                              static_cast<locale_t>(nullptr));
  std::stable_sort(order.begin(), order.end(), [locale](char a, char b) {
    const wchar_t left[2] = {static_cast<wchar_t>(AnsiToUnicode(a)), 0};
    const wchar_t right[2] = {static_cast<wchar_t>(AnsiToUnicode(b)), 0};
    if (locale != static_cast<locale_t>(nullptr)) return wcscoll_l(left, right, locale) < 0;
    return left[0] < right[0];
  });
  if (locale != static_cast<locale_t>(nullptr)) freelocale(locale);
  return order;
}

void ApplySetting(std::string_view name, std::string_view value) {
  LocaleTables& tables = MutableLocale();
  const std::string key = UpperAscii(name);
  if (key == "TAVCOLSEQ") {
    ApplyCollation(tables, value);  // read in the file's own character set
    return;
  }
  const std::string text = tables.environment_charset == CharacterSet::Oem
                               ? OemToAnsi(value)
                               : std::string(value);
  if (key == "TAVCHARSET") {
    const std::vector<std::string> items = SettingItems(text, true);
    tables.environment_charset = !items.empty() && EqualsNoCase(items[0], "OEM")
                                     ? CharacterSet::Oem
                                     : CharacterSet::Ansi;
  } else if (key == "TAVCASE") {
    ApplyCase(tables, text);
  } else if (key == "TAVMONTH") {
    ApplyMonthNames(tables.long_month_names, text, 12);
  } else if (key == "TAVMON") {
    ApplyMonthNames(tables.short_month_names, text, 3);
  } else if (key == "TAVAMPM") {
    ApplyAmPm(tables, text);
  } else if (key == "TAVDIGRAPH") {
    ApplyDigraphs(tables, text);
  } else if (key == "TAVBUTTON") {
    ApplyButtons(tables, text);
  } else if (const std::optional<int> number = MessageNumber(key)) {
    const std::vector<std::string> items = SettingItems(text, false);
    tables.message_overrides[*number] = items.empty() ? std::string() : items.front();
  }
}

}  // namespace tavero
