// The DECIMAL and PDECIMAL storage forms (layout in decimal.h).
#include <algorithm>

#include "decimal/decimal.h"

namespace tavero::decimal {
namespace {

constexpr int kUnits = DecimalAccumulator::kUnits;

// Nibble q of a field: byte q / 2, high nibble first.
int NibbleAt(std::span<const std::uint8_t> field, int q) {
  const std::uint8_t byte = field[static_cast<std::size_t>(q / 2)];
  return q % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

void SetNibble(std::span<std::uint8_t> field, int q, int value) {
  std::uint8_t& byte = field[static_cast<std::size_t>(q / 2)];
  byte = q % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | (value << 4))
                    : static_cast<std::uint8_t>((byte & 0xF0) | value);
}

// The nibble position of digit k (0 = most significant) in each form.
int DigitNibble(PackedForm form, int k) { return form == PackedForm::kDecimal ? k + 1 : k; }

}  // namespace

DecimalAccumulator ReadPacked(PackedForm form, std::span<const std::uint8_t> field, int places) {
  DecimalAccumulator a;
  ReadPacked(form, field, places, a);
  return a;
}

// Digits outside the range in use are left as they were (invariant 1 lets
// them hold anything).
void ReadPacked(PackedForm form, std::span<const std::uint8_t> field, int places, DecimalAccumulator& a) {
  a.negative = 0;
  a.low = a.high = kUnits;
  a.digits[kUnits] = 0;
  if (field.empty()) return;
  const int count = static_cast<int>(field.size()) * 2 - 1;
  const int first_nibble = DigitNibble(form, 0);
  // Digit k (0 = most significant) lands at index top - k; only the digits
  // inside the 64-digit window are read.
  const int top = kUnits - places + count - 1;
  const int k_begin = std::max(0, top - 63);
  const int k_end = std::min(count, top + 1);  // exclusive
  if (k_begin >= k_end) return;
  for (int k = k_begin; k < k_end; ++k) {
    const int q = first_nibble + k;
    const std::uint8_t byte = field[static_cast<std::size_t>(q >> 1)];
    const int nibble = (q & 1) == 0 ? byte >> 4 : byte & 0x0F;
    a.digits[static_cast<std::size_t>(top - k)] = static_cast<std::uint8_t>(nibble > 9 ? 9 : nibble);
  }
  a.low = static_cast<std::uint8_t>(top - (k_end - 1));
  a.high = static_cast<std::uint8_t>(top - k_begin);
  if (form == PackedForm::kDecimal) {
    a.negative = NibbleAt(field, 0) != 0;
  } else {
    a.negative = NibbleAt(field, count) == 0xD;
  }
  a.Normalise();
}

void WritePacked(PackedForm form, const DecimalAccumulator& unrounded, std::span<std::uint8_t> field,
                 int places) {
  if (field.empty()) return;
  DecimalAccumulator rounded;
  const bool needs_rounding = places < kUnits && unrounded.low < kUnits - std::max(places, 0);
  if (needs_rounding) {
    rounded = unrounded;
    rounded.RoundToPlaces(places);
  }
  const DecimalAccumulator& value = needs_rounding ? rounded : unrounded;
  const int count = static_cast<int>(field.size()) * 2 - 1;
  for (int k = 0; k < count; ++k) {
    const int index = kUnits - places + (count - 1 - k);
    const int digit = index >= 0 && index <= 63 ? value.DigitAt(index) : 0;
    SetNibble(field, DigitNibble(form, k), digit);
  }
  if (form == PackedForm::kDecimal) {
    SetNibble(field, 0, value.negative ? 0xF : 0);
  } else {
    SetNibble(field, count, value.negative ? 0xD : 0xF);
  }
}

bool FitsDecimalField(DecimalAccumulator value, int size, int places) {
  if (size <= 0) return value.IsZero();
  value.RoundToPlaces(places);
  return value.IntegerDigits() <= std::max(0, size * 2 - 1 - places);
}


bool TextFitsDecimalField(std::string_view text, int size, int places) {
  std::size_t pos = !text.empty() && text[0] == '-' ? 1 : 0;
  while (pos < text.size() && text[pos] == '0') ++pos;  // leading zeros are not digits that count
  std::size_t integer_digits = 0;
  while (pos + integer_digits < text.size() && text[pos + integer_digits] >= '0' && text[pos + integer_digits] <= '9') {
    ++integer_digits;
  }
  if (integer_digits > 32) return false;
  return FitsDecimalField(DecimalAccumulator::FromText(text), size, places);
}

}  // namespace tavero::decimal
