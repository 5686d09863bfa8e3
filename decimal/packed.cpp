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
  if (field.empty()) return a;
  const int count = static_cast<int>(field.size()) * 2 - 1;
  int lo = 64, hi = -1;
  for (int k = 0; k < count; ++k) {
    const int index = kUnits - places + (count - 1 - k);
    if (index < 0 || index > 63) continue;
    a.digits[index] = static_cast<std::uint8_t>(std::min(NibbleAt(field, DigitNibble(form, k)), 9));
    lo = std::min(lo, index);
    hi = std::max(hi, index);
  }
  if (hi < 0) return DecimalAccumulator{};
  a.low = static_cast<std::uint8_t>(lo);
  a.high = static_cast<std::uint8_t>(hi);
  if (form == PackedForm::kDecimal) {
    a.negative = NibbleAt(field, 0) != 0;
  } else {
    a.negative = NibbleAt(field, count) == 0xD;
  }
  a.Normalise();
  return a;
}

void WritePacked(PackedForm form, DecimalAccumulator value, std::span<std::uint8_t> field,
                 int places) {
  if (field.empty()) return;
  value.RoundToPlaces(places);
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

}  // namespace tavero::decimal
