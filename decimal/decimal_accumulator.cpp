// The DecimalAccumulator: normal form, rounding, conversions to and from text.
#include <cassert>
#include <cstdlib>

#include "decimal/decimal.h"

namespace tavero::decimal {

bool DecimalAccumulator::IsZero() const {
  for (int i = low; i <= high; ++i) {
    if (digits[i] != 0) return false;
  }
  return true;
}

void DecimalAccumulator::Normalise() {
  int h = high;
  int l = low;
  while (h >= l && digits[h] == 0) --h;
  if (h < l) {  // invariant (2): zero is one positive 0 at the units
    digits[kUnits] = 0;
    low = high = kUnits;
    negative = 0;
    return;
  }
  while (digits[l] == 0) ++l;
  low = static_cast<std::uint8_t>(l);
  high = static_cast<std::uint8_t>(h);
}

void DecimalAccumulator::RoundToPlaces(int places) {
  if (places >= kUnits) return;
  if (places < 0) places = 0;
  const int target = kUnits - places;  // the new lowest index
  if (low >= target) return;
  const bool round_up = target - 1 <= high && digits[target - 1] >= 5;
  if (high < target) {
    // Every digit lies below the new lowest position.
    digits[target] = round_up ? 1 : 0;
    low = high = static_cast<std::uint8_t>(target);
    Normalise();
    return;
  }
  low = static_cast<std::uint8_t>(target);
  if (round_up) {
    int i = target;
    while (i <= high && digits[i] == 9) digits[i++] = 0;
    if (i <= high) {
      ++digits[i];
    } else if (high < 63) {  // a carry out of the highest digit adds a digit 1
      high = static_cast<std::uint8_t>(high + 1);
      digits[high] = 1;
    }
  }
  Normalise();
}

int DecimalAccumulator::IntegerDigits() const {
  if (IsZero() || high < kUnits) return 0;
  return high - kUnits + 1;
}

DecimalAccumulator DecimalAccumulator::FromInt64(std::int64_t value) {
  DecimalAccumulator a;
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  a.negative = value < 0 ? 1 : 0;
  int i = kUnits;
  do {
    a.digits[i] = static_cast<std::uint8_t>(magnitude % 10);
    magnitude /= 10;
    ++i;
  } while (magnitude != 0);
  a.low = kUnits;
  a.high = static_cast<std::uint8_t>(i - 1);
  a.Normalise();
  return a;
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

DecimalAccumulator DecimalAccumulator::FromText(std::string_view text) {
  DecimalAccumulator a;
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == '-') {
    a.negative = 1;
    ++pos;
  }
  const std::size_t int_begin = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  const std::size_t int_end = pos;
  // The low 32 integer digits, units at index 32.
  std::size_t first = int_end - int_begin > 32 ? int_end - 32 : int_begin;
  int index = kUnits;
  for (std::size_t p = int_end; p > first; --p) a.digits[index++] = text[p - 1] - '0';
  a.high = static_cast<std::uint8_t>(index > kUnits ? index - 1 : kUnits);
  a.low = kUnits;
  if (index == kUnits) a.digits[kUnits] = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    index = kUnits - 1;
    while (pos < text.size() && IsDigit(text[pos])) {
      if (index >= 0) a.digits[index--] = text[pos] - '0';
      ++pos;
    }
    a.low = static_cast<std::uint8_t>(index + 1);
  }
  a.Normalise();
  return a;
}

bool DecimalAccumulator::IsNumericText(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == '-') ++pos;
  std::size_t digits = 0;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  }
  return digits > 0 && pos == text.size();
}

namespace {
// '-' when negative and not zero, then the integer digits ('0' when none).
std::string SignAndInteger(const DecimalAccumulator& a) {
  std::string out;
  if (a.negative && !a.IsZero()) out += '-';
  if (a.high < DecimalAccumulator::kUnits) return out + '0';
  for (int i = a.high; i >= DecimalAccumulator::kUnits; --i) out += static_cast<char>('0' + a.DigitAt(i));
  return out;
}
}  // namespace

std::string DecimalAccumulator::ToText() const {
  std::string out = SignAndInteger(*this);
  int last_nonzero = kUnits;
  for (int i = low; i < kUnits; ++i) {
    if (DigitAt(i) != 0) {
      last_nonzero = i;
      break;
    }
  }
  if (last_nonzero < kUnits) {
    out += '.';
    for (int i = kUnits - 1; i >= last_nonzero; --i) out += static_cast<char>('0' + DigitAt(i));
  }
  return out;
}

std::string DecimalAccumulator::ToFixedText(int places) const {
  std::string out = SignAndInteger(*this);
  if (places > 0) {
    out += '.';
    for (int i = kUnits - 1; i >= kUnits - places; --i) {
      out += static_cast<char>(i >= 0 ? '0' + DigitAt(i) : '0');
    }
  }
  return out;
}

std::int64_t DecimalAccumulator::ToInt64() const {
  std::uint64_t magnitude = 0;
  for (int i = high; i >= kUnits; --i) magnitude = magnitude * 10 + DigitAt(i);
  return negative ? static_cast<std::int64_t>(~magnitude + 1) : static_cast<std::int64_t>(magnitude);
}

double DecimalAccumulator::ToDouble() const { return std::strtod(ToText().c_str(), nullptr); }

}  // namespace tavero::decimal
