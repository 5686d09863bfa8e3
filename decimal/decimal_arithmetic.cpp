// Add, subtract, multiply, divide and compare on DecimalAccumulators.
#include <algorithm>
#include <cassert>

#include "decimal/decimal.h"

namespace tavero::decimal {
namespace {

constexpr int kUnits = DecimalAccumulator::kUnits;

// Compares magnitudes over the aligned range, highest index first.
int CompareMagnitude(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  const int lo = std::min(a.low, b.low);
  for (int i = std::max(a.high, b.high); i >= lo; --i) {
    const int d = a.DigitAt(i) - b.DigitAt(i);
    if (d != 0) return d < 0 ? -1 : 1;
  }
  return 0;
}

// Signed addition: both operands are aligned to the common range plus one
// position for a carry; unlike signs subtract with borrow and a final borrow
// turns the result into its ten's complement with the sign flipped.
DecimalAccumulator AddSigned(const DecimalAccumulator& a, const DecimalAccumulator& b,
                             bool b_negative) {
  DecimalAccumulator r;
  const int lo = std::min(a.low, b.low);
  const int hi = std::min(63, std::max<int>(a.high, b.high) + 1);
  r.low = static_cast<std::uint8_t>(lo);
  r.high = static_cast<std::uint8_t>(hi);
  r.negative = a.negative;
  if (a.negative == static_cast<std::uint8_t>(b_negative)) {
    int carry = 0;
    for (int i = lo; i <= hi; ++i) {
      int d = a.DigitAt(i) + b.DigitAt(i) + carry;
      carry = d >= 10;
      r.digits[i] = static_cast<std::uint8_t>(carry ? d - 10 : d);
    }
  } else {
    int borrow = 0;
    for (int i = lo; i <= hi; ++i) {
      int d = a.DigitAt(i) - b.DigitAt(i) - borrow;
      borrow = d < 0;
      r.digits[i] = static_cast<std::uint8_t>(borrow ? d + 10 : d);
    }
    if (borrow) {
      borrow = 0;
      for (int i = lo; i <= hi; ++i) {
        int d = -r.digits[i] - borrow;
        borrow = d < 0;
        r.digits[i] = static_cast<std::uint8_t>(borrow ? d + 10 : d);
      }
      r.negative ^= 1;
    }
  }
  r.Normalise();
  return r;
}

// Writes the digits of `chunk` (at most `count` of them, low first) to the
// quotient positions ending at `position` (the position of its last digit).
void StoreQuotientDigits(DecimalAccumulator& q, std::uint64_t chunk, int count, int position) {
  auto store = [&q](int at, std::uint64_t digit) {
    if (at >= 0 && at <= 63) q.digits[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(digit);
  };
  // Two digits per step halves the chain of dependent divisions.
  for (; count >= 2; count -= 2, position += 2) {
    const std::uint64_t pair = chunk % 100;
    chunk /= 100;
    store(position, pair % 10);
    store(position + 1, pair / 10);
  }
  if (count == 1) store(position, chunk % 10);
}

// `a` itself when it is in normal form (invariant 2), else `copy` normalised.
const DecimalAccumulator& Normalised(const DecimalAccumulator& a, DecimalAccumulator& copy) {
  if (a.low <= a.high && a.digits[a.high] != 0 && a.digits[a.low] != 0) return a;
  copy = a;
  copy.Normalise();
  return copy;
}

}  // namespace

DecimalAccumulator Add(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  return AddSigned(a, b, b.negative != 0);
}

DecimalAccumulator Subtract(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  return AddSigned(a, b, b.negative == 0);
}

int Compare(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  const bool a_negative = a.negative && !a.IsZero();
  const bool b_negative = b.negative && !b.IsZero();
  if (a_negative != b_negative) return a_negative ? -1 : 1;
  const int m = CompareMagnitude(a, b);
  return a_negative ? -m : m;
}

// The exact product is formed from column sums and then cut to the window:
// digits below 10^-32 are dropped (truncated) and digits above 10^31 lost.
DecimalAccumulator Multiply(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  DecimalAccumulator r;
  if (a.IsZero() || b.IsZero()) return r;
  // Column k holds the products of digits i + j = k; result index k - 32.
  // Only the columns the operands reach are cleared and read.
  std::uint32_t columns[128];
  std::fill(columns + a.low + b.low, columns + std::min(127, a.high + b.high + 1) + 1, 0u);
  for (int i = a.low; i <= a.high; ++i) {
    const std::uint32_t d = a.digits[i];
    if (d == 0) continue;
    for (int j = b.low; j <= b.high; ++j) columns[i + j] += d * b.digits[j];
  }
  const int first = a.low + b.low;
  const int last = std::min(127, a.high + b.high + 1);
  std::uint32_t carry = 0;
  int lo = 64, hi = -1;
  for (int k = first; k <= last || carry != 0; ++k) {
    if (k > 127) break;
    const std::uint32_t v = (k <= last ? columns[k] : 0) + carry;
    carry = v / 10;
    const int index = k - kUnits;
    if (index > 63) break;
    if (index >= 0) {
      r.digits[index] = static_cast<std::uint8_t>(v % 10);
      lo = std::min(lo, index);
      hi = index;
    }
  }
  if (hi < 0) return DecimalAccumulator{};
  r.low = static_cast<std::uint8_t>(lo);
  r.high = static_cast<std::uint8_t>(hi);
  r.negative = a.negative ^ b.negative;
  r.Normalise();
  return r;
}

// Long division down to 10^-32, then rounded to 31 places. With A and B the
// digit strings of the operands, the quotient in units of 10^-32 is
// floor(A * 10^e / B) with e = low(a) - low(b) + 32; for e < 0 its last -e
// digits are dropped instead. A divisor of up to 18 digits divides chunks of
// up to 19 dividend digits at a time in 128-bit arithmetic; a longer divisor
// takes the digit-by-digit path.
DecimalAccumulator Divide(const DecimalAccumulator& a, const DecimalAccumulator& b) {
  // Operands off the stack are normalised already; others are copied first.
  DecimalAccumulator a_copy, b_copy;
  const DecimalAccumulator& dividend = Normalised(a, a_copy);
  const DecimalAccumulator& divisor = Normalised(b, b_copy);
  if (divisor.IsZero() || dividend.IsZero()) return DecimalAccumulator{};

  DecimalAccumulator q;
  q.digits.fill(0);
  const int e = dividend.low - divisor.low + kUnits;
  const int appended = std::max(e, 0);  // zeros after the dividend's digits
  const int dropped = appended - e;     // quotient digits below 10^-32
  const int a_len = dividend.high - dividend.low + 1;
  const int b_len = divisor.high - divisor.low + 1;
  const int stream_len = a_len + appended;
  // Digit s of the stream (0 = most significant): a dividend digit, then zeros.
  auto stream_digit = [&](int s) -> int {
    return s < a_len ? dividend.digits[dividend.high - s] : 0;
  };
  // The quotient digit produced at stream step s lands at this index.
  auto index_of_step = [&](int s) { return stream_len - 1 - s - dropped; };

  if (b_len <= 18) {
    std::uint64_t divisor_value = 0;
    for (int i = divisor.high; i >= divisor.low; --i) divisor_value = divisor_value * 10 + divisor.digits[i];
    // remainder < divisor < 10^b_len, so remainder * 10^count + chunk stays
    // below 10^(b_len + count): 64-bit arithmetic while that is at most
    // 10^19, 128-bit beyond.
    const int chunk_digits = b_len <= 9 ? 19 - b_len : 19;
    std::uint64_t remainder = 0;
    for (int s = 0; s < stream_len;) {
      if (index_of_step(s) < 0) break;
      const int count = std::min(chunk_digits, stream_len - s);
      std::uint64_t chunk = 0, scale = 1;
      for (int k = 0; k < count; ++k) {
        chunk = chunk * 10 + stream_digit(s + k);
        scale *= 10;
      }
      std::uint64_t quotient;
      if (b_len <= 9) {
        const std::uint64_t value = remainder * scale + chunk;
        quotient = value / divisor_value;
        remainder = value % divisor_value;
      } else {
        const unsigned __int128 value = static_cast<unsigned __int128>(remainder) * scale + chunk;
        quotient = static_cast<std::uint64_t>(value / divisor_value);
        remainder = static_cast<std::uint64_t>(value % divisor_value);
      }
      s += count;
      StoreQuotientDigits(q, quotient, count, index_of_step(s - 1));
    }
  } else {
    // remainder holds b_len + 1 digits, least significant first.
    std::array<std::uint8_t, 66> remainder{};
    std::array<std::uint8_t, 66> d{};
    for (int i = 0; i < b_len; ++i) d[i] = divisor.digits[divisor.low + i];
    for (int s = 0; s < stream_len; ++s) {
      if (index_of_step(s) < 0) break;
      for (int i = b_len; i > 0; --i) remainder[i] = remainder[i - 1];
      remainder[0] = static_cast<std::uint8_t>(stream_digit(s));
      int digit = 0;
      for (;;) {  // subtract the divisor while it fits
        int cmp = remainder[b_len];
        for (int i = b_len - 1; i >= 0 && cmp == 0; --i) cmp = remainder[i] - d[i];
        if (cmp < 0) break;
        int borrow = 0;
        for (int i = 0; i <= b_len; ++i) {
          int v = remainder[i] - d[i] - borrow;
          borrow = v < 0;
          remainder[i] = static_cast<std::uint8_t>(borrow ? v + 10 : v);
        }
        ++digit;
      }
      const int index = index_of_step(s);
      if (index <= 63) q.digits[index] = static_cast<std::uint8_t>(digit);
    }
  }
  q.low = 0;
  q.high = 63;
  q.negative = a.negative ^ b.negative;
  q.Normalise();
  q.RoundToPlaces(31);
  return q;
}

// Binary operations work in place: the result replaces the second entry.
void DecimalStack::Add() {
  DecimalAccumulator& second = entries_[static_cast<std::uint8_t>(depth_ - 2)];
  second = decimal::Add(second, entries_[static_cast<std::uint8_t>(--depth_)]);
}

void DecimalStack::Subtract() {
  DecimalAccumulator& second = entries_[static_cast<std::uint8_t>(depth_ - 2)];
  second = decimal::Subtract(second, entries_[static_cast<std::uint8_t>(--depth_)]);
}

void DecimalStack::ReverseSubtract() {
  DecimalAccumulator& second = entries_[static_cast<std::uint8_t>(depth_ - 2)];
  second = decimal::Subtract(entries_[static_cast<std::uint8_t>(--depth_)], second);
}

void DecimalStack::Multiply() {
  DecimalAccumulator& second = entries_[static_cast<std::uint8_t>(depth_ - 2)];
  second = decimal::Multiply(second, entries_[static_cast<std::uint8_t>(--depth_)]);
}

void DecimalStack::Divide() {
  DecimalAccumulator& second = entries_[static_cast<std::uint8_t>(depth_ - 2)];
  second = decimal::Divide(second, entries_[static_cast<std::uint8_t>(--depth_)]);
}

int DecimalStack::Compare() {
  const DecimalAccumulator top = Pop();
  return decimal::Compare(Pop(), top);
}

bool DecimalStack::TestZero() { return Pop().IsZero(); }

void DecimalStack::Absolute() { entries_[static_cast<std::uint8_t>(depth_ - 1)].negative = 0; }

void DecimalStack::Negate() {
  DecimalAccumulator& top = entries_[static_cast<std::uint8_t>(depth_ - 1)];
  top.negative = top.IsZero() ? 0 : top.negative ^ 1;
}

DecimalStack& ProcessDecimalStack() {
  static DecimalStack stack;
  return stack;
}

}  // namespace tavero::decimal
