// DigitString: a number as the formatter sees it. Internal to pictures/.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "decimal/decimal.h"

namespace tavero::pictures {

// The significant decimal digits of a value (no sign, no point, no leading
// or trailing zeros), `exponent` the number of digits before the decimal
// point (0 or negative below 1), and the sign. Zero has no digits.
struct DigitString {
  std::array<char, 72> digits{};
  int count = 0;
  int exponent = 0;
  bool negative = false;
  bool overflow = false;  // not a finite number: prints as '#'

  bool zero() const { return count == 0; }

  static DigitString FromLong(std::int64_t value);
  static DigitString FromReal(double value);  // 14 significant digits
  static DigitString FromDecimal(const decimal::DecimalAccumulator& value);
};

// The plain text of a real for @S and @K pictures: up to 14 significant
// digits, without trailing zeros.
std::string RealText(double value);

}  // namespace tavero::pictures
