#include "app/thumb_table.h"

#include <algorithm>
#include <cstdint>

namespace zephcol {
namespace {

constexpr int kLetters = 26;          // the alphabet: "A" to "Z"
constexpr int kBase = kLetters + 1;   // digit 0 is "not a letter"
constexpr int kDigits = 4;
constexpr std::int64_t kLargest = kBase * kBase * kBase * kBase - 1;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

int DigitOf(char c) {
  c = Upper(c);
  return c >= 'A' && c <= 'Z' ? c - 'A' + 1 : 0;
}

// The four characters of `text` from `at`, read in base 27; a character
// past the end counts as digit 0.
std::int64_t NumberAt(std::string_view text, std::size_t at) {
  std::int64_t number = 0;
  for (std::size_t i = 0; i < kDigits; ++i) {
    const std::size_t place = at + i;
    number = number * kBase + (place < text.size() ? DigitOf(text[place]) : 0);
  }
  return number;
}

// `number` (0 to kLargest) written back as four characters, digit 0 a blank.
std::string CharactersOf(std::int64_t number) {
  number = std::clamp<std::int64_t>(number, 0, kLargest);
  std::string text(kDigits, ' ');
  for (int i = kDigits - 1; i >= 0; --i) {
    const int digit = static_cast<int>(number % kBase);
    text[static_cast<std::size_t>(i)] = digit == 0 ? ' ' : static_cast<char>('A' + digit - 1);
    number /= kBase;
  }
  return text;
}

// Up to four characters of `text` from `at`, upper-cased.
std::string UpperAt(std::string_view text, std::size_t at) {
  std::string part;
  for (std::size_t i = at; i < text.size() && i < at + kDigits; ++i) part += Upper(text[i]);
  return part;
}

// <0, 0, >0 as a is below, equal to or above b, upper-cased, trailing blanks ignored.
int CompareUpper(std::string_view a, std::string_view b) {
  a = TrimRight(a);
  b = TrimRight(b);
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(Upper(a[i]));
    const auto y = static_cast<unsigned char>(Upper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

ThumbTable ThumbTable::Numbers(double low, double high) {
  ThumbTable table;
  table.empty_ = false;
  table.numeric_ = true;
  for (int i = 0; i < kEntries; ++i) table.numbers_[i] = low + (high - low) / 99.0 * i;
  table.numbers_[0] = low;
  table.numbers_[kEntries - 1] = high;
  return table;
}

ThumbTable ThumbTable::Texts(std::string_view low, std::string_view high, std::size_t width) {
  ThumbTable table;
  table.empty_ = false;
  table.numeric_ = false;
  low = TrimRight(low.substr(0, std::min(low.size(), width)));
  std::string high_text(TrimRight(high.substr(0, std::min(high.size(), width))));
  if (high_text.size() < width) high_text.append(width - high_text.size(), 'Z');

  std::size_t prefix = 0;
  while (prefix < low.size() && prefix < high_text.size() && Upper(low[prefix]) == Upper(high_text[prefix])) {
    ++prefix;
  }
  const std::string start(low.substr(0, prefix));
  const std::int64_t low_number = NumberAt(low, prefix);
  const std::int64_t high_number = NumberAt(high_text, prefix);
  const std::int64_t step = std::max<std::int64_t>(0, (high_number - low_number) / 99);
  for (int i = 0; i < kEntries; ++i) table.texts_[i] = start + CharactersOf(low_number + step * i);
  table.texts_[0] = start + UpperAt(low, prefix);
  table.texts_[kEntries - 1] = start + UpperAt(high_text, prefix);
  return table;
}

double ThumbTable::Number(int i) const { return i >= 1 && i <= kEntries ? numbers_[i - 1] : 0.0; }

const std::string& ThumbTable::Text(int i) const {
  static const std::string kNone;
  return i >= 1 && i <= kEntries ? texts_[i - 1] : kNone;
}

int ThumbTable::PositionOf(double value) const {
  if (empty_) return 0;
  for (int i = 1; i <= kEntries; ++i) {
    if (numbers_[i - 1] >= value) return i == 1 ? 0 : i;
  }
  return kEntries;
}

int ThumbTable::PositionOf(std::string_view value) const {
  if (empty_) return 0;
  for (int i = 1; i <= kEntries; ++i) {
    if (CompareUpper(texts_[i - 1], value) >= 0) return i == 1 ? 0 : i;
  }
  return kEntries;
}

}  // namespace zephcol
