// Decimal arithmetic for money and quantities: the DecimalAccumulator, the
// process-wide DecimalStack, and the two packed storage forms of fields.
//
// Nothing here reports an error: division by zero gives 0, digits below
// 10^-32 of a product are truncated, and storing a value with more integer
// digits than its field holds keeps only the low-order digits (ask
// FitsDecimalField first when that must not happen).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavero::decimal {

// A 64-digit working number, laid out as the runtime keeps it (67 bytes):
//   digits[0..63]  one digit 0..9 per byte; index 32 is the units digit,
//                  33 the tens ... 63 is 10^31; 31 is the tenths ... 0 is 10^-32
//   negative       0 positive, 1 negative
//   low, high      lowest and highest index in use; digits outside are not
//                  significant
// Invariants (kept by every operation):
//   (1) 0 <= low <= high <= 63 and digits[low..high] are 0..9;
//   (2) a normalised number has non-zero digits at both `low` and `high`;
//       zero is digits[32] = 0, low = high = 32, positive. Every operation
//       leaves its result normalised.
struct DecimalAccumulator {
  std::array<std::uint8_t, 64> digits{};
  std::uint8_t negative = 0;
  std::uint8_t low = 32;
  std::uint8_t high = 32;

  static constexpr int kUnits = 32;  // index of the units digit

  bool IsZero() const;
  // Trims zero digits at both ends (invariant 2); zero becomes positive.
  void Normalise();
  // Rounds half away from zero to `places` fraction digits (0..32).
  void RoundToPlaces(int places);
  // Number of integer digits, 0 when the value is below 1 (after Normalise).
  int IntegerDigits() const;
  // The digit at `index`, 0 outside the range in use.
  int DigitAt(int index) const { return index >= low && index <= high ? digits[index] : 0; }

  static DecimalAccumulator FromInt64(std::int64_t value);
  // Numeric text: optional leading '-', digits, optional '.' and fraction
  // digits. Reading stops at the first character that does not fit that
  // form; more than 32 integer digits keep the low 32, fraction digits past
  // 32 are dropped.
  static DecimalAccumulator FromText(std::string_view text);
  // Checks that `text` is wholly a numeric text as FromText reads it.
  static bool IsNumericText(std::string_view text);

  // The exact value: '-' when negative, the integer digits ('0' when none),
  // then '.' and the fraction digits without trailing zeros when any is
  // non-zero.
  std::string ToText() const;
  // The value with exactly `places` fraction digits (no '.' for 0), already
  // rounded by the caller; '-' only when negative and not zero.
  std::string ToFixedText(int places) const;
  // The integer part, truncated toward zero; digits beyond 18 are lost.
  std::int64_t ToInt64() const;
  // Closest double; used where the runtime converts to binary floating point.
  double ToDouble() const;
};

static_assert(sizeof(DecimalAccumulator) == 67, "DecimalAccumulator is the 67-byte entry");

// Arithmetic on accumulators; the stack operations below are built on these.
DecimalAccumulator Add(const DecimalAccumulator& a, const DecimalAccumulator& b);
DecimalAccumulator Subtract(const DecimalAccumulator& a, const DecimalAccumulator& b);  // a - b
DecimalAccumulator Multiply(const DecimalAccumulator& a, const DecimalAccumulator& b);
DecimalAccumulator Divide(const DecimalAccumulator& a, const DecimalAccumulator& b);  // a / b
int Compare(const DecimalAccumulator& a, const DecimalAccumulator& b);  // -1, 0, 1

// Packed storage forms of a field of `field.size()` bytes with `places`
// fraction digits; both hold 2 * size - 1 digits, most significant first.
//   DECIMAL:  the high nibble of byte 0 is the sign (0 positive, any other
//             value negative; 0xF is written for negative), then the digits.
//   PDECIMAL: the digits, then the low nibble of the last byte is the sign
//             (0xD negative; 0xF written for positive, any other reads as
//             positive).
// Nibbles above 9 in a damaged field read as 9.
enum class PackedForm { kDecimal, kPDecimal };

DecimalAccumulator ReadPacked(PackedForm form, std::span<const std::uint8_t> field, int places);
// The same into an existing accumulator (a stack entry).
void ReadPacked(PackedForm form, std::span<const std::uint8_t> field, int places,
                DecimalAccumulator& out);
// Rounds to `places` and writes the digits that fit; high-order digits that
// do not fit are lost without an error.
void WritePacked(PackedForm form, const DecimalAccumulator& value, std::span<std::uint8_t> field,
                 int places);
// True when `value`, rounded to `places`, keeps every integer digit in a
// packed field of `size` bytes with `places` fraction digits, so storing it
// changes nothing but the rounding.
bool FitsDecimalField(DecimalAccumulator value, int size, int places);
// The same for a numeric text (as typed into a form) before it is pushed:
// also false when the text has more integer digits than an accumulator
// holds, which pushing would silently cut.
bool TextFitsDecimalField(std::string_view text, int size, int places);

// The process-wide stack of 256 accumulators, addressed modulo 256 by a
// one-byte depth: there is no overflow check, so a 257th push reuses the
// oldest entry, and a pop of an empty stack reads entry 255. Binary
// operations pop the top (second operand) and the one below it (first) and
// push the result.
class DecimalStack {
 public:
  void Push(const DecimalAccumulator& value) { entries_[depth_++] = value; }
  DecimalAccumulator Pop() { return entries_[--depth_]; }
  const DecimalAccumulator& Top() const {
    return entries_[static_cast<std::uint8_t>(depth_ - 1)];
  }
  std::uint8_t depth() const { return depth_; }

  void PushDecimal(std::span<const std::uint8_t> field, int places) {
    ReadPacked(PackedForm::kDecimal, field, places, entries_[depth_++]);
  }
  void PushPDecimal(std::span<const std::uint8_t> field, int places) {
    ReadPacked(PackedForm::kPDecimal, field, places, entries_[depth_++]);
  }
  void PushInt32(std::int32_t value) { Push(DecimalAccumulator::FromInt64(value)); }
  void PushUInt32(std::uint32_t value) { Push(DecimalAccumulator::FromInt64(value)); }
  void PushText(std::string_view text) { Push(DecimalAccumulator::FromText(text)); }

  void PopDecimal(std::span<std::uint8_t> field, int places) {
    WritePacked(PackedForm::kDecimal, entries_[--depth_], field, places);
  }
  void PopPDecimal(std::span<std::uint8_t> field, int places) {
    WritePacked(PackedForm::kPDecimal, entries_[--depth_], field, places);
  }
  // Drops the fraction (toward zero); keeps the low 32 bits of larger values.
  std::int32_t PopInt32() { return static_cast<std::int32_t>(Pop().ToInt64()); }

  void Add();              // second + top
  void Subtract();         // second - top
  void ReverseSubtract();  // top - second
  void Multiply();
  void Divide();           // second / top
  int Compare();           // second against top: -1, 0, 1; pops both
  bool TestZero();         // whether the top is zero; pops it
  void Absolute();         // clears the sign of the top
  void Negate();           // inverts the sign of the top (zero stays positive)
  // Whether the top, rounded to `places`, fits a packed field of `size`
  // bytes; leaves the stack as it is.
  bool TopFits(int size, int places) const { return FitsDecimalField(Top(), size, places); }

 private:
  std::array<DecimalAccumulator, 256> entries_{};
  std::uint8_t depth_ = 0;
};

// The runtime's one stack; used by one thread at a time.
DecimalStack& ProcessDecimalStack();

}  // namespace tavero::decimal
