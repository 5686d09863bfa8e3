// Case conversion, comparison through the collation tables, and sort keys.
#include <algorithm>
#include <string>

#include "locale/locale.h"

namespace tavero {
namespace {

uint8_t Byte(char c) { return static_cast<uint8_t>(c); }

const Digraph* FindDigraph(const LocaleTables& tables, char c) {
  for (const Digraph& digraph : tables.digraphs) {
    if (digraph.character == c) return &digraph;
  }
  return nullptr;
}

// Upper case through the given tables (ToUpper without the table look-up).
char UpperThrough(const LocaleTables& tables, char c) {
  const uint8_t partner = tables.case_partner[Byte(c)];
  return (tables.character_class[Byte(c)] & kLowerLetter) && partner != 0 ? static_cast<char>(partner)
                                                                          : c;
}

// The characters of a text as comparison sees them: upper-cased first when
// asked, then every digraph character replaced by its two characters.
class ExpandedText {
 public:
  ExpandedText(const LocaleTables& tables, std::string_view text, bool upper)
      : tables_(tables), text_(text), upper_(upper) {}

  // The next character, or false at the end of the text.
  bool Next(char& out) {
    if (has_pending_) {
      out = pending_;
      has_pending_ = false;
      return true;
    }
    if (position_ >= text_.size()) return false;
    char c = text_[position_++];
    if (upper_) c = UpperThrough(tables_, c);
    if (const Digraph* digraph = FindDigraph(tables_, c)) {
      out = upper_ ? UpperThrough(tables_, digraph->first) : digraph->first;
      pending_ = upper_ ? UpperThrough(tables_, digraph->second) : digraph->second;
      has_pending_ = true;
      return true;
    }
    out = c;
    return true;
  }

 private:
  const LocaleTables& tables_;
  std::string_view text_;
  bool upper_;
  std::size_t position_ = 0;
  char pending_ = 0;
  bool has_pending_ = false;
};

int Compare(std::string_view a, std::string_view b, bool upper, bool expand_digraphs) {
  const LocaleTables& tables = Locale();
  const auto& weight = tables.collation_ansi;
  if (tables.digraphs.empty() || !expand_digraphs) {
    const std::size_t common = std::min(a.size(), b.size());
    if (!upper) {
      // Equal bytes weigh the same: skip them at memory speed.
      for (std::size_t i = 0;; ++i) {
        i = static_cast<std::size_t>(
            std::mismatch(a.begin() + i, a.begin() + common, b.begin() + i).first - a.begin());
        if (i == common) break;
        const int difference = weight[Byte(a[i])] - weight[Byte(b[i])];
        if (difference != 0) return difference;
      }
      return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    for (std::size_t i = 0; i < common; ++i) {
      const char x = upper ? UpperThrough(tables, a[i]) : a[i];
      const char y = upper ? UpperThrough(tables, b[i]) : b[i];
      const int difference = weight[Byte(x)] - weight[Byte(y)];
      if (difference != 0) return difference;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }
  ExpandedText left(tables, a, upper);
  ExpandedText right(tables, b, upper);
  for (;;) {
    char x = 0;
    char y = 0;
    const bool has_x = left.Next(x);
    const bool has_y = right.Next(y);
    if (!has_x || !has_y) return has_x == has_y ? 0 : (has_x ? 1 : -1);
    const int difference = weight[Byte(x)] - weight[Byte(y)];
    if (difference != 0) return difference;
  }
}

std::string ExpandDigraphs(const LocaleTables& tables, std::string_view text) {
  if (tables.digraphs.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  ExpandedText expanded(tables, text, false);
  for (char c = 0; expanded.Next(c);) out += c;
  return out;
}

void MapThrough(std::string& text, const std::array<uint8_t, 256>& table) {
  for (char& c : text) c = static_cast<char>(table[Byte(c)]);
}

}  // namespace

char ToUpper(char c) { return UpperThrough(Locale(), c); }

char ToLower(char c) {
  const LocaleTables& tables = Locale();
  const uint8_t partner = tables.case_partner[Byte(c)];
  return (tables.character_class[Byte(c)] & kUpperLetter) && partner != 0 ? static_cast<char>(partner)
                                                                          : c;
}

void ToUpperInPlace(std::span<char> text) {
  const LocaleTables& tables = Locale();
  for (char& c : text) c = UpperThrough(tables, c);
}

void ToLowerInPlace(std::span<char> text) {
  for (char& c : text) c = ToLower(c);
}

std::string ToUpper(std::string_view text) {
  std::string out(text);
  ToUpperInPlace(out);
  return out;
}

std::string ToLower(std::string_view text) {
  std::string out(text);
  ToLowerInPlace(out);
  return out;
}

bool IsUpper(char c) { return (Locale().character_class[Byte(c)] & kUpperLetter) != 0; }
bool IsAlphanumeric(char c) { return Locale().character_class[Byte(c)] != 0; }
bool IsLetter(char c) { return Locale().case_partner[Byte(c)] != 0; }

uint8_t CollationWeight(char c) { return Locale().collation_ansi[Byte(c)]; }

int CompareCollated(std::string_view a, std::string_view b) { return Compare(a, b, false, true); }
int CompareCollatedNoCase(std::string_view a, std::string_view b) { return Compare(a, b, true, true); }

int CompareNoCase(std::string_view a, std::string_view b, std::size_t n) {
  return Compare(a.substr(0, std::min(n, a.size())), b.substr(0, std::min(n, b.size())), true,
                 false);
}

std::string SortKeyAnsi(std::string_view text) {
  const LocaleTables& tables = Locale();
  std::string key = ExpandDigraphs(tables, text);
  MapThrough(key, tables.collation_ansi);
  return key;
}

void SortKeyInto(std::span<char> out, std::string_view text, bool upper, bool oem) {
  const LocaleTables& tables = Locale();
  const auto& weight = oem ? tables.collation_oem : tables.collation_ansi;
  const std::size_t n = out.size();
  const auto at = [&](std::size_t i) {
    const char c = i < text.size() ? text[i] : '\0';
    return upper ? UpperThrough(tables, c) : c;
  };
  if (tables.digraphs.empty() && !oem) {
    // The text, then its padding: one weight.
    const std::size_t length = std::min(text.size(), n);
    if (upper) {
      for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char>(weight[Byte(UpperThrough(tables, text[i]))]);
    } else {
      for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char>(weight[Byte(text[i])]);
    }
    const char pad = upper ? UpperThrough(tables, '\0') : '\0';
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(length), out.end(), static_cast<char>(weight[Byte(pad)]));
    return;
  }
  // Digraphs expand: the key reaches its size before the padded text ends.
  std::size_t filled = 0;
  const auto put = [&](char c) {
    if (filled < n) out[filled++] = static_cast<char>(weight[Byte(oem ? AnsiToOem(c) : c)]);
  };
  for (std::size_t i = 0; filled < n; ++i) {
    const char c = at(i);
    if (const Digraph* digraph = FindDigraph(tables, c)) {
      put(digraph->first);
      put(digraph->second);
    } else {
      put(c);
    }
  }
}

std::string SortKeyOem(std::string_view text) {
  const LocaleTables& tables = Locale();
  std::string key = AnsiToOem(ExpandDigraphs(tables, text));
  MapThrough(key, tables.collation_oem);
  return key;
}

}  // namespace tavero
