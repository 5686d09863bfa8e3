#include "pictures/digit_string.h"

#include <charconv>
#include <cmath>

namespace tavero::pictures {
namespace {

void TrimTrailingZeros(DigitString& d) {
  while (d.count > 0 && d.digits[static_cast<std::size_t>(d.count - 1)] == '0') --d.count;
  if (d.count == 0) {
    d.exponent = 0;
    d.negative = false;
  }
}

}  // namespace

DigitString DigitString::FromLong(std::int64_t value) {
  DigitString d;
  d.negative = value < 0;
  std::uint64_t magnitude = d.negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  char reversed[24];
  int n = 0;
  while (magnitude != 0) {
    reversed[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  for (int i = 0; i < n; ++i) d.digits[static_cast<std::size_t>(i)] = reversed[n - 1 - i];
  d.count = n;
  d.exponent = n;
  TrimTrailingZeros(d);
  return d;
}

DigitString DigitString::FromReal(double value) {
  DigitString d;
  if (!std::isfinite(value)) {
    d.overflow = true;
    d.negative = value < 0;
    return d;
  }
  if (value == 0) return d;
  // d.ddddddddddddde+XX: 14 significant digits.
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 13);
  const char* p = text;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; p < result.ptr && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') d.digits[static_cast<std::size_t>(d.count++)] = *p;
  }
  int exponent = 0;
  std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), result.ptr, exponent);
  d.exponent = exponent + 1;
  TrimTrailingZeros(d);
  return d;
}

DigitString DigitString::FromDecimal(const decimal::DecimalAccumulator& value) {
  DigitString d;
  decimal::DecimalAccumulator v = value;
  v.Normalise();
  if (v.IsZero()) return d;
  d.negative = v.negative != 0;
  for (int i = v.high; i >= v.low; --i) d.digits[static_cast<std::size_t>(d.count++)] = static_cast<char>('0' + v.digits[i]);
  d.exponent = v.high - decimal::DecimalAccumulator::kUnits + 1;
  TrimTrailingZeros(d);
  return d;
}

std::string RealText(double value) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 14);
  return std::string(text, result.ptr);
}

}  // namespace tavero::pictures
